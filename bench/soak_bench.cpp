// SPDX-License-Identifier: MIT
// The full refresh sequence many times in one process (default 5000; the count is the first
// argument) against a copy of the reference runtime with its connector running and a loopback
// platform: resident memory, open descriptors and threads at the start, after the warm-up and at
// the end. Goal: after the warm-up, memory grows by at most 2 MiB and the other two stay put.
#include "model/ConnectorMenuBarModel.h"
#include "model/DesktopService.h"
#include "model/Diagnostics.h"
#include "model/Pairing.h"
#include "model/Refresher.h"
#include "model/RuntimeLocation.h"
#include "net/QtHttpClient.h"
#include "platform/PlatformServices.h"
#include "support/LoopbackServer.h"
#include "support/TestRuntime.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QThreadPool>
#include <QTimer>

#include <QCoroTask>

#include <cstdio>

#include <malloc.h>

using namespace skerrin;
using namespace skerrin::test;

namespace {

struct Usage {
    double rssMiB = 0;
    double heapMiB = 0; // what malloc has handed out and not had back, all arenas
    int descriptors = 0;
    QStringList descriptorTargets; // what each points at: a file, pipe:[…] or socket:[…]
    int threads = 0;
};

// From /proc/self: VmRSS and Threads of status, and the entries of fd.
Usage usageNow() {
    // A moment for what closes on its own (a finished request's socket, a reaped child's pipe).
    QEventLoop settle;
    QTimer::singleShot(250, &settle, &QEventLoop::quit);
    settle.exec();
    Usage usage;
    for (const QByteArray& line : readFile(QStringLiteral("/proc/self/status")).split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        if (fields[0] == "VmRSS:")
            usage.rssMiB = fields[1].toDouble() / 1024;
        else if (fields[0] == "Threads:")
            usage.threads = fields[1].toInt();
    }
    const struct mallinfo2 heap = mallinfo2();
    usage.heapMiB = double(heap.uordblks + heap.hblkhd) / (1024 * 1024);
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        usage.descriptorTargets << fd.fileName() + u'=' + fd.symLinkTarget();
    usage.descriptors = int(usage.descriptorTargets.size());
    return usage;
}

void print(const char* when, int refreshes, const Usage& usage, double seconds) {
    std::printf("%-9s refreshes=%-5d rss_mib=%.2f heap_in_use_mib=%.2f fds=%d threads=%d elapsed_s=%.1f\n",
                when, refreshes, usage.rssMiB, usage.heapMiB, usage.descriptors, usage.threads, seconds);
    std::fflush(stdout);
}

QCoro::Task<int> refreshTimes(ConnectorMenuBarModel& model, LoopbackServer& platform, int count) {
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        co_await model.refresher().runFullRefresh();
        // The server shares the process: its request log must not count as the model's growth.
        platform.clearRequests();
        failed += model.service().isRunning() && model.pairing().currentPairingSummary() == "Soak" ? 0 : 1;
    }
    co_return failed;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Skerrin"));
    QCoreApplication::setApplicationName(QStringLiteral("Skerrin"));
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;
    if (count < 2) {
        std::fprintf(stderr, "usage: soak_bench [REFRESHES]   (default 5000, at least 2)\n");
        return 2;
    }
    const int warmUp = std::min(200, count / 2);
    TemporaryHome home;

    LoopbackServer platform;
    CannedResponse status;
    status.body = R"({"ok":true,"desktop_pairing":{"installation_name":"Soak"}})";
    platform.setResponse(QStringLiteral("/v1/desktop/runtime/status"), status);
    CannedResponse chat;
    chat.status = 204;
    platform.setResponse(QStringLiteral("/chat"), chat);
    qputenv("SKERRIN_CHATGPT_URL", platform.url(QStringLiteral("/chat")).toUtf8());
    qputenv("SKERRIN_PLATFORM_BASE_URL", platform.baseUrl().toUtf8());

    const QString root = home.path() + QStringLiteral("/runtime");
    if (QProcess::execute(QStringLiteral("/bin/cp"), {"-R", SKERRIN_REFERENCE_RUNTIME, root}) != 0 ||
        !writeFile(root + QStringLiteral("/config/.env"),
                   "RELAY_TOKEN=soak-relay-token\nRELAY_BASE_URL=" + platform.baseUrl().toUtf8() +
                       "\nCONNECTOR_WORKSPACE=main\n")) {
        std::fprintf(stderr, "soak_bench: could not copy the reference runtime\n");
        return 1;
    }

    PlatformServices services = makePlatformServices();
    services.http = makeQtHttpClient(); // linked in: the bench has no network module beside it
    ConnectorMenuBarModel model(std::move(services));
    // Only the refreshes counted here run.
    QCoro::waitFor(model.refresher().cancelRefreshLoop());
    model.location().updateRuntimeRoot(root, std::nullopt);
    QCoro::waitFor(model.service().startConnector());

    QElapsedTimer timer;
    timer.start();
    const Usage start = usageNow();
    print("start", 0, start, 0);
    int failed = QCoro::waitFor(refreshTimes(model, platform, warmUp));
    const Usage warm = usageNow();
    print("warm-up", warmUp, warm, double(timer.elapsed()) / 1000);
    // A line every fifth of the rest, to tell a steady climb from a plateau.
    int done = warmUp;
    for (int step = 1; step <= 5; ++step) {
        const int until = warmUp + int(qint64(count - warmUp) * step / 5);
        failed += QCoro::waitFor(refreshTimes(model, platform, until - done));
        done = until;
        if (step < 5)
            print("", done, usageNow(), double(timer.elapsed()) / 1000);
    }
    const Usage end = usageNow();
    print("end", count, end, double(timer.elapsed()) / 1000);
    QCoro::waitFor(model.service().stopConnector());

    std::printf("rss_growth_after_warmup_mib: %.2f (goal <= 2)\n", end.rssMiB - warm.rssMiB);
    std::printf("heap_in_use_growth_after_warmup_mib: %.2f (memory still allocated; the rest of RSS "
                "growth is the allocator's)\n",
                end.heapMiB - warm.heapMiB);
    std::printf("fds_change_after_warmup: %+d (goal 0)\n", end.descriptors - warm.descriptors);
    if (end.descriptors != warm.descriptors)
        std::printf("descriptors after the warm-up: %s\ndescriptors at the end: %s\n",
                    qPrintable(warm.descriptorTargets.join(u' ')),
                    qPrintable(end.descriptorTargets.join(u' ')));
    // Each thread of Qt's global pool (the setup checks run there) has an eventfd of its own; the
    // pool adds one while another is still winding down, up to its maximum, and retires idle ones.
    std::printf("threads_change_after_warmup: %+d (goal 0; the global thread pool may grow to %d)\n",
                end.threads - warm.threads, QThreadPool::globalInstance()->maxThreadCount());
    std::printf("ms_per_refresh: %.1f\n", double(timer.elapsed()) / count);
    if (failed > 0)
        std::printf("INCOMPLETE: %d refreshes did not read the service running and the platform status\n",
                    failed);
    return failed > 0 ? 1 : 0;
}
