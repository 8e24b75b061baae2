// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/portmap.h"
#include "line/serial/locks.h"
#include "link/scriptsend.h"
#include "ptypeer.h"
#include "shell/commandline.h"
#include "shell/placement.h"
#include "testenv.h"

#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using orva::CommandLine;
using Action = CommandLine::Action;

// The command line and the window placement: both pure, so no display and
// no window take part. The simulator's command line runs in e2e_commandline.
class TstCommandLine : public QObject
{
    Q_OBJECT
  private slots:
    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("port"); // 0: none given
        QTest::addColumn<int>("baud"); // 0: none given
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("text"); // a line the printed text holds
        const auto row = [](const char* name, const QStringList& args, Action action, int port,
                            int baud, const QString& command, int exitCode, const QString& text) {
            QTest::newRow(name) << args << int(action) << port << baud << command << exitCode
                                << text;
        };
        const QString usage =
            QStringLiteral("Usage: orva-control [--port COMn] [--rate 9600|19200] [--send TEXT]");
        row("no arguments: the panel as always", {}, Action::Panel, 0, 0, {}, 0, {});
        row("--help", {"--help"}, Action::Exit, 0, 0, {}, 0, usage);
        row("--version", {"--version"}, Action::Exit, 0, 0, {}, 0, "orva-control " ORVA_VERSION);
        row("--port COM5", {"--port", "COM5"}, Action::Panel, 5, 0, {}, 0, {});
        row("-p com15", {"-p", "com15"}, Action::Panel, 15, 0, {}, 0, {});
        row("-s 19200", {"-s", "19200"}, Action::Panel, 0, 192, {}, 0, {});
        row("--send with port and rate", {"--send", "CR0", "--port", "7", "--rate", "9600"},
            Action::Send, 7, 96, "CR0", 0, {});
        row("Qt's options pass", {"-platform", "offscreen", "-style", "Fusion", "-reverse"},
            Action::Panel, 0, 0, {}, 0, {});
        const QString bad = QStringLiteral("Try 'orva-control --help' for more information.");
        row("unknown option", {"--bogus"}, Action::Exit, 0, 0, {}, 2,
            "orva-control: Unknown option 'bogus'.");
        row("port 0", {"--port", "0"}, Action::Exit, 0, 0, {}, 2,
            "orva-control: --port wants COM1 to COM15 (or 1 to 15), not '0'");
        row("rate 4800", {"--rate", "4800"}, Action::Exit, 0, 0, {}, 2,
            "orva-control: --rate wants 9600 or 19200, not '4800'");
        row("stray argument", {"COM5"}, Action::Exit, 0, 0, {}, 2,
            "orva-control: unexpected argument 'COM5'");
        row("empty send", {"--send", ""}, Action::Exit, 0, 0, {}, 2,
            "orva-control: --send wants a command of printable ASCII characters");
        row("send with a line feed at its end", {"--send", "C00\n"}, Action::Exit, 0, 0, {}, 2,
            bad);
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(int, action);
        QFETCH(int, port);
        QFETCH(int, baud);
        QFETCH(QString, command);
        QFETCH(int, exitCode);
        QFETCH(QString, text);
        const CommandLine line = orva::parseCommandLine(QStringList{"orva-control"} + args);
        QCOMPARE(int(line.action), action);
        QCOMPARE(line.portNo.value_or(0), port);
        QCOMPARE(line.baudCode.value_or(0), baud);
        QCOMPARE(QString::fromLatin1(line.command), command);
        QCOMPARE(line.exitCode, exitCode);
        QVERIFY2(text.isEmpty() ? line.text.isEmpty() : line.text.contains(text),
                 qPrintable(line.text));
        // A usage error says what is wrong in its first line, then the usage.
        if (exitCode != 0)
            QVERIFY2(line.text.startsWith("orva-control: ") && line.text.count('\n') == 3,
                     qPrintable(line.text));
    }

    void send_data()
    {
        // What the projector does with the command (answers, stays silent)
        // or what keeps the send from it; the exit status and a line printed.
        QTest::addColumn<QString>("then");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed");
        QTest::newRow("answered") << "answer" << 0 << "STATUS: Power ON";
        QTest::newRow("silent") << "silent" << 1 << "RxD: X X X X";
        QTest::newRow("port refused: busy")
            << "busy" << 2 << "is busy: tst_commandline (PID %1) holds it.";
        QTest::newRow("port refused: stale link")
            << "stale" << 2 << "the link is older than that pseudo-terminal";
        QTest::newRow("SIGTERM while waiting")
            << "SIGTERM" << 128 + SIGTERM << "orva-control: interrupted by SIGTERM";
    }
    void send()
    {
        QFETCH(QString, then);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        isolatedConfigHome();
        QDir().mkpath(orva::PortMap::portsFolder());
        orva::sim::PtyPeer peer({.powerOn = true}, {.noReply = then != "answer"});
        QVERIFY(peer.linkAs(orva::PortMap::linkPath(7)));
        const QString lock = orva::ownLockPath(peer.slavePath());
        QFile file(lock);
        QVERIFY(then != "busy" ||
                (file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(::getpid()))));
        file.close();
        const QByteArray slave = QFile::encodeName(peer.slavePath());
        const auto ns = [](const timespec& t) { return t.tv_sec * 1000000000LL + t.tv_nsec; };
        struct stat pty {
        }, link{};
        QTRY_VERIFY(then != "stale" ||
                    (::chmod(slave, 0620) == 0 && ::stat(slave, &pty) == 0 &&
                     ::lstat(QFile::encodeName(orva::PortMap::linkPath(7)), &link) == 0 &&
                     ns(pty.st_ctim) > ns(link.st_ctim)));
        connect(&peer, &orva::sim::PtyPeer::commandReceived, this, [then] {
            if (then == "SIGTERM")
                ::raise(SIGTERM);
        });
        const orva::ScriptSendResult result = orva::scriptSend(7, 96, "CR0");
        if (then == "busy")
            QVERIFY(QFile::remove(lock));
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2((result.out + result.err).contains(printed.arg(::getpid())),
                 qPrintable(result.out + result.err));
        QCOMPARE(peer.commands().size(), then == "busy" || then == "stale" ? 0 : 1);
        // However it ended, the line is free again: no lock file, no flock.
        QVERIFY(!QFile::exists(lock));
        const int fd = ::open(QFile::encodeName(peer.slavePath()).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0);
        ::close(fd);
    }

    void placement_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<bool>("centre");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("expected");
        const QSize collapsed(692, 353), full(692, 507);
        const QMargins title(0, 32, 0, 0), decorated(2, 28, 2, 2);
        QTest::newRow("centred on a large screen")
            << QRect(0, 0, 1920, 1080) << decorated << collapsed << true << QPoint()
            << QPoint(612, 348);
        QTest::newRow("2x on 1280x1024: too wide, left edge on screen")
            << QRect(0, 0, 640, 512) << title << collapsed << true << QPoint() << QPoint(0, 63);
        QTest::newRow("2x, full view: too tall as well, title bar on screen")
            << QRect(0, 0, 640, 512) << title << full << false << QPoint(0, 63) << QPoint(0, 0);
        QTest::newRow("taller view pulled up above a bottom panel")
            << QRect(0, 0, 1280, 984) << decorated << full << false << QPoint(300, 700)
            << QPoint(300, 447);
        QTest::newRow("right-hand screen, top panel")
            << QRect(1280, 24, 1280, 1000) << decorated << full << false << QPoint(2400, 900)
            << QPoint(1864, 487);
        QTest::newRow("already on screen: left where it is")
            << QRect(0, 0, 1280, 1024) << decorated << full << false << QPoint(10, 20)
            << QPoint(10, 20);
        QTest::newRow("dragged off the top-left") << QRect(1280, 0, 640, 512) << decorated << full
                                                  << false << QPoint(1000, -40) << QPoint(1280, 0);
    }
    void placement()
    {
        QFETCH(QRect, available);
        QFETCH(QMargins, frame);
        QFETCH(QSize, client);
        QFETCH(bool, centre);
        QFETCH(QPoint, from);
        QFETCH(QPoint, expected);
        QCOMPARE(centre ? orva::centreOnScreen(available, frame, client)
                        : orva::keepOnScreen(available, frame, client, from),
                 expected);
    }
};

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
