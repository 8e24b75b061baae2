// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/net/netline.h"

#include <QEventLoop>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <utility>

namespace orva
{

namespace
{

using namespace std::chrono_literals;

// A raw TCP server gives no sign of taking the panel other than keeping the
// connection: one that takes a single client closes a second one at once.
constexpr auto kRawSettle = 250ms;
// Reconnecting: an attempt starts every 2 s, and one to a host that does not
// answer gives up when the next is due, after the kernel's first SYN
// retransmission. So a server back after any outage is reached within about
// a second, and one away costs a timer and a SYN a second.
constexpr auto kRetryPeriod = 2s;
constexpr auto kReconnectTimeout = kRetryPeriod;
// Once the rate is answered, the answers to 8N1 are waited for this long
// more: a server that sends none of them is taken as it is.
constexpr auto kSettingsGrace = 500ms;
// What a refusing server said, shown in its own words up to this length.
constexpr qsizetype kEarlyLimit = 80;

// A dead peer (cable pulled, gateway off) shows within about 11 s when idle
// and 10 s after a write; the kernel keeps time, the panel uses no CPU.
void keepAlive(qintptr socket)
{
    const int fd = int(socket);
    const int on = 1, idle = 5, interval = 2, count = 3;
    const unsigned userTimeoutMs = 10000;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
}

QString printable(QByteArrayView bytes)
{
    QString out;
    for (const char c : bytes)
        out += (c >= 0x20 && c < 0x7f) ? QChar::fromLatin1(c) : QChar(u' ');
    return out.simplified();
}

} // namespace

NetLine::NetLine(int portNo, const NetAddress& address, QObject* parent)
    : Line(parent), m_portNo(portNo), m_address(address)
{
    m_deadline.setSingleShot(true);
    m_retry.setSingleShot(true);
    connect(&m_socket, &QTcpSocket::connected, this, &NetLine::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetLine::onReadable);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetLine::onError);
    connect(&m_retry, &QTimer::timeout, this, &NetLine::attempt);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_phase == Phase::Connecting && m_socket.state() == QAbstractSocket::HostLookupState) {
            fail(QStringLiteral("host not found within %1 s").arg(kConnectTimeout.count()),
                 QStringLiteral("The name server does not answer for %1: check the network, or "
                                "write the server's address in ports/COM%2 instead.")
                     .arg(m_address.host)
                     .arg(m_portNo));
        } else if (m_phase == Phase::Connecting) {
            fail(QStringLiteral("no answer within %1 s").arg(kConnectTimeout.count()),
                 QStringLiteral("Check that %1 is on and reachable and that port %2 is let "
                                "through.")
                     .arg(m_address.host)
                     .arg(m_address.port));
        } else if (m_phase == Phase::Negotiating) {
            // A server that runs the port but does not answer the rate is
            // taken as it is: nothing more would come by waiting.
            if (m_address.kind == NetAddress::Kind::Raw || m_configured)
                succeed();
            else if (!m_heard)
                silent();
            else
                notRfc2217();
        }
    });
}

QString NetLine::describe() const
{
    return QStringLiteral("COM%1 (%2)").arg(m_portNo).arg(m_address.url());
}

void NetLine::open(qint32 baud)
{
    if (m_phase == Phase::Open)
        throw SerialError(QStringLiteral("The port is already open"));
    stopReopening();
    m_baud = baud;
    QEventLoop wait;
    m_wait = &wait;
    m_failure.reset();
    emit opening(describe());
    attempt();
    // Everything goes on meanwhile; the panel's connecting window takes the
    // input and drops what is meant for other windows.
    if (m_phase == Phase::Connecting || m_phase == Phase::Negotiating)
        wait.exec();
    m_wait = nullptr;
    emit opening({});
    if (m_phase == Phase::Open)
        return;
    if (!m_failure) {
        m_socket.abort();
        m_phase = Phase::Closed;
        throw SerialError(describe() + QStringLiteral(": connecting was stopped"));
    }
    throw SerialError(*std::exchange(m_failure, std::nullopt));
}

void NetLine::close()
{
    stopReopening();
    m_deadline.stop();
    m_phase = Phase::Closed;
    m_socket.abort();
    m_in.clear();
    if (m_wait)
        m_wait->quit();
}

void NetLine::stopReopening()
{
    m_retry.stop();
    if (m_reopening && m_phase != Phase::Open) {
        m_deadline.stop();
        m_phase = Phase::Closed;
        m_socket.abort();
    }
    m_reopening = false;
}

void NetLine::setBaudRate(qint32 baud)
{
    m_baud = baud;
    if (m_phase == Phase::Open && m_address.kind == NetAddress::Kind::Rfc2217)
        m_socket.write(TelnetCodec::setBaudRate(quint32(baud)));
}

