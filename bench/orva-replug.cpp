// SPDX-License-Identifier: GPL-3.0-or-later
// Pull and replug cycles of the whole panel: the real Form1 window, shown,
// on COM3 linked to a simulated projector on a pseudo-terminal. Each cycle
// hangs the simulator up (the STATUS line, the amber COM with its tooltip
// and the notice run as they do for a user), links COM3 to a new simulator
// on a new pty, lets the panel reopen it by itself through its watch timer,
// and clicks STATUS until " Power ON" comes back. Prints resident memory and
// open descriptors along the way, and how long each reopen took after the
// link was back. Figures only; nothing is asserted.

#include "line/portmap.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "procstat.h"
#include "ptypeer.h"
#include "shell/form1.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <memory>
#include <vector>

namespace
{

constexpr int kPort = 3;
constexpr int kWarmUp = 10;
constexpr int kDefaultCycles = 300;
constexpr int kReportEvery = 50;
constexpr int kWaitLimitMs = 5000;

qsizetype openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
        .size();
}

// Bytes the allocator has handed out and not had back: growth here is held
// memory, not only pages the allocator keeps for later.
qint64 heapInUseKiB()
{
    return qint64(mallinfo2().uordblks / 1024);
}

void report(const char* when, int cycles)
{
    std::printf("%-6s %3d cycles   resident %6lld KiB, heap in use %6lld KiB, %lld open "
                "descriptors\n",
                when, cycles, qlonglong(residentKiB()), qlonglong(heapInUseKiB()),
                qlonglong(openDescriptors()));
    std::fflush(stdout);
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

// A fresh user's store with COM3 at 9600 bit/s, so the panel starts as the
// program does.
void prepareStore(const QString& home)
{
    QDir().mkpath(home + QStringLiteral("/ORVA"));
    QFile conf(home + QStringLiteral("/ORVA/ORVA.conf"));
    if (conf.open(QIODevice::WriteOnly))
        conf.write(QStringLiteral("[StartUP]\nComPort=%1\nBaudRate=96\n").arg(kPort).toLatin1());
    QDir().mkpath(orva::PortMap::portsFolder());
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int cycles = argc > 1 ? std::max(kWarmUp + 1, std::atoi(argv[1])) : kDefaultCycles;
    QTemporaryDir config;
    // Before the first QSettings use: the store caches its location.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    prepareStore(config.path());

    auto peer = projector();
    orva::Form1::Hooks hooks;
    hooks.messageBox = [](QWidget*, const QString&, const QString&, const QString& text) {
        std::fprintf(stderr, "orva-replug: message box: %s\n", qPrintable(text));
    };
    orva::Form1 form(hooks);
    form.start();
    orva::MSComm* comm = form.MSComm1();
    orva::Exchange* exchange = form.exchange();
    auto* statusButton = qobject_cast<QPushButton*>(form.widget(QStringLiteral("Command44")));
    if (!comm->PortOpen() || !statusButton) {
        std::fprintf(stderr, "orva-replug: the panel did not come up on COM%d\n", kPort);
        return 1;
    }
    std::printf("platform %s, whole panel (Form1 shown), %d cycles, the first %d not timed\n",
                qPrintable(QGuiApplication::platformName()), cycles, kWarmUp);

    std::vector<qint64> reopenMs;
    int failures = 0;
    int done = 0;
    report("start", 0);
    for (int cycle = 0; cycle < cycles; ++cycle, ++done) {
        if (cycle == kWarmUp || (cycle > 0 && cycle % kReportEvery == 0))
            report("after", cycle);
        peer->hangUp();
        // Lost, watched for, and the amber COM and notice up.
        if (!waitFor([&] {
                return comm->isReopening() &&
                       !form.widget(QStringLiteral("Command33"))->toolTip().isEmpty();
            })) {
            ++failures;
            break;
        }
        peer = projector();
        QElapsedTimer clock;
        clock.start();
        const bool back = waitFor([&] { return comm->PortOpen(); });
        const qint64 reopenedAfter = clock.elapsed();
        statusButton->click();
        const bool answered =
            waitFor([&] { return exchange->status() == QLatin1String(" Power ON"); });
        if (!back || !answered) {
            ++failures;
            break;
        }
        if (cycle >= kWarmUp)
            reopenMs.push_back(reopenedAfter);
        // The reply time-out and the display clearing, as their timers would.
        exchange->Timer2_Timer();
        exchange->Timer4_Timer();
    }
    report("after", done);
    std::sort(reopenMs.begin(), reopenMs.end());
    const auto at = [&](double q) {
        return reopenMs.empty() ? qint64(-1) : reopenMs[size_t(q * double(reopenMs.size() - 1))];
    };
    std::printf("pull/replug cycles      %zu timed of %d, failures %d\n", reopenMs.size(),
                cycles - kWarmUp, failures);
    std::printf("link back to port open  median %lld ms, p90 %lld ms, max %lld ms\n",
                qlonglong(at(0.5)), qlonglong(at(0.9)), qlonglong(at(1.0)));
    // Qt turns it on once an accessibility bus answers, not at start-up.
    std::printf("accessibility           %s\n", QAccessible::isActive() ? "on" : "off");
    form.close();
    return failures == 0 ? 0 : 1;
}
