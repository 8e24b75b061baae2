// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <pty.h>
#include <unistd.h>
#include <utility>

namespace orva::bench
{

namespace
{

constexpr int kRounds = 3;
// After the window is up: long enough for start-up's allocations to settle.
constexpr unsigned long kSettleMs = 1500;

QByteArray procFile(qint64 pid, const char* name)
{
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

qint64 residentKiBOf(qint64 pid)
{
    for (const QByteArray& line : procFile(pid, "status").split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// Whether the process has the file open, by its /proc fd links.
bool holds(qint64 pid, const QString& path)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System))
        if (QFile::symLinkTarget(fds.filePath(fd)) == path)
            return true;
    return false;
}

struct Sample {
    qint64 kib = 0;
    bool network = false;
};

// Starts the program, waits until ready() says it is up, lets it settle and
// reads its resident memory.
Sample measure(QProcess& process, const std::function<bool(qint64)>& ready)
{
    process.start();
    if (!process.waitForStarted())
        return {};
    const qint64 pid = process.processId();
    for (int i = 0; i < 200 && !ready(pid); ++i)
        QThread::msleep(50);
    QThread::msleep(kSettleMs);
    Sample s{residentKiBOf(pid), procFile(pid, "maps").contains("libQt6Network")};
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill(), process.waitForFinished();
    return s;
}

qint64 median(QList<qint64> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

} // namespace

void printMemory()
{
    // The panel's own settings and a pseudo-terminal stored as its COM3.
    QTemporaryDir home;
    int master = -1, slave = -1;
    char name[64] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return;
    QDir().mkpath(home.filePath(QStringLiteral("ORVA/ports")));
    QFile::link(QString::fromLatin1(name), home.filePath(QStringLiteral("ORVA/ports/COM3")));
    QFile conf(home.filePath(QStringLiteral("ORVA/ORVA.conf")));
    if (conf.open(QIODevice::WriteOnly))
        conf.write("[StartUP]\nComPort=3\nBaudRate=96\n");
    conf.close();

    const QString dir = QCoreApplication::applicationDirPath();
    QList<qint64> bare, panel;
    bool network = false;
    for (int round = 0; round < kRounds; ++round) {
        QProcess bareWindow;
        bareWindow.setProgram(dir + QStringLiteral("/orva-bare-window"));
        // Up once it has drawn a frame: its resident set stops growing.
        qint64 last = -1;
        bare << measure(bareWindow, [&](qint64 pid) {
                    const qint64 now = residentKiBOf(pid);
                    return std::exchange(last, now) == now && now > 0;
                }).kib;
        QProcess control;
        control.setProgram(dir + QStringLiteral("/orva-control"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        control.setProcessEnvironment(env);
        const Sample s =
            measure(control, [&](qint64 pid) { return holds(pid, QString::fromLatin1(name)); });
        panel << s.kib;
        network = network || s.network;
    }
    ::close(slave);
    ::close(master);
    const qint64 b = median(bare), p = median(panel);
    std::printf("\nidle memory (VmRSS, KiB, median of %d, each program a process of its own):\n"
                "  bare Qt Widgets window with %d buttons  %lld\n"
                "  panel on a local port (pty), idle      %lld  (%.2f times the bare window)\n"
                "  QtNetwork loaded in the panel: %s\n",
                kRounds, 76, b, p, b > 0 ? double(p) / double(b) : 0.0, network ? "yes" : "no");
}

} // namespace orva::bench
