// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pjlink/pjlink.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUdpSocket>

#include <chrono>

namespace orva
{

class ProjectorLine;

// PJLink on the network: controllers' TCP connections (the greeting, the
// authentication, one request at a time each, closed after 30 s without
// one), the class 2 search over UDP on the same address and port, and the
// status notifications.
class PjlinkServer : public QObject
{
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kIdleClose{30000};
    // Connections beyond this many are greeted "PJLINK ERR3" and closed.
    static constexpr int kMaxConnections = 16;
    // Bytes a connection may have sent and not had answered yet.
    static constexpr int kMaxPending = 1024;
    static constexpr int kMaxNotified = 8;
    // Searches answered in one second at most: an answer is longer than the
    // search, so a flood with forged senders is not passed on in full.
    static constexpr int kMaxSearchAnswers = 20;

    // An empty password lets every controller in.
    PjlinkServer(ProjectorLine* line, const QByteArray& password, QObject* parent = nullptr);

    // Throws nothing; false, with why in *error, when the address cannot be had.
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    // Status notifications also go to these, and the link-up goes to them at
    // start (to every interface's broadcast address when there are none).
    void setNotified(const QList<QHostAddress>& addresses) { m_fixedNotified = addresses; }
    void announce();
    int connections() const { return m_connections; }
    quint16 port() const { return m_port; }

  private:
    void accept();
    void onSearch();
    void notify(const QByteArray& line);
    void sendTo(const QByteArray& datagram, const QHostAddress& address);
    void remember(const QHostAddress& controller);

    ProjectorLine* m_line;
    QByteArray m_password;
    QTcpServer m_tcp;
    QUdpSocket m_udp;
    quint16 m_port = pjlink::kPort;
    int m_connections = 0;
    QList<QHostAddress> m_fixedNotified;
    // The controllers that called last, newest first.
    QList<QHostAddress> m_callers;
    QElapsedTimer m_searchSecond;
    int m_searchAnswers = 0;

    friend class Session;
};

} // namespace orva
