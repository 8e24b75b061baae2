#include "link/exchange.h"
#include "link/mscomm.h"
#include "panel/holdrepeat.h"
#include "ptypeer.h"
#include "settings/storedsettings.h"
#include "testenv.h"

#include <QLockFile>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace orva;
using orva::sim::PtyPeer;

// The serial line in the field: how a lost line is noticed and told, how the
// port comes back, and what a port that will not open says. Each test starts
// with COM7 open on a simulated projector.
class TstPortLine : public QObject
{
    Q_OBJECT
    ProgramValues m_values;
    std::unique_ptr<PtyPeer> m_peer;
    std::unique_ptr<MSComm> m_comm;
    std::unique_ptr<Exchange> m_exchange;
    const QRegularExpression m_lost{"^ Port lost \\((device removed|line hung up)\\): press COM$"};

    static std::unique_ptr<PtyPeer> projectorAt(int port)
    {
        auto peer = std::make_unique<PtyPeer>(sim::ModelOptions{.powerOn = true});
        peer->linkAs(PortMap::linkPath(port));
        return peer;
    }

  private slots:
    void initTestCase() { isolatedConfigHome(); }
    void init()
    {
        QDir().mkpath(PortMap::portsFolder());
        m_peer = projectorAt(7);
        m_comm = std::make_unique<MSComm>();
        m_exchange = std::make_unique<Exchange>(m_comm.get(), &m_values);
        m_comm->setCommPort(7);
        m_comm->setPortOpen(true);
    }
    void cleanup()
    {
        m_exchange.reset();
        m_comm.reset();
        m_peer.reset();
    }

    void lossPaths_data()
    {
        // Rms: resource error, Ems: read error, 0: empty read, D: data.
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("lostAt");
        QTest::addColumn<LossPath>("path");
        QTest::newRow("resource error") << QStringList{"R0"} << 0 << LossPath::ResourceError;
        QTest::newRow("one read error") << QStringList{"E0"} << -1 << LossPath{};
        QTest::newRow("read error again within 1 s")
            << QStringList{"E0", "E999"} << 1 << LossPath::RepeatedReadError;
        QTest::newRow("read errors 1 s apart")
            << QStringList{"E0", "E1000", "E2000"} << -1 << LossPath{};
        QTest::newRow("64 empty reads") << QStringList(64, "0") << 63 << LossPath::EmptyReads;
        QTest::newRow("empty reads broken by data")
            << QStringList(63, "0") + QStringList{"D"} + QStringList(63, "0") << -1 << LossPath{};
    }
    void lossPaths()
    {
        QFETCH(QStringList, events);
        QFETCH(int, lostAt);
        QFETCH(LossPath, path);
        LossDetector detector;
        for (int i = 0; i < events.size(); ++i) {
            const QChar kind = events[i][0];
            std::optional<LossPath> lost;
            if (kind == 'R' || kind == 'E')
                lost = detector.error(kind == 'R' ? QSerialPort::ResourceError
                                                  : QSerialPort::ReadError,
                                      events[i].mid(1).toLongLong());
            else if (kind == '0')
                lost = detector.emptyRead();
            else
                detector.data();
            QCOMPARE(lost.has_value(), i == lostAt);
            QVERIFY(!lost || *lost == path);
        }
    }

    void reasonInWords_data()
    {
        QTest::addColumn<LossPath>("path");
        QTest::addColumn<bool>("gone");
        QTest::addColumn<bool>("hungUp");
        QTest::addColumn<int>("systemError");
        QTest::addColumn<QString>("reason");
        QTest::newRow("device removed")
            << LossPath::ResourceError << true << false << EAGAIN << "device removed";
        QTest::newRow("leftover EAGAIN")
            << LossPath::ResourceError << false << false << EAGAIN << "line hung up";
        QTest::newRow("leftover ENOTTY")
            << LossPath::RepeatedReadError << false << false << ENOTTY << "line hung up";
        QTest::newRow("hang-up on the descriptor")
            << LossPath::RepeatedReadError << false << true << ENXIO << "line hung up";
        QTest::newRow("empty reads")
            << LossPath::EmptyReads << false << false << 0 << "line hung up";
        QTest::newRow("a real reason")
            << LossPath::ResourceError << false << false << ENXIO << qt_error_string(ENXIO);
    }
    void reasonInWords()
    {
        QFETCH(LossPath, path);
        QFETCH(bool, gone);
        QFETCH(bool, hungUp);
        QFETCH(int, systemError);
        QFETCH(QString, reason);
        QCOMPARE(lossReason(path, gone, hungUp, qt_error_string(systemError)), reason);
    }

    void lostNoticeStays_data()
    {
        QTest::addColumn<int>("when"); // 0: idle, 1: reply awaited, 2: during a hold
        QTest::newRow("idle line") << 0;
        QTest::newRow("within a second of a send") << 1;
        QTest::newRow("hold released after the loss") << 2;
    }
    void lostNoticeStays()
    {
        QFETCH(int, when);
        HoldRepeat hold(m_exchange.get());
        QSignalSpy trouble(m_exchange.get(), &Exchange::troubleChanged);
        if (when == 1)
            m_exchange->send("CR0");
        if (when == 2)
            hold.press(1);
        m_peer->hangUp();
        QTRY_VERIFY(!m_comm->PortOpen());
        QVERIFY2(m_lost.match(m_exchange->status()).hasMatch(), qPrintable(m_exchange->status()));
        if (when == 2)
            hold.Cont_M_up();
        const QString notice = m_exchange->status();
        m_exchange->Timer4_Timer();
        QCOMPARE(m_exchange->status(), notice);
        QCOMPARE(m_exchange->txd(), QString());
        QCOMPARE(trouble.last().at(0).toString(), notice);
    }

