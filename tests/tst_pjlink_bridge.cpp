// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge on a simulated projector over a real pseudo-terminal, driven by
// a PJLink client written here from PJLink's own definitions.
#include "bridge/pjlinkserver.h"
#include "bridge/projectorline.h"
#include "line/portmap.h"
#include "link/mscomm.h"
#include "ptypeer.h"
#include "testenv.h"

#include <QCryptographicHash>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

using namespace orva;

namespace
{

const QByteArray kPassword = "JBMIAProjectorLink";

// A controller: reads the greeting, puts the MD5 digest of the random text
// and the password in front of its first request, one answer per request.
class Client
{
  public:
    explicit Client(quint16 port, const QByteArray& password = kPassword)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        const QByteArray greeting = line();
        if (greeting.startsWith("PJLINK 1 "))
            m_digest = QCryptographicHash::hash(greeting.mid(9) + password, QCryptographicHash::Md5)
                           .toHex();
    }
    QByteArray request(const QByteArray& text)
    {
        m_socket.write(m_digest + text + '\r');
        m_digest.clear();
        return line();
    }
    // The next line, or what came before the server closed.
    QByteArray line()
    {
        for (int i = 0; i < 1000 && !m_in.contains('\r'); ++i) {
            m_in += m_socket.readAll();
            if (m_socket.state() == QAbstractSocket::UnconnectedState)
                break;
            QTest::qWait(10);
        }
        const qsizetype cr = m_in.indexOf('\r');
        const QByteArray text = m_in.first(cr < 0 ? m_in.size() : cr);
        m_in.remove(0, cr < 0 ? m_in.size() : cr + 1);
        return text;
    }
    QTcpSocket m_socket;

  private:
    QByteArray m_digest;
    QByteArray m_in;
};

} // namespace

class TestPjlinkBridge : public QObject
{
    Q_OBJECT
    std::unique_ptr<sim::PtyPeer> m_peer;
    std::unique_ptr<ProjectorLine> m_line;
    std::unique_ptr<PjlinkServer> m_server;
    quint16 m_port = 0;

  private slots:
    void initTestCase()
    {
        isolatedConfigHome();
        QDir().mkpath(PortMap::portsFolder());
        m_peer = std::make_unique<sim::PtyPeer>();
        QVERIFY(m_peer->linkAs(PortMap::linkPath(7)));
        m_line = std::make_unique<ProjectorLine>(7, 192, pjlink::Identity{"Room 1", "COM7", "1"});
        m_server = std::make_unique<PjlinkServer>(m_line.get(), kPassword);
        QString why;
        QVERIFY2(m_server->listen(QHostAddress::LocalHost, 0, &why), qPrintable(why));
        m_port = m_server->port();
    }

    void classOneRoundTrips()
    {
        Client client(m_port);
        const QList<std::pair<QByteArray, QByteArray>> exchanges = {
            {"%1POWR ?", "%1POWR=0"},     {"%1INPT 22", "%1INPT=OK"},
            {"%1INPT ?", "%1INPT=22"},    {"%1AVMT 31", "%1AVMT=OK"},
            {"%1AVMT ?", "%1AVMT=31"},    {"%1ERST ?", "%1ERST=000000"},
            {"%1LAMP ?", "%1LAMP=123 0"}, {"%1NAME ?", "%1NAME=Room 1"},
        };
        for (const auto& [request, answer] : exchanges)
            QCOMPARE(client.request(request), answer);
        QCOMPARE(m_peer->commands().mid(0, 2), QList<QByteArray>({"CR0\r", "C34\r"}));
    }

