// SPDX-License-Identifier: MIT
#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace skerrin {
namespace {

int g_signalPipe[2] = {-1, -1};

// A signal handler may only do what is async-signal-safe: write the number, nothing more.
void forwardSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &number, 1);
    errno = saved;
}

} // namespace

void onTerminationSignals(QObject* context, std::function<void(int signal)> handler) {
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("skerrin: SIGINT and SIGTERM will end Skerrin without winding down");
        return;
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [handler = std::move(handler)] {
        unsigned char number = 0;
        if (::read(g_signalPipe[0], &number, 1) == 1)
            handler(number);
    });
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

} // namespace skerrin
