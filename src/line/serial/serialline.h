// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line/line.h"
#include "line/portmap.h"
#include "line/serial/lineloss.h"
#include "line/serial/portfacts.h"
#include "line/serial/portwatch.h"

#include <QElapsedTimer>
#include <QSerialPort>

namespace orva
{

// A COM port that is a serial device on this machine: a UART, a USB adapter,
// a pseudo-terminal, reached through the user's ports/COMn link or the COM
// table. It notices a line gone from the port's own notifications and
// watches the path it opened through for the device to come back.
class SerialLine : public Line
{
    Q_OBJECT
  public:
    explicit SerialLine(int portNo, QObject* parent = nullptr);

    void open(qint32 baud) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    void setBaudRate(qint32 baud) override;
    void write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    QString describe() const override;
    bool isReopening() const override { return m_watch.isWatching(); }
    void stopReopening() override { m_watch.stop(); }

    // The watch for the lost port; tests look through it without waiting.
    PortWatch* watch() { return &m_watch; }

  private:
    // Opens the device the route leads to, if no other program holds it, and
    // holds it with a lock file and a flock of its own.
    void openRoute(const PortRoute& route);
    void reopen();
    // Says why what came back was not reopened, unless that was said last.
    void tell(const QString& notice);
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void lose(LossPath path);

    const int m_portNo;
    QSerialPort m_port;
    qint32 m_baud = 9600;
    bool m_losing = false;
    LossDetector m_detector;
    QElapsedTimer m_clock;
    PortRoute m_route;
    QString m_device;
    // What the last opening found, to reopen that device only.
    DeviceIdentity m_identity;
    QString m_identityDevice;
    // The links the last opening went through, to tell a far side that made
    // its link again from a number another program got since.
    QList<LinkHop> m_links;
    // Why the last opening failed, short enough for the STATUS line.
    QString m_notice;
    QString m_told;
    PortWatch m_watch;
};

} // namespace orva
