#include "link/exchange.h"
#include "link/mscomm.h"
#include "link/portmap.h"
#include "ptypeer.h"
#include "testenv.h"

#include <QTest>

using namespace orva;
using orva::sim::PtyPeer;

// Hyouji, the receive event and the two time-outs over a real pty.
class TstExchange : public QObject
{
    Q_OBJECT
    std::unique_ptr<PtyPeer> m_peer;
    std::unique_ptr<MSComm> m_comm;
    std::unique_ptr<Exchange> m_exchange;
    ProgramValues m_values;

    void openPort(int port)
    {
        m_comm->setPortOpen(false);
        m_comm->setCommPort(qint16(port));
        m_comm->setPortOpen(true);
        QVERIFY(m_comm->PortOpen());
    }

  private slots:
    void initTestCase()
    {
        isolatedConfigHome();
        QDir().mkpath(PortMap::portsFolder());
    }
    void init()
    {
        m_values = {};
        m_peer = std::make_unique<PtyPeer>(sim::ModelOptions{.powerOn = true});
        QVERIFY(m_peer->linkAs(PortMap::linkPath(7)));
        m_comm = std::make_unique<MSComm>();
        m_exchange = std::make_unique<Exchange>(m_comm.get(), &m_values);
        openPort(7);
    }
    void cleanup()
    {
        m_exchange.reset();
        m_comm.reset();
        m_peer.reset();
    }

    void sendThenReply()
    {
        m_exchange->send("CR0");
        QCOMPARE(m_values.CommandText, QByteArray("CR0\r"));
        QCOMPARE(m_exchange->txd(), QStringLiteral(" C R 0  [CR] "));
        QCOMPARE(m_exchange->replyPending(), quint8(1));
        QVERIFY(m_exchange->Timer2()->isActive() && m_exchange->Timer4()->isActive());
        QCOMPARE(m_exchange->Timer2()->interval(), 500);
        QCOMPARE(m_exchange->Timer4()->interval(), 1000);
        QTRY_COMPARE(m_exchange->rxd(), QStringLiteral(" 0 0  [CR] "));
        QCOMPARE(m_peer->commands(), QList<QByteArray>{"CR0\r"});
        QCOMPARE(m_exchange->replyPending(), quint8(0));
        QCOMPARE(m_exchange->replyBuffer(), QByteArray("00\r"));
        QCOMPARE(m_exchange->status(), QStringLiteral(" Power ON"));
        // The time-out marks nothing once a reply came, and closes the collection.
        m_exchange->Timer2_Timer();
        QCOMPARE(m_exchange->rxd(), QStringLiteral(" 0 0  [CR] "));
        QVERIFY(m_exchange->replyBuffer().isEmpty());
        QVERIFY(!m_exchange->Timer2()->isActive());
        m_exchange->Timer4_Timer();
        QCOMPARE(m_exchange->txd() + m_exchange->rxd() + m_exchange->status(), QString());
        QVERIFY(!m_exchange->Timer4()->isActive());
    }

    void missingReplyIsMarked()
    {
        m_peer->setFaults({.noReply = true});
        // Only the receive event reads the port.
        m_exchange->MSComm1_OnComm();
        QCOMPARE(m_exchange->rxd(), QString());
        m_exchange->send("C00");
        QTRY_COMPARE(m_peer->commands().size(), 1);
        QTRY_COMPARE(m_exchange->rxd(), QStringLiteral(" X X X X"));
        QCOMPARE(m_exchange->replyPending(), quint8(0));
        QCOMPARE(m_exchange->txd(), QStringLiteral(" C 0 0  [CR] "));
        QTRY_COMPARE(m_exchange->txd(), QString());
        QCOMPARE(m_exchange->rxd(), QString());
    }

    void repliesWithinOneCollectionAddUp()
    {
        m_exchange->send("CR0");
        QTRY_COMPARE(m_exchange->replyBuffer(), QByteArray("00\r"));
        m_exchange->send("CR1");
        QCOMPARE(m_exchange->replyPending(), quint8(1));
        QTRY_COMPARE(m_exchange->rxd(), QStringLiteral(" 0 0  [CR] 1  [CR] "));
        // A reply after the collection closed starts a new one.
        m_peer->setFaults({.delayMs = 150});
        m_exchange->send("CR1");
        m_exchange->Timer2_Timer();
        QCOMPARE(m_exchange->rxd(), QStringLiteral(" X X X X"));
        QTRY_COMPARE(m_exchange->rxd(), QStringLiteral(" 1  [CR] "));
    }

    void sendWithPortClosed()
    {
        m_comm->setPortOpen(false);
        m_exchange->send("C01");
        QCOMPARE(m_values.CommandText, QByteArray("C01\r"));
        QCOMPARE(m_exchange->status(), QStringLiteral(" No port open: press COM"));
        QCOMPARE(m_exchange->txd(), QString());
        QCOMPARE(m_exchange->replyPending(), quint8(0));
        QVERIFY(!m_exchange->Timer2()->isActive() && !m_exchange->Timer4()->isActive());
        openPort(7);
        m_exchange->send("C01");
        QCOMPARE(m_exchange->status(), QString());
        QCOMPARE(m_exchange->txd(), QStringLiteral(" C 0 1  [CR] "));
    }
};

QTEST_GUILESS_MAIN(TstExchange)
#include "tst_exchange.moc"