void NetLine::write(const QByteArray& bytes)
{
    if (m_phase != Phase::Open)
        throw SerialError(QStringLiteral("No port is open"));
    const QByteArray wire =
        m_address.kind == NetAddress::Kind::Rfc2217 ? TelnetCodec::escape(bytes) : bytes;
    if (m_socket.write(wire) != wire.size())
        throw SerialError(m_socket.errorString());
    // Out now rather than when the event loop comes round.
    m_socket.flush();
}

QByteArray NetLine::readAll()
{
    return std::exchange(m_in, {});
}

void NetLine::attempt()
{
    m_phase = Phase::Connecting;
    m_attemptStart = std::chrono::steady_clock::now();
    m_codec = TelnetCodec{};
    m_configured = false;
    m_heard = false;
    m_answered = 0;
    m_graceStarted = false;
    m_in.clear();
    m_early.clear();
    m_socket.abort();
    m_deadline.start(m_reopening ? kReconnectTimeout : kConnectTimeout);
    m_socket.connectToHost(m_address.host, m_address.port);
}

void NetLine::onConnected()
{
    keepAlive(m_socket.socketDescriptor());
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_phase = Phase::Negotiating;
    if (m_address.kind == NetAddress::Kind::Raw) {
        m_deadline.start(kRawSettle);
        return;
    }
    m_socket.write(m_codec.start());
    // A hung server is given up on in time for the next try.
    m_deadline.start(m_reopening ? kReconnectTimeout : kNegotiateTimeout);
}

void NetLine::onReadable()
{
    const QByteArray bytes = m_socket.readAll();
    QByteArray data = bytes;
    QList<TelnetCodec::Subnegotiation> subnegotiations;
    if (m_address.kind == NetAddress::Kind::Rfc2217) {
        TelnetCodec::Decoded decoded = m_codec.decode(bytes);
        if (!decoded.reply.isEmpty())
            m_socket.write(decoded.reply);
        data = std::move(decoded.data);
        subnegotiations = std::move(decoded.subnegotiations);
    }
    if (m_phase == Phase::Open) {
        if (data.isEmpty())
            return;
        m_in += data;
        emit readyRead();
        return;
    }
    if (m_phase != Phase::Negotiating)
        return;
    m_heard = m_heard || !bytes.isEmpty();
    m_early += data.left(kEarlyLimit - m_early.size());
    if (m_address.kind == NetAddress::Kind::Raw)
        return;
    if (m_codec.comPort() == TelnetCodec::ComPort::Refused) {
        notRfc2217();
        return;
    }
    if (m_codec.comPort() == TelnetCodec::ComPort::Accepted && !m_configured) {
        m_configured = true;
        m_socket.write(TelnetCodec::setBaudRate(quint32(m_baud)) + TelnetCodec::set8N1());
    }
    for (const auto& sub : subnegotiations)
        if (sub.option == TelnetCodec::kComPort && !sub.payload.isEmpty() &&
            !checkAnswer(sub.payload))
            return;
    // The rate's answer shows the port is ours; a server that allows one
    // client closes instead. Line-control answers (DTR, RTS) are never
    // waited for: some servers never send them.
    constexpr unsigned kAll = 1u << TelnetCodec::kSetBaudRate | 1u << TelnetCodec::kSetDataSize |
                              1u << TelnetCodec::kSetParity | 1u << TelnetCodec::kSetStopSize |
                              1u << TelnetCodec::kSetControl;
    if (!m_configured || !(m_answered & 1u << TelnetCodec::kSetBaudRate))
        return;
    if (m_answered == kAll)
        succeed();
    else if (!m_graceStarted) {
        m_graceStarted = true;
        m_deadline.start(kSettingsGrace);
    }
}

bool NetLine::checkAnswer(const QByteArray& payload)
{
    const int code = quint8(payload[0]) - TelnetCodec::kReplyOffset;
    if (code < TelnetCodec::kSetBaudRate || code > TelnetCodec::kSetControl)
        return true;
    const auto setting = TelnetCodec::Setting(code);
    quint32 set = 0;
    for (const char c : payload.mid(1))
        set = set << 8 | quint8(c);
    m_answered |= 1u << setting;
    const quint32 asked =
        setting == TelnetCodec::kSetBaudRate ? quint32(m_baud) : TelnetCodec::asked8N1(setting);
    // A zero tells nothing: it is how a setting is asked for, not set.
    if (set == 0 || set == asked)
        return true;
    const QString setText = TelnetCodec::settingText(setting, set);
    const QString askedText = TelnetCodec::settingText(setting, asked);
    // Every command would then come back garbled as " X X X X".
    fail(QStringLiteral("the server set its port to %1, not %2").arg(setText, askedText),
         setting == TelnetCodec::kSetBaudRate
             ? QStringLiteral("The server keeps a rate of its own: set its port there to take "
                              "the rate from the client, or choose %1 (COM PORT, --rate %1).")
                   .arg(set)
             : QStringLiteral("The server keeps settings of its own: set its port there to take "
                              "them from the client, or to 8 data bits, no parity, 1 stop bit "
                              "and no flow control."),
         OpenFailure::Refused);
    return false;
}

