// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line/line.h"
#include "line/net/netaddress.h"
#include "line/net/telnetcodec.h"

#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <optional>

class QEventLoop;

namespace orva
{

// A COM port that is a serial port on a network server: RFC 2217 (the rate
// and 8N1 set on the far port, telnet kept out of the data) or raw TCP.
//
// open() waits for the connection in a local event loop, so the windows stay
// drawn; close() ends the wait, and the opening fails. A lost connection is
// retried without blocking, 1 s after the loss and then an attempt every 2 s,
// until stopReopening() or close(). No lock file: the server decides who may
// use its port.
class NetLine : public Line
{
    Q_OBJECT
  public:
    // The longest wait for the server to take the connection and for it to
    // answer the telnet negotiation; together under 10 s.
    static constexpr std::chrono::seconds kConnectTimeout{5};
    static constexpr std::chrono::seconds kNegotiateTimeout{3};

    NetLine(int portNo, const NetAddress& address, QObject* parent = nullptr);

    void open(qint32 baud) override;
    void close() override;
    bool isOpen() const override { return m_phase == Phase::Open; }
    void setBaudRate(qint32 baud) override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    QString describe() const override;
    bool isReopening() const override { return m_reopening; }
    void stopReopening() override;

  private:
    enum class Phase { Closed, Connecting, Negotiating, Open };

    void attempt();
    void onConnected();
    void onReadable();
    void onError(QAbstractSocket::SocketError error);
    // Compares the server's answer to a setting with what was asked; a
    // difference fails the opening (false).
    bool checkAnswer(const QByteArray& payload);
    void silent();
    void notRfc2217();
    void succeed();
    void fail(const QString& cause, const QString& hint = {},
              std::optional<OpenFailure> failure = std::nullopt);
    void lose(const QString& reason);

    int m_portNo;
    NetAddress m_address;
    QTcpSocket m_socket;
    TelnetCodec m_codec;
    Phase m_phase = Phase::Closed;
    qint32 m_baud = 9600;
    QByteArray m_in;
    // What a server said before the port was ours ("Port already in use").
    QByteArray m_early;
    QTimer m_deadline;
    QTimer m_retry;
    // The rate and 8N1 went out; the server runs the port for us.
    bool m_configured = false;
    // Anything at all came from the server during this attempt.
    bool m_heard = false;
    // The settings the server answered, one bit per TelnetCodec::Setting.
    unsigned m_answered = 0;
    bool m_graceStarted = false;
    std::chrono::steady_clock::time_point m_attemptStart;
    bool m_reopening = false;
    QString m_lastRefusal;
    QEventLoop* m_wait = nullptr;
    std::optional<SerialError> m_failure;
};

// The network module's maker of lines (see setNetLineMaker()).
extern "C" Line* orva_make_net_line(int portNo, const NetAddress& address);

} // namespace orva