    void portComesBack_data()
    {
        QTest::addColumn<int>("how"); // 0: link recreated, 1: COM pressed, 2: busy when back
        QTest::newRow("link recreated at a new pty") << 0;
        QTest::newRow("COM pressed meanwhile") << 1;
        QTest::newRow("busy when back, then freed") << 2;
    }
    void portComesBack()
    {
        QFETCH(int, how);
        QSignalSpy back(m_comm.get(), &MSComm::portBack);
        QSignalSpy failed(m_comm.get(), &MSComm::reopenFailed);
        m_peer->hangUp();
        QTRY_VERIFY(m_comm->isReopening());
        if (how == 1)
            m_comm->stopReopening();
        m_peer = projectorAt(7);
        std::unique_ptr<QLockFile> lock;
        if (how == 2) {
            lock = std::make_unique<QLockFile>(lockFilePath(m_peer->slavePath()));
            QVERIFY(lock->tryLock(0));
            QTRY_VERIFY(!failed.isEmpty());
            QVERIFY2(m_exchange->status().contains(
                         QStringLiteral("busy: tst_portline (PID %1)").arg(::getpid())),
                     qPrintable(m_exchange->status()));
            lock.reset();
        }
        m_comm->watch()->look();
        QCOMPARE(m_comm->PortOpen(), how != 1);
        QTRY_COMPARE(back.size(), how == 1 ? 0 : 1);
        if (how != 1) {
            QCOMPARE(m_exchange->status(), QStringLiteral(" Port back: COM7"));
            m_exchange->send("CR0");
            QTRY_COMPARE(m_peer->commands().size(), 1);
        }
    }

    void opensTheRealDevice()
    {
        m_comm->setPortOpen(false);
        QLockFile lock(lockFilePath(m_peer->slavePath()));
        QVERIFY(lock.tryLock(0));
        try {
            m_comm->setPortOpen(true);
            QFAIL("opened a device that another program has locked");
        } catch (const SerialError& e) {
            QVERIFY2(e.hint().contains(PortMap::linkPath(7) + " \u2192 " + m_peer->slavePath()),
                     qPrintable(e.hint()));
            QVERIFY2(e.hint().contains("is busy: tst_portline"), qPrintable(e.hint()));
        }
    }

    void simulatorLinkOutlivesIt()
    {
        const QString live = PortMap::portsFolder() + "/.COM3.sim";
        QVERIFY(std::make_unique<PtyPeer>()->linkThrough(PortMap::linkPath(3), live));
        QCOMPARE(PortMap::route(3).through, PortMap::linkPath(3));
        MSComm comm;
        comm.setCommPort(3);
        try {
            comm.setPortOpen(true);
            QFAIL("COM3 opened with its simulator gone");
        } catch (const SerialError& e) {
            QVERIFY2(e.hint().contains(live + ") does not exist"), qPrintable(e.hint()));
        }
    }

    void permissionHint_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("flags"); // m: group may use, n: in it now, l: listed in it
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("unwanted");
        QTest::newRow("dialout device") << "dialout"
                                        << "m"
                                        << "adduser $USER dialout"
                                        << "";
        QTest::newRow("uucp device") << "uucp"
                                     << "m"
                                     << "adduser $USER uucp"
                                     << "dialout";
        QTest::newRow("added since login") << "dialout"
                                           << "ml"
                                           << "log out"
                                           << "adduser";
        QTest::newRow("owner only") << "dialout"
                                    << ""
                                    << "only root may"
                                    << "adduser";
    }
    void permissionHint()
    {
        QFETCH(QString, group);
        QFETCH(QString, flags);
        QFETCH(QString, wanted);
        QFETCH(QString, unwanted);
        const DeviceFacts facts{.exists = true,
                                .owner = "root",
                                .group = group,
                                .groupMayUse = flags.contains('m'),
                                .inGroupNow = flags.contains('n'),
                                .inGroupListed = flags.contains('l'),
                                .lockPid = 0,
                                .lockHolder = {}};
        const QString hint = openHint(OpenFailure::Refused, "COM5 (/dev/ttyUSB0)", facts);
        QVERIFY2(hint.contains(wanted), qPrintable(hint));
        QVERIFY2(unwanted.isEmpty() || !hint.contains(unwanted), qPrintable(hint));
    }

    void unstorableSettings_data()
    {
        QTest::addColumn<bool>("fifo");
        QTest::newRow("a folder where the file goes") << false;
        QTest::newRow("a FIFO where the file goes") << true;
    }
    void unstorableSettings()
    {
        QFETCH(bool, fifo);
        const QByteArray path = QFile::encodeName(configFile());
        QVERIFY(fifo ? ::mkfifo(path, 0600) == 0 : ::mkdir(path, 0700) == 0);
        QCOMPARE(storedPortNo(), qint16(0));
        const QString why = storeChoice(7, 96);
        QVERIFY(fifo ? ::unlink(path) == 0 : ::rmdir(path) == 0);
        QCOMPARE(why, configFile() + " is not a regular file");
    }
};

QTEST_GUILESS_MAIN(TstPortLine)
#include "tst_portline.moc"
