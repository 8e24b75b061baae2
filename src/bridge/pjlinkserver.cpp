// SPDX-License-Identifier: GPL-3.0-or-later
#include "pjlinkserver.h"

#include "projectorline.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

namespace orva
{

namespace
{

QByteArray macOf(const QNetworkInterface& interface)
{
    QByteArray mac = QByteArray::fromHex(interface.hardwareAddress().toLatin1());
    mac.resize(6, '\0');
    return mac;
}

// The interface a datagram from this address came in on, or goes out by.
QNetworkInterface interfaceFor(const QHostAddress& peer, int index)
{
    if (index > 0) {
        const QNetworkInterface byIndex = QNetworkInterface::interfaceFromIndex(index);
        if (byIndex.isValid())
            return byIndex;
    }
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& entry : interface.addressEntries())
            if (peer.isInSubnet(entry.ip(), entry.prefixLength()))
                return interface;
    return {};
}

// A controller on IPv4 seen through an IPv6 socket is written to as IPv4.
QHostAddress plain(const QHostAddress& address)
{
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    return mapped ? QHostAddress(ipv4) : address;
}

} // namespace

// One controller's connection.
class Session : public QObject
{
  public:
    Session(PjlinkServer* server, QTcpSocket* socket)
        : QObject(socket), m_server(server), m_socket(socket)
    {
        if (!server->m_password.isEmpty()) {
            const QByteArray random = QByteArray::number(QRandomGenerator::system()->generate(), 16)
                                          .rightJustified(8, '0');
            m_expected = pjlink::digest(random, server->m_password);
            m_socket->write(pjlink::greeting(random));
        } else {
            m_socket->write(pjlink::greeting({}));
        }
        m_idle.setSingleShot(true);
        m_idle.setInterval(PjlinkServer::kIdleClose);
        connect(&m_idle, &QTimer::timeout, this, [this] {
            if (m_busy)
                m_idle.start();
            else
                m_socket->disconnectFromHost();
        });
        m_idle.start();
        connect(m_socket, &QTcpSocket::readyRead, this, &Session::read);
    }

  private:
    void read()
    {
        m_pending += m_socket->readAll();
        if (m_pending.size() > PjlinkServer::kMaxPending && m_busy) {
            // A controller that sends without waiting for its answers.
            close();
            return;
        }
        take();
    }

    void take()
    {
        // A line may carry the digest in front of its request.
        const qsizetype limit =
            pjlink::kMaxLine + (m_expected.isEmpty() ? 0 : pjlink::kDigestLength);
        while (!m_busy && m_socket->state() == QAbstractSocket::ConnectedState) {
            const qsizetype cr = m_pending.indexOf('\r');
            if (cr < 0) {
                if (m_pending.size() > limit) {
                    // Over-long: answered when its header says what it is, and
                    // the rest is dropped up to its carriage return.
                    if (!m_discarding)
                        answerOverLong(m_pending);
                    m_discarding = true;
                    m_pending.clear();
                }
                return;
            }
            QByteArray line = m_pending.first(cr);
            m_pending.remove(0, cr + 1);
            // A line feed after the carriage return, as some clients send.
            if (m_pending.startsWith('\n'))
                m_pending.remove(0, 1);
            if (m_discarding) {
                m_discarding = false;
                continue;
            }
            m_idle.start();
            if (line.size() > limit) {
                answerOverLong(line);
                continue;
            }
            handle(line);
        }
    }

    void answerOverLong(const QByteArray& start)
    {
        const QByteArray answer = pjlink::overLong(authenticated(start));
        if (answer.isEmpty())
            close();
        else
            m_socket->write(answer);
    }

    // The line without a digest in front: the first line must carry it, and
    // later ones may.
    QByteArrayView authenticated(QByteArrayView line)
    {
        if (m_expected.isEmpty())
            return line;
        if (const auto rest = pjlink::afterDigest(line, m_expected)) {
            m_trusted = true;
            return *rest;
        }
        return m_trusted ? line : QByteArrayView();
    }

    void handle(const QByteArray& whole)
    {
        const QByteArrayView line = authenticated(whole);
        if (!m_trusted && !m_expected.isEmpty()) {
            // A wrong password: nothing is done, and the controller must start over.
            m_socket->write(pjlink::kAuthError);
            close();
            return;
        }
        if (line.isEmpty())
            return;
        const pjlink::Parsed parsed = pjlink::parse(line);
        switch (parsed.kind) {
        case pjlink::Parsed::Kind::Junk:
            close();
            return;
        case pjlink::Parsed::Kind::Answer:
            m_socket->write(parsed.answer);
            return;
        case pjlink::Parsed::Kind::Request:
            break;
        }
        m_server->remember(m_socket->peerAddress());
        m_busy = true;
        m_server->m_line->submit(parsed.request, this, [this](const QByteArray& answer) {
            m_socket->write(answer);
            m_busy = false;
            m_idle.start();
            take();
        });
    }

