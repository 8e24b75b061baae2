#include "link/exchange.h"
#include "link/mscomm.h"
#include "link/portmap.h"
#include "link/trace.h"
#include "ptypeer.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace orva;
using orva::sim::FaultOptions;
using orva::sim::PtyPeer;

class TstExchange : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void sendGoesOutThenShows();
    void splitReply_data();
    void splitReply();
    void missingReplyIsMarked();
    void lateReplyStartsANewBuffer();
    void twoSendsWithinTimeout();
    void sendWithPortClosed();
    void receiveEventOtherThanTwoReadsNothing();
    void replyBufferIsBounded();
    void portLossClosesOnce_data();
    void portLossClosesOnce();
    void openFailureNamesTheReason();

  private:
    void openOn(PtyPeer& peer);

    PtyPeer* m_peer = nullptr;
    MSComm* m_comm = nullptr;
    ProgramValues m_values;
    Exchange* m_exchange = nullptr;
};

void TstExchange::initTestCase()
{
    isolatedConfigHome();
    QDir().mkpath(PortMap::portsFolder());
}

void TstExchange::init()
{
    m_values = {};
    m_peer = new PtyPeer({.powerOn = true});
    QVERIFY(m_peer->isOpen());
    m_comm = new MSComm;
    m_exchange = new Exchange(m_comm, &m_values);
    openOn(*m_peer);
}

void TstExchange::cleanup()
{
    delete m_exchange;
    delete m_comm;
    delete m_peer;
}

void TstExchange::openOn(PtyPeer& peer)
{
    QVERIFY(peer.linkAs(PortMap::linkPath(7)));
    m_comm->setSettings(QStringLiteral("9600,N,8,1"));
    m_comm->setCommPort(7);
    m_comm->setPortOpen(true);
    QVERIFY(m_comm->PortOpen());
}

void TstExchange::sendGoesOutThenShows()
{
    m_exchange->send("CR0");
    QCOMPARE(m_values.CommandText, QByteArray("CR0\r"));
    QCOMPARE(m_exchange->txd(), QStringLiteral(" C R 0  [CR] "));
    QCOMPARE(m_exchange->replyPending(), quint8(1));
    QVERIFY(m_exchange->Timer2()->isActive());
    QVERIFY(m_exchange->Timer4()->isActive());
    QTRY_COMPARE(m_peer->commands(), QList<QByteArray>{"CR0\r"});
    QTRY_COMPARE(m_exchange->rxd(), QStringLiteral(" 0 0  [CR] "));
    QCOMPARE(m_exchange->replyPending(), quint8(0));
    QCOMPARE(m_exchange->replyBuffer(), QByteArray("00\r"));
}

void TstExchange::splitReply_data()
{
    QTest::addColumn<int>("pieces");
    QTest::newRow("two pieces") << 2;
    QTest::newRow("one byte at a time") << 3;
}

void TstExchange::splitReply()
{
    QFETCH(int, pieces);
    FaultOptions faults;
    faults.splitPieces = pieces;
    faults.splitGapMs = 60;
    m_peer->setFaults(faults);
    QStringList shown;
    connect(m_exchange, &Exchange::rxdChanged, this, [&](const QString& t) { shown << t; });
    m_exchange->send("CR0");
    QTRY_COMPARE(m_exchange->rxd(), QStringLiteral(" 0 0  [CR] "));
    // Every arrival re-renders the whole reply so far.
    QCOMPARE(shown.size(), pieces);
    const QByteArray reply("00\r");
    for (const QString& t : shown) {
        const qsizetype n = (t.size() == 3) ? 1 : (t.size() == 5 ? 2 : 3);
        QCOMPARE(t, traceForm(reply.left(n)));
    }
}

void TstExchange::missingReplyIsMarked()
{
    m_peer->setFaults({.noReply = true});
    m_exchange->send("C00");
    QTRY_COMPARE(m_peer->commands().size(), 1);
    QCOMPARE(m_exchange->rxd(), QString());
    m_exchange->Timer2_Timer();
    QCOMPARE(m_exchange->rxd(), QStringLiteral(" X X X X"));
    QVERIFY(!m_exchange->Timer2()->isActive());
    QCOMPARE(m_exchange->txd(), QStringLiteral(" C 0 0  [CR] "));
    m_exchange->Timer4_Timer();
    QCOMPARE(m_exchange->txd(), QString());
    QCOMPARE(m_exchange->rxd(), QString());
    QCOMPARE(m_exchange->status(), QString());
    QVERIFY(!m_exchange->Timer4()->isActive());
}

void TstExchange::lateReplyStartsANewBuffer()
{
    m_exchange->send("CR0");
    QTRY_COMPARE(m_exchange->replyBuffer(), QByteArray("00\r"));
    m_peer->setFaults({.delayMs = 150});
    m_exchange->send("CR1");
    // The collection closes before the reply to the second send arrives.
    m_exchange->Timer2_Timer();
    QCOMPARE(m_exchange->rxd(), QStringLiteral(" X X X X"));
    QTRY_COMPARE(m_exchange->rxd(), QStringLiteral(" 1  [CR] "));
    QCOMPARE(m_exchange->replyBuffer(), QByteArray("1\r"));
}

