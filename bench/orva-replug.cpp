// SPDX-License-Identifier: GPL-3.0-or-later
// Pull and replug cycles: the simulator's pty hangs up, the link comes back
// at a new pty, and the panel's serial control reopens it by itself through
// its watch timer. Prints resident memory and open descriptors every 25
// cycles, and how long each reopen took after the link was back. Figures
// only; nothing is asserted.

#include "link/exchange.h"
#include "link/mscomm.h"
#include "line/portmap.h"
#include "procstat.h"
#include "ptypeer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{

constexpr int kPort = 3;
constexpr int kWarmUp = 10;
constexpr int kCycles = 100;
constexpr int kWaitLimitMs = 5000;

qsizetype openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
        .size();
}

// Runs the event loop until done() holds or the limit passes.
bool waitFor(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > kWaitLimitMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

std::unique_ptr<orva::sim::PtyPeer> projector()
{
    auto peer = std::make_unique<orva::sim::PtyPeer>(orva::sim::ModelOptions{.powerOn = true});
    peer->linkAs(orva::PortMap::linkPath(kPort));
    return peer;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QDir().mkpath(orva::PortMap::portsFolder());

    orva::ProgramValues values;
    orva::MSComm comm;
    orva::Exchange exchange(&comm, &values);
    auto peer = projector();
    comm.setCommPort(kPort);
    comm.setPortOpen(true);

    std::vector<qint64> reopenMs;
    int failures = 0;
    for (int cycle = 0; cycle < kWarmUp + kCycles; ++cycle) {
        if (cycle >= kWarmUp && (cycle - kWarmUp) % 25 == 0)
            std::printf("after %3d cycles         resident %lld KiB, %lld open descriptors\n",
                        cycle - kWarmUp, qlonglong(residentKiB()), qlonglong(openDescriptors()));
        peer->hangUp();
        if (!waitFor([&] { return comm.isReopening(); })) {
            ++failures;
            break;
        }
        peer = projector();
        QElapsedTimer clock;
        clock.start();
        const bool back = waitFor([&] { return comm.PortOpen(); });
        const qint64 reopenedAfter = clock.elapsed();
        exchange.send("CR0");
        const bool answered =
            waitFor([&] { return exchange.status() == QLatin1String(" Power ON"); });
        if (!back || !answered) {
            ++failures;
            break;
        }
        if (cycle >= kWarmUp)
            reopenMs.push_back(reopenedAfter);
        exchange.Timer2_Timer();
        exchange.Timer4_Timer();
    }
    std::sort(reopenMs.begin(), reopenMs.end());
    const auto at = [&](double q) {
        return reopenMs.empty() ? qint64(-1) : reopenMs[size_t(q * double(reopenMs.size() - 1))];
    };
    std::printf("after %3zu cycles         resident %lld KiB, %lld open descriptors\n",
                reopenMs.size(), qlonglong(residentKiB()), qlonglong(openDescriptors()));
    std::printf("pull/replug cycles      %zu of %d (after %d warm-up), failures %d\n",
                reopenMs.size(), kCycles, kWarmUp, failures);
    std::printf("link back to port open  median %lld ms, p90 %lld ms, max %lld ms\n",
                qlonglong(at(0.5)), qlonglong(at(0.9)), qlonglong(at(1.0)));
    return failures == 0 ? 0 : 1;
}