    void close()
    {
        m_pending.clear();
        m_socket->disconnectFromHost();
    }

    PjlinkServer* m_server;
    QTcpSocket* m_socket;
    QTimer m_idle;
    QByteArray m_pending;
    QByteArray m_expected;
    bool m_trusted = false;
    bool m_busy = false;
    bool m_discarding = false;
};

PjlinkServer::PjlinkServer(ProjectorLine* line, const QByteArray& password, QObject* parent)
    : QObject(parent), m_line(line), m_password(password)
{
    // Controllers reach the bridge directly, whatever proxy the machine sets.
    m_tcp.setProxy(QNetworkProxy::NoProxy);
    m_udp.setProxy(QNetworkProxy::NoProxy);
    connect(&m_tcp, &QTcpServer::newConnection, this, &PjlinkServer::accept);
    connect(&m_udp, &QUdpSocket::readyRead, this, &PjlinkServer::onSearch);
    connect(m_line, &ProjectorLine::notification, this, &PjlinkServer::notify);
}

bool PjlinkServer::listen(const QHostAddress& address, quint16 port, QString* error)
{
    m_tcp.setMaxPendingConnections(kMaxConnections);
    if (!m_tcp.listen(address, port)) {
        *error =
            QStringLiteral("cannot listen on TCP port %1: %2").arg(port).arg(m_tcp.errorString());
        return false;
    }
    m_port = m_tcp.serverPort();
    if (!m_udp.bind(address, m_port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        *error = QStringLiteral("cannot take UDP port %1 for the search: %2")
                     .arg(m_port)
                     .arg(m_udp.errorString());
        return false;
    }
    return true;
}

void PjlinkServer::accept()
{
    while (QTcpSocket* socket = m_tcp.nextPendingConnection()) {
        if (m_connections >= kMaxConnections) {
            socket->write("PJLINK ERR3\r");
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++m_connections;
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --m_connections;
            socket->deleteLater();
        });
        new Session(this, socket);
    }
}

void PjlinkServer::onSearch()
{
    while (m_udp.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udp.receiveDatagram(64);
        if (!pjlink::isSearch(datagram.data()))
            continue;
        if (!m_searchSecond.isValid() || m_searchSecond.elapsed() >= 1000) {
            m_searchSecond.start();
            m_searchAnswers = 0;
        }
        if (++m_searchAnswers > kMaxSearchAnswers)
            continue;
        const QHostAddress from = plain(datagram.senderAddress());
        const QByteArray answer =
            pjlink::searchAnswer(macOf(interfaceFor(from, int(datagram.interfaceIndex()))));
        // PJLink answers at the controller's own PJLink port; a controller
        // searching from another port hears it there too.
        m_udp.writeDatagram(answer, from, m_port);
        if (datagram.senderPort() != m_port && datagram.senderPort() > 0)
            m_udp.writeDatagram(answer, from, quint16(datagram.senderPort()));
    }
}

void PjlinkServer::announce()
{
    if (!m_fixedNotified.isEmpty()) {
        for (const QHostAddress& address : m_fixedNotified)
            sendTo(pjlink::linkUp(macOf(interfaceFor(address, 0))), address);
        return;
    }
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        if (!(interface.flags() & QNetworkInterface::IsUp) ||
            !(interface.flags() & QNetworkInterface::CanBroadcast))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries())
            if (!entry.broadcast().isNull())
                sendTo(pjlink::linkUp(macOf(interface)), entry.broadcast());
    }
}

void PjlinkServer::notify(const QByteArray& line)
{
    QList<QHostAddress> targets = m_fixedNotified;
    for (const QHostAddress& caller : m_callers)
        if (!targets.contains(caller))
            targets << caller;
    for (const QHostAddress& address : targets)
        sendTo(line, address);
}

void PjlinkServer::sendTo(const QByteArray& datagram, const QHostAddress& address)
{
    m_udp.writeDatagram(datagram, address, m_port);
}

void PjlinkServer::remember(const QHostAddress& controller)
{
    m_callers.removeAll(plain(controller));
    m_callers.prepend(plain(controller));
    if (m_callers.size() > kMaxNotified)
        m_callers.removeLast();
}

} // namespace orva
