// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/portmap.h"
#include "line/serial/locks.h"
#include "line/serial/serialline.h"
#include "ptypeer.h"
#include "testenv.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace orva;

// The line is the panel's alone: other programs' lock files and flocks keep
// it from a device, and its own keep them from the panel's. COM7 leads to a
// pseudo-terminal.
class TstLocks : public QObject
{
    Q_OBJECT
    std::unique_ptr<sim::PtyPeer> m_peer;
    QString m_device;
    const QString m_me = QStringLiteral("tst_locks (PID %1)").arg(::getpid());

    static QByteArray contents(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    }
    static QByteArray tenCharacters(qint64 pid)
    {
        return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
    }

  private slots:
    void initTestCase()
    {
        isolatedConfigHome();
        QDir().mkpath(PortMap::portsFolder());
    }
    void init()
    {
        m_peer = std::make_unique<sim::PtyPeer>();
        QVERIFY(m_peer->linkAs(PortMap::linkPath(7)));
        m_device = m_peer->slavePath();
    }
    void cleanup()
    {
        for (const QString& folder : lockFolders())
            QFile::remove(folder + '/' + lockName(m_device));
        m_peer.reset();
    }

    void foreignLockFile_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QByteArray>("lock"); // %1: the PID
        QTest::addColumn<bool>("live");       // the PID is this test's, else an ended one
        QTest::addColumn<bool>("busy");
        const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
        const QByteArray ten = "%1";
        QTest::newRow("ten characters, live") << "/run/lock" << ten << true << true;
        QTest::newRow("ten characters, ended") << "/run/lock" << ten << false << false;
        QTest::newRow("lockdev's own folder") << "/var/lock/lockdev" << ten << true << true;
        QTest::newRow("PID name user, live")
            << "/var/lock" << QByteArray("%1 tst_locks root\n") << true << true;
        QTest::newRow("PID name user, ended")
            << "/tmp" << QByteArray("%1 minicom root\n") << false << false;
        QTest::newRow("PID name user, the PID another program's now")
            << "/var/lock" << QByteArray("%1 minicom root\n") << true << false;
        QTest::newRow("Qt's lines, live")
            << temp << QByteArray("%1\ntst_locks\nhost\n") << true << true;
        QTest::newRow("Qt's lines, the PID another program's now")
            << temp << QByteArray("%1\nprog\nhost\n") << true << false;
        QTest::newRow("no PID") << "/run/lock" << QByteArray("minicom\n") << false << true;
        QTest::newRow("empty") << "/tmp" << QByteArray() << false << true;
    }
    void foreignLockFile()
    {
        QFETCH(QString, folder);
        QFETCH(QByteArray, lock);
        QFETCH(bool, live);
        QFETCH(bool, busy);
        const qint64 pid = live ? ::getpid() : INT_MAX; // above any pid_max
        if (lock == "%1")
            lock = tenCharacters(pid);
        lock.replace("%1", QByteArray::number(pid));
        const QString path = folder + '/' + lockName(m_device);
        if (!QDir().mkpath(folder))
            QSKIP("the lock folder cannot be made");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(lock) == lock.size());
        file.close();
        const QDateTime written = QFileInfo(path).lastModified();

        SerialLine line(7);
        const QString said = openFailure([&] { line.open(9600); });
        if (busy) {
            // Left exactly as it was, and named.
            QCOMPARE(contents(path), lock);
            QCOMPARE(QFileInfo(path).lastModified(), written);
            QVERIFY2(said.contains(live ? "is busy: " + m_me + " holds it." : path),
                     qPrintable(said));
            return;
        }
        // An ended program's lock is replaced by the panel's own, in the form
        // minicom and lockdev read, gone again when the port closes.
        QVERIFY2(said.isEmpty(), qPrintable(said));
        const QString own = QFileInfo(ownLockPath(m_device)).canonicalFilePath();
        QVERIFY(!QFile::exists(path) || QFileInfo(path).canonicalFilePath() == own);
        QCOMPARE(contents(ownLockPath(m_device)), tenCharacters(::getpid()));
        line.close();
        QVERIFY(!QFile::exists(ownLockPath(m_device)));
    }

    void liveLockOfAnotherUser()
    {
        if (::geteuid() != 0)
            QSKIP("dropping to another user takes root");
        // This test's lock, read by a process of user nobody: kill(pid, 0)
        // says EPERM there, and the program's name is read all the same.
        const QByteArray lock = QByteArray::number(::getpid()) + " tst_locks root\n";
        QFile file("/run/lock/" + lockName(m_device));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(lock) == lock.size());
        file.close();
        int pipe[2];
        QVERIFY(::pipe(pipe) == 0);
        if (::fork() == 0) {
            const QByteArray said = ::setgid(65534) == 0 && ::setuid(65534) == 0
                                        ? checkLockFiles(m_device).who().toUtf8()
                                        : "not dropped";
            ::_exit(::write(pipe[1], said.constData(), said.size()) == said.size() ? 0 : 1);
        }
        ::close(pipe[1]);
        QFile answer;
        QVERIFY(answer.open(pipe[0], QIODevice::ReadOnly, QFile::AutoCloseHandle));
        QCOMPARE(answer.readAll(), m_me.toUtf8());
        QCOMPARE(contents(file.fileName()), lock);
    }

    void staleLockTakeover_data()
    {
        // What another program does between the read of a stale lock and its removal.
        QTest::addColumn<int>("meanwhile");
        QTest::newRow("nothing: removed") << 0;
        QTest::newRow("takes it over with a new file: kept") << 1;
        QTest::newRow("writes its PID into it: kept") << 2;
    }
    void staleLockTakeover()
    {
        QFETCH(int, meanwhile);
        const QString path = "/run/lock/" + lockName(m_device);
        const QByteArray live = tenCharacters(::getpid());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(tenCharacters(INT_MAX)) == 11);
        file.close();
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        QVERIFY((meanwhile != 1 || file.remove()) &&
                (meanwhile == 0 || (file.open(QIODevice::WriteOnly) && file.write(live) == 11)));
        file.close();
        const bool removed = removeStaleLock(path, fd, tenCharacters(INT_MAX));
        ::close(fd);
        QCOMPARE(removed, meanwhile == 0);
        QCOMPARE(contents(path), meanwhile == 0 ? QByteArray("(none)") : live);
        QCOMPARE(QDir("/run/lock").entryList({lockName(m_device) + ".*"}), QStringList());
    }

    void flockBothWays()
    {
        const QByteArray device = QFile::encodeName(m_device);
        int other = ::open(device.constData(), O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0 && ::flock(other, LOCK_EX | LOCK_NB) == 0);
        SerialLine line(7);
        const QString said = openFailure([&] { line.open(9600); });
        QVERIFY2(said.contains("is busy: " + m_me + " holds it."), qPrintable(said));
        ::close(other);

        QCOMPARE(openFailure([&] { line.open(9600); }), QString());
        // A second program gets the device refused (exclusive use) or its
        // flock refused.
        other = ::open(device.constData(), O_RDWR | O_NOCTTY);
        const bool refused = other < 0
                                 ? errno == EBUSY
                                 : ::flock(other, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (other >= 0)
            ::close(other);
        QVERIFY(refused);
    }

    void someoneHasItOpen_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("locked"); // /proc/locks names it
        QTest::newRow("a session's terminal, as a shell's in a terminal window")
            << "exec setsid sh -c 'exec 0<>%1; echo up; exec sleep 30'" << false;
        QTest::newRow("a descriptor, no lock (minicom -o, a script)")
            << "exec 3<>%1; echo up; exec sleep 30" << false;
        QTest::newRow("a flock") << "exec flock %1 sh -c 'echo up; exec sleep 30'" << true;
        QTest::newRow("an fcntl lock")
            << "exec perl -MFcntl -e 'open(F, \"+<\", $ARGV[0]); $| = 1; my $l = pack(\"s s x4 "
               "q q i x4\", F_WRLCK); fcntl(F, F_SETLK, $l) and print \"up\"; sleep 30' %1"
            << true;
    }
    void someoneHasItOpen()
    {
        QFETCH(QString, script);
        QFETCH(bool, locked);
        QProcess shell;
        shell.start("sh", {"-c", script.arg(m_device)});
        QVERIFY(shell.waitForReadyRead(5000));
        SerialLine line(7);
        const QString said = openFailure([&] { line.open(9600); });
        QVERIFY(!locked || lockedBy(m_device).pid == shell.processId());
        shell.kill();
        shell.waitForFinished();
        QVERIFY2(QRegularExpression("is busy: (sh|sleep|flock|perl) \\(PID \\d+\\) holds it")
                     .match(said)
                     .hasMatch(),
                 qPrintable(said));
    }

    void nodeOfItsOwn_data()
    {
        // A device node that only the test knows, so an open of it by anyone
        // else cannot show: its kind (0: this pty's number), how deep it
        // lies, what the open says. None is opened to find that out (an open
        // can have effects of its own: /dev/ptmx's makes a pty).
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("depth");
        QTest::addColumn<QString>("said");
        QTest::newRow("a pty, 3,296 characters deep: too long to lock")
            << 0 << 0 << 3280 << "too long";
        QTest::newRow("/dev/null's kind") << 1 << 3 << 0 << "is not a serial device";
        QTest::newRow("/dev/ptmx's kind") << 5 << 2 << 0 << "is not a serial device";
        QTest::newRow("/dev/console's kind") << 5 << 1 << 0 << "is not a serial device";
    }
    void nodeOfItsOwn()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, depth);
        QFETCH(QString, said);
        if (::geteuid() != 0)
            QSKIP("making a device node takes root");
        QString folder = isolatedConfigHome().path();
        while (folder.size() < depth)
            folder += '/' + QString(200, 'd');
        const QString node = folder + "/node";
        struct stat st {
        };
        QVERIFY(QDir().mkpath(folder) && ::stat(QFile::encodeName(m_device), &st) == 0);
        QFile::remove(node);
        QVERIFY(::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0600,
                        major ? makedev(major, minor) : st.st_rdev) == 0);
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(::inotify_add_watch(watch, QFile::encodeName(node).constData(), IN_OPEN) >= 0);
        QVERIFY(QFile::remove(PortMap::linkPath(7)) && QFile::link(node, PortMap::linkPath(7)));
        SerialLine line(7);
        const QString text = openFailure([&] { line.open(9600); });
        inotify_event event;
        const bool opened = ::read(watch, &event, sizeof event) > 0;
        ::close(watch);
        QFile::remove(node);
        QVERIFY2(text.contains(said) && !text.contains("busy") && !opened, qPrintable(text));
    }

    void simulatorRemovesItsLink_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGHUP (its terminal closed)") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void simulatorRemovesItsLink()
    {
        QFETCH(int, signal);
        const QString link = isolatedConfigHome().path() + "/sim-link";
        QProcess sim;
        sim.start(ORVA_SIM, {"--link", link});
        QVERIFY(sim.waitForReadyRead(5000) && QFileInfo(link).isSymLink());
        // It holds the pty's master and slave: the far side, no competitor.
        QFile::remove(PortMap::linkPath(8));
        QVERIFY(QFile::link(link, PortMap::linkPath(8)));
        SerialLine line(8);
        QCOMPARE(openFailure([&] { line.open(9600); }), QString());
        line.close();
        ::kill(pid_t(sim.processId()), signal);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TstLocks)
#include "tst_locks.moc"