void NetLine::onError(QAbstractSocket::SocketError error)
{
    if (m_phase == Phase::Closed)
        return;
    if (m_phase == Phase::Open) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            lose(QStringLiteral("the server closed the connection"));
        else if (error == QAbstractSocket::SocketTimeoutError ||
                 error == QAbstractSocket::NetworkError)
            lose(QStringLiteral("no answer from the server"));
        else
            lose(m_socket.errorString());
        return;
    }
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        fail(QStringLiteral("connection refused"),
             QStringLiteral("Nothing takes connections at %1 port %2: start the serial server "
                            "there (ser2net), or correct the port number in ports/COM%3.")
                 .arg(m_address.host)
                 .arg(m_address.port)
                 .arg(m_portNo));
        break;
    case QAbstractSocket::HostNotFoundError:
        fail(QStringLiteral("host not found"),
             QStringLiteral("Check the host name in ports/COM%1, or write its address instead.")
                 .arg(m_portNo));
        break;
    case QAbstractSocket::RemoteHostClosedError: {
        // ser2net says "Port already in use" to a second client, or why its
        // device would not open; a server that says nothing and closes is
        // taken to be serving someone else.
        const QString said = printable(m_early);
        if (said.isEmpty() || said.contains(QLatin1String("in use"), Qt::CaseInsensitive))
            fail(said.isEmpty() ? QStringLiteral("busy: the server closed the connection at once")
                                : QStringLiteral("busy: the server says \"%1\"").arg(said),
                 QStringLiteral("The server takes one client at a time: end the program that "
                                "holds the port there, then try again."),
                 OpenFailure::Busy);
        else
            fail(QStringLiteral("the server says \"%1\"").arg(said),
                 QStringLiteral("The server could not use its serial port: check the device "
                                "and the server's configuration there."),
                 OpenFailure::Missing);
        break;
    }
    default:
        fail(m_socket.errorString());
    }
}

void NetLine::silent()
{
    NetAddress raw = m_address;
    raw.kind = NetAddress::Kind::Raw;
    fail(QStringLiteral("the server answered nothing within %1 s").arg(kNegotiateTimeout.count()),
         QStringLiteral("It took the connection and sent nothing, as a hung or stopped serial "
                        "server does: restart it there. If it passes bytes as they are, write "
                        "%1 in ports/COM%2 instead.")
             .arg(raw.url())
             .arg(m_portNo));
}

void NetLine::notRfc2217()
{
    NetAddress raw = m_address;
    raw.kind = NetAddress::Kind::Raw;
    fail(QStringLiteral("the server does not speak RFC 2217"),
         QStringLiteral("If it passes bytes as they are, write %1 in ports/COM%2 instead and set "
                        "the rate on the server.")
             .arg(raw.url())
             .arg(m_portNo));
}

void NetLine::succeed()
{
    m_deadline.stop();
    m_phase = Phase::Open;
    m_lastRefusal.clear();
    m_early.clear();
    if (m_wait) {
        m_wait->quit();
        return;
    }
    m_reopening = false;
    emit back();
}

void NetLine::fail(const QString& cause, const QString& hint, std::optional<OpenFailure> failure)
{
    m_deadline.stop();
    m_phase = Phase::Closed;
    m_socket.abort();
    if (m_wait) {
        m_failure = SerialError(QStringLiteral("%1: %2").arg(describe(), cause), hint, failure);
        m_wait->quit();
        return;
    }
    if (!m_reopening)
        return;
    // Silence while the server is away; a server that answers but will not
    // take the panel (busy, its device missing) is said once.
    if (failure && cause != m_lastRefusal) {
        m_lastRefusal = cause;
        // Short, as the serial line's. Busy after a loss is most often the
        // server keeping the lost connection (ser2net does for hours).
        emit reopenFailed(
            failure == OpenFailure::Busy
                ? QStringLiteral("COM%1 busy: the server may still hold the lost "
                                 "connection (%2)")
                      .arg(m_portNo)
                      .arg(printable(m_early).isEmpty()
                               ? QStringLiteral("it closes at once")
                               : QLatin1Char('"') + printable(m_early) + QLatin1Char('"'))
                : QStringLiteral("COM%1: %2").arg(m_portNo).arg(cause));
    }
    const auto since = std::chrono::steady_clock::now() - m_attemptStart;
    m_retry.start(
        std::max(std::chrono::milliseconds(0),
                 std::chrono::duration_cast<std::chrono::milliseconds>(kRetryPeriod - since)));
}

Line* orva_make_net_line(int portNo, const NetAddress& address)
{
    return new NetLine(portNo, address);
}

void NetLine::lose(const QString& reason)
{
    m_deadline.stop();
    m_phase = Phase::Closed;
    m_socket.abort();
    m_in.clear();
    m_reopening = true;
    m_lastRefusal.clear();
    m_retry.start(1s);
    emit lost(reason);
}

} // namespace orva