    // Nothing reaches the line for a request that is not carried out.
    void refusedRequestsSendNothing()
    {
        const qsizetype before = m_peer->commands().size();
        Client wrong(m_port, "guess");
        QCOMPARE(wrong.request("%1POWR 0"), QByteArray("PJLINK ERRA"));
        QTRY_COMPARE(wrong.m_socket.state(), QAbstractSocket::UnconnectedState);
        Client client(m_port);
        QCOMPARE(client.request("%1POWR 5"), QByteArray("%1POWR=ERR2"));
        QCOMPARE(client.request("%1NAME " + QByteArray(100000, 'x')), QByteArray("%1NAME=ERR2"));
        QCOMPARE(client.request("%1CLSS ?"), QByteArray("%1CLSS=2"));
        Client junk(m_port);
        junk.request(QByteArray("\x00\xff\x01 binary", 10));
        QTRY_COMPARE(junk.m_socket.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(m_peer->commands().size(), before);
    }

    // Several controllers at once: each request's commands go out together.
    void oneRequestAtATime()
    {
        Client a(m_port), b(m_port);
        a.request("%1CLSS ?");
        b.request("%1CLSS ?");
        const qsizetype before = m_peer->commands().size();
        a.m_socket.write("%1AVMT 30\r");
        b.m_socket.write("%1AVMT 31\r");
        QCOMPARE(a.line(), QByteArray("%1AVMT=OK"));
        QCOMPARE(b.line(), QByteArray("%1AVMT=OK"));
        const QList<QByteArray> sent = m_peer->commands().mid(before);
        QCOMPARE(sent, QList<QByteArray>({"C0E\r", "C0C\r", "C0D\r", "C0B\r"}));
    }

    void lineSharedWithOtherPrograms()
    {
        Client client(m_port);
        QCOMPARE(client.request("%1POWR ?").left(7), QByteArray("%1POWR="));
        QVERIFY(m_line->isOpen());
        // Let go after the last request (2 s; the bench prints the figure), then
        // another program's.
        QTRY_VERIFY_WITH_TIMEOUT(!m_line->isOpen(), 15000);
        MSComm other;
        other.setCommPort(7);
        other.setSettings("19200,N,8,1");
        other.setPortOpen(true);
        QCOMPARE(client.request("%1POWR ?"), QByteArray("%1POWR=ERR3"));
        other.setPortOpen(false);
        QCOMPARE(client.request("%1POWR ?").left(7), QByteArray("%1POWR="));
    }

    void silentProjector()
    {
        sim::FaultOptions faults;
        faults.noReply = true;
        m_peer->setFaults(faults);
        Client client(m_port);
        QCOMPARE(client.request("%1LAMP ?"), QByteArray("%1LAMP=ERR4"));
        m_peer->setFaults({});
    }

    void search()
    {
        QUdpSocket controller;
        QVERIFY(controller.bind(QHostAddress::LocalHost, 0));
        controller.writeDatagram("%2SRCH\r", QHostAddress::LocalHost, m_port);
        QTRY_VERIFY(controller.hasPendingDatagrams());
        // Loopback has the MAC address of zeros.
        QCOMPARE(controller.receiveDatagram().data(), QByteArray("%2ACKN=00:00:00:00:00:00\r"));
    }

    void manyConnections()
    {
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < PjlinkServer::kMaxConnections; ++i)
            clients.push_back(std::make_unique<Client>(m_port));
        Client extra(m_port);
        QTRY_COMPARE(extra.m_socket.state(), QAbstractSocket::UnconnectedState);
        clients.clear();
        QTRY_COMPARE(m_server->connections(), 0);
        QCOMPARE(Client(m_port).request("%1CLSS ?"), QByteArray("%1CLSS=2"));
    }

    // The projector's faults: power told as ERR4, ERST says which.
    void abnormalities()
    {
        using A = sim::ProjectorModel::Abnormality;
        Client client(m_port);
        for (const auto& [fault, digits] :
             {std::pair{A::Temperature, "002000"}, std::pair{A::Lamp, "020000"},
              std::pair{A::Power, "000002"}}) {
            m_peer->model().setAbnormality(fault);
            QCOMPARE(client.request("%1POWR ?"), QByteArray("%1POWR=ERR4"));
            QCOMPARE(client.request("%1ERST ?"), "%1ERST=" + QByteArray(digits));
        }
        m_peer->model().setAbnormality(A::None);
        QCOMPARE(client.request("%1ERST ?"), QByteArray("%1ERST=000000"));
    }

    // Last: switched on, the bridge follows the warming up to its end.
    void notificationsOfChanges()
    {
        QSignalSpy told(m_line.get(), &ProjectorLine::notification);
        Client client(m_port);
        client.request("%1INPT 11");
        client.request("%1INPT 21");
        QCOMPARE(told.last().first().toByteArray(), QByteArray("%2INPT=21\r"));
        QCOMPARE(client.request("%1POWR 1"), QByteArray("%1POWR=OK"));
        QTRY_COMPARE_WITH_TIMEOUT(told.last().first().toByteArray(), QByteArray("%2POWR=1\r"),
                                  60000);
    }
};

QTEST_GUILESS_MAIN(TestPjlinkBridge)
#include "tst_pjlink_bridge.moc"
