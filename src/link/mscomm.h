// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line/line.h"
#include "lineloss.h"
#include "portfacts.h"
#include "portmap.h"
#include "portwatch.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>


namespace orva
{

// The serial control the panel talks through: the port number and settings
// text of the classic communications control over a QSerialPort. Every
// arrival of bytes raises OnComm with CommEvent 2; Input returns all that
// arrived and was not read yet.
//
// A lost line closes the port; the control then watches the path it opened
// through and reopens it with the same settings when a device is back there,
// until it is told otherwise (an explicit open or close, stopReopening()).
class MSComm : public QObject
{
    Q_OBJECT
  public:
    static constexpr qint16 comEvReceive = 2;

    explicit MSComm(QObject* parent = nullptr);

    qint16 CommPort() const { return m_commPort; }
    void setCommPort(qint16 portNo);

    QString Settings() const { return m_settings; }
    void setSettings(const QString& settings);

    bool PortOpen() const { return m_port.isOpen(); }
    void setPortOpen(bool open);

    void setOutput(const QByteArray& text);
    qint16 CommEvent() const { return m_commEvent; }
    QByteArray Input();

    bool isReopening() const { return m_watch.isWatching(); }
    void stopReopening();
    PortWatch* watch() { return &m_watch; }

  signals:
    void OnComm();
    // setPortOpen(true) opened the port.
    void opened();
    // The line went away under an open port (adapter pulled, far side hung
    // up); the port has been closed and is being watched for.
    void portLost(const QString& reason);
    // The watched port came back and is open again.
    void portBack(int portNo);
    // The watched path leads to a device again, but it would not open.
    void reopenFailed(const QString& reason);

  private:
    void open(const PortRoute& route);
    void reopen();
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void losePort(LossPath path);

    QSerialPort m_port;
    qint16 m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    qint16 m_commEvent = 0;
    bool m_losing = false;
    LossDetector m_detector;
    QElapsedTimer m_clock;
    PortRoute m_route;
    QString m_device;
    PortWatch m_watch;
};

} // namespace orva
