// SPDX-License-Identifier: MIT
#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace skerrin {
namespace {

const QByteArray kShowRequest = "show\n";

// The socket's address, unless the path is too long for one.
std::optional<sockaddr_un> socketAddress(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::size_t(name.size()) >= sizeof address.sun_path) {
        std::fprintf(stderr, "skerrin: %s is too long a path for a socket\n", qPrintable(path));
        return std::nullopt;
    }
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    return address;
}

// One connection from a later launch, read as it comes. It ends at its hang-up, or after two
// seconds: one that connects and says nothing is not kept.
class Connection : public QObject {
public:
    Connection(int descriptor, SingleInstance* instance)
        : QObject(instance), m_descriptor(descriptor), m_reader(descriptor, QSocketNotifier::Read) {
        connect(&m_reader, &QSocketNotifier::activated, this, [this, instance] { read(*instance); });
        QTimer::singleShot(2000, this, [this] { finish(); });
    }
    ~Connection() override { ::close(m_descriptor); }

private:
    void read(SingleInstance& instance) {
        char buffer[256];
        const ssize_t got = ::read(m_descriptor, buffer, sizeof buffer);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (got > 0 && m_line.size() < 4096)
            m_line.append(buffer, got);
        for (qsizetype end; (end = m_line.indexOf('\n')) >= 0; m_line.remove(0, end + 1)) {
            if (m_line.left(end + 1) == kShowRequest)
                emit instance.showRequested();
        }
        if (got <= 0)
            finish();
    }
    void finish() {
        m_reader.setEnabled(false);
        deleteLater();
    }

    int m_descriptor;
    QSocketNotifier m_reader;
    QByteArray m_line;
};

} // namespace

SingleInstance::SingleInstance(const QString& appId, QObject* parent) : QObject(parent) {
    // Not /tmp: the runtime folder is the user's own, and gone after a reboot with every stale file.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return;
    m_lockPath = folder + QLatin1Char('/') + appId + QStringLiteral(".lock");
    m_socketPath = folder + QLatin1Char('/') + appId + QStringLiteral(".socket");
}

SingleInstance::~SingleInstance() {
    // The socket goes before the lock, so a later launch never finds the lock free and the socket taken.
    closeListener();
    m_lock.reset();
}

SingleInstance::Role SingleInstance::start() {
    if (m_lockPath.isEmpty()) {
        std::fputs(
            "skerrin: no runtime folder for the instance lock; a second launch will not find this one\n",
            stderr);
        return Role::primary;
    }
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Stale only when its holder is gone, however old: a long-running instance keeps its lock.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        listen();
        return Role::primary;
    }
    if (m_lock->error() != QLockFile::LockFailedError) {
        std::fprintf(stderr, "skerrin: cannot create %s (%s); a second launch will not find this one\n",
                     qPrintable(m_lockPath),
                     m_lock->error() == QLockFile::PermissionError ? "permission denied" : "unknown error");
        m_lock.reset();
        return Role::primary;
    }
    return handOver() ? Role::handedOver : Role::failed;
}

// Only the holder of the lock gets here, so whatever socket file is left belongs to a crashed
// instance and may go.
void SingleInstance::listen() {
    const std::optional<sockaddr_un> address = socketAddress(m_socketPath);
    if (!address)
        return;
    const auto fail = [this](const char* why) {
        std::fprintf(stderr, "skerrin: cannot listen on %s: %s; a second launch will not find this one\n",
                     qPrintable(m_socketPath), why);
    };
    ::unlink(address->sun_path);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener < 0)
        return fail(std::strerror(errno));
    // Only this user may ask (the runtime folder is the user's alone as well).
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        ::chmod(address->sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(listener, 8) != 0) {
        fail(std::strerror(errno));
        ::close(listener);
        return;
    }
    m_listener = std::make_unique<QSocketNotifier>(listener, QSocketNotifier::Read);
    connect(m_listener.get(), &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
}

void SingleInstance::closeListener() {
    if (!m_listener)
        return;
    const int listener = int(m_listener->socket());
    m_listener.reset();
    ::close(listener);
    ::unlink(QFile::encodeName(m_socketPath).constData());
}

bool SingleInstance::handOver() {
    const std::optional<sockaddr_un> address = socketAddress(m_socketPath);
    if (!address)
        return false;
    // The running instance may have taken the lock without listening yet: retry for a moment.
    const QDeadlineTimer deadline(2000);
    for (;;) {
        const int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (client >= 0 &&
            ::connect(client, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0) {
            // A few bytes into a fresh connection's buffer: written at once, or not at all.
            const bool written = ::send(client, kShowRequest.constData(), std::size_t(kShowRequest.size()),
                                        MSG_NOSIGNAL) == kShowRequest.size();
            if (!written)
                std::fprintf(stderr, "skerrin: could not ask the running Skerrin to show its panel: %s\n",
                             std::strerror(errno));
            ::close(client);
            return written;
        }
        const int error = errno;
        if (client >= 0)
            ::close(client);
        if (deadline.hasExpired()) {
            std::fprintf(stderr, "skerrin: Skerrin is already running but does not answer on %s: %s\n",
                         qPrintable(m_socketPath), std::strerror(error));
            return false;
        }
        QThread::msleep(100);
    }
}

void SingleInstance::acceptConnections() {
    for (;;) {
        const int client =
            ::accept4(int(m_listener->socket()), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0)
            return; // none waiting (or one that left meanwhile)
        new Connection(client, this);
    }
}

} // namespace skerrin