void TstExchange::twoSendsWithinTimeout()
{
    m_exchange->send("CR0");
    QTRY_COMPARE(m_exchange->replyBuffer(), QByteArray("00\r"));
    m_exchange->send("CR1");
    QCOMPARE(m_exchange->replyPending(), quint8(1));
    QTRY_COMPARE(m_exchange->rxd(), QStringLiteral(" 0 0  [CR] 1  [CR] "));
    QCOMPARE(m_exchange->replyBuffer(), QByteArray("00\r1\r"));
}

void TstExchange::sendWithPortClosed()
{
    m_exchange->send("CR0");
    QTRY_COMPARE(m_exchange->replyPending(), quint8(0));
    m_exchange->Timer2_Timer();
    m_comm->setPortOpen(false);
    const QString txdBefore = m_exchange->txd();
    QSignalSpy notices(m_exchange, &Exchange::notice);
    m_exchange->Timer2()->stop();
    m_exchange->Timer4()->stop();
    m_exchange->send("C01");
    QCOMPARE(notices.size(), 1);
    QVERIFY(notices.at(0).at(0).toString().contains("No port open"));
    QCOMPARE(m_exchange->txd(), txdBefore);
    QCOMPARE(m_exchange->replyPending(), quint8(0));
    QVERIFY(!m_exchange->Timer2()->isActive());
    QVERIFY(!m_exchange->Timer4()->isActive());
    QCOMPARE(m_values.CommandText, QByteArray("C01\r"));
    QCOMPARE(m_exchange->status(), notices.at(0).at(0).toString());
    // Once a port is open again the first send clears the notice.
    m_comm->setPortOpen(true);
    m_exchange->send("C01");
    QCOMPARE(m_exchange->status(), QString());
    QCOMPARE(m_exchange->txd(), QStringLiteral(" C 0 1  [CR] "));
}

void TstExchange::receiveEventOtherThanTwoReadsNothing()
{
    QCOMPARE(m_comm->CommEvent(), qint16(0));
    m_exchange->MSComm1_OnComm();
    QCOMPARE(m_exchange->replyBuffer(), QByteArray());
    QCOMPARE(m_exchange->rxd(), QString());
}

void TstExchange::replyBufferIsBounded()
{
    // A raw pty pair, so the far side can pour bytes in faster than a line.
    int master = -1;
    int slave = -1;
    QVERIFY(::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    const QString link = PortMap::linkPath(8);
    QFile::remove(link);
    QVERIFY(QFile::link(QString::fromLocal8Bit(::ttyname(slave)), link));
    m_comm->setPortOpen(false);
    m_comm->setCommPort(8);
    m_comm->setPortOpen(true);
    const QByteArray flood(40000, 'A');
    qsizetype written = 0;
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const ssize_t n = ::write(master, flood.constData() + written, flood.size() - written);
            if (n > 0)
                written += n;
            return written == flood.size() &&
                   m_exchange->replyBuffer().size() == Exchange::kReplyBufferLimit;
        }(),
        10000);
    QTest::qWait(50);
    QCOMPARE(m_exchange->replyBuffer().size(), Exchange::kReplyBufferLimit);
    QCOMPARE(m_exchange->rxd().size(), 1 + 2 * Exchange::kReplyBufferLimit);
    m_comm->setPortOpen(false);
    ::close(master);
    ::close(slave);
    QFile::remove(link);
}

void TstExchange::portLossClosesOnce_data()
{
    QTest::addColumn<bool>("pending");
    QTest::newRow("idle line") << false;
    QTest::newRow("while a reply is awaited") << true;
}

void TstExchange::portLossClosesOnce()
{
    QFETCH(bool, pending);
    QSignalSpy lost(m_comm, &MSComm::portLost);
    QSignalSpy notices(m_exchange, &Exchange::notice);
    if (pending) {
        m_peer->setFaults({.noReply = true});
        m_exchange->send("CR0");
        QTRY_COMPARE(m_peer->commands().size(), 1);
    }
    m_peer->hangUp();
    QTRY_COMPARE(lost.size(), 1);
    QVERIFY(!m_comm->PortOpen());
    QTest::qWait(100);
    QCOMPARE(lost.size(), 1);
    QCOMPARE(notices.size(), 1);
    QVERIFY(notices.at(0).at(0).toString().startsWith(" Port lost"));
    // The panel goes on: a send now reports the closed port.
    m_exchange->send("CR0");
    QCOMPARE(notices.size(), 2);
}

void TstExchange::openFailureNamesTheReason()
{
    m_comm->setPortOpen(false);
    QFile::remove(PortMap::linkPath(9));
    QVERIFY(QFile::link("/nonexistent/ttyUSB9", PortMap::linkPath(9)));
    m_comm->setCommPort(9);
    try {
        m_comm->setPortOpen(true);
        QFAIL("a missing device opened");
    } catch (const SerialError& e) {
        QVERIFY2(e.reason().contains("COM9"), qPrintable(e.reason()));
        QVERIFY2(e.hint().contains("does not exist"), qPrintable(e.reason() + " / " + e.hint()));
    }
    // The same device twice: the second open finds it busy.
    m_comm->setCommPort(7);
    m_comm->setPortOpen(true);
    MSComm second;
    second.setCommPort(7);
    try {
        second.setPortOpen(true);
        QFAIL("a held port opened twice");
    } catch (const SerialError& e) {
        QVERIFY2(e.hint().contains("busy"), qPrintable(e.reason() + " / " + e.hint()));
    }
    QFile::remove(PortMap::linkPath(9));
}

QTEST_GUILESS_MAIN(TstExchange)
#include "tst_exchange.moc"
