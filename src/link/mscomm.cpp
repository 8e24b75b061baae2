// SPDX-License-Identifier: GPL-3.0-or-later
#include "mscomm.h"

#include "portfacts.h"

#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <poll.h>

namespace orva
{

namespace
{

// Only no parity, 8 data bits and 1 stop bit are ever asked for; the rate is
// what varies.
qint32 parseBaud(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool ok = parts.size() == 4 && parts[1].trimmed().toUpper() == QLatin1String("N") &&
              parts[2].trimmed() == QLatin1String("8") && parts[3].trimmed() == QLatin1String("1");
    const qint32 baud = ok ? parts[0].trimmed().toInt(&ok) : 0;
    if (!ok || baud <= 0)
        throw SerialError(QStringLiteral("Invalid port settings \"%1\"").arg(text));
    return baud;
}

// A tty whose far side has gone reports POLLHUP on its descriptor.
bool hungUp(const QSerialPort& port)
{
    pollfd p{int(port.handle()), POLLIN, 0};
    return p.fd >= 0 && ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
}

} // namespace

MSComm::MSComm(QObject* parent) : QObject(parent)
{
    m_clock.start();
    connect(&m_port, &QSerialPort::readyRead, this, &MSComm::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &MSComm::onError);
    connect(&m_watch, &PortWatch::arrived, this, &MSComm::reopen);
}

void MSComm::setCommPort(qint16 portNo)
{
    if (m_port.isOpen())
        throw SerialError(QStringLiteral("The port is open"));
    if (PortMap::defaultDevice(portNo).isEmpty() && !QFileInfo::exists(PortMap::linkPath(portNo)))
        throw SerialError(QStringLiteral("Invalid port number %1").arg(portNo));
    m_commPort = portNo;
}

void MSComm::setSettings(const QString& settings)
{
    const qint32 baud = parseBaud(settings);
    m_settings = settings;
    // A change while open takes effect at once, as the classic control did.
    if (m_port.isOpen())
        m_port.setBaudRate(baud);
}

void MSComm::stopReopening()
{
    m_watch.stop();
}

void MSComm::setPortOpen(bool open)
{
    stopReopening();
    if (!open) {
        m_losing = false;
        if (m_port.isOpen())
            m_port.close();
        return;
    }
    if (m_port.isOpen())
        throw SerialError(QStringLiteral("The port is already open"));
    this->open(PortMap::route(m_commPort));
    emit opened();
}

void MSComm::open(const PortRoute& route)
{
    const qint32 baud = parseBaud(m_settings);
    m_route = route;
    // The real device, so the lock file is the one every other serial program
    // looks for.
    const QString device = route.device.isEmpty() ? route.through : route.device;
    m_device = device;
    m_port.setPortName(device);
    m_port.setBaudRate(baud);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
    m_losing = false;
    m_detector.reset();
    if (m_port.open(QIODevice::ReadWrite))
        return;
    const int systemError = errno;
    const QSerialPort::SerialPortError error = m_port.error();
    QString reason = m_port.errorString();
    m_port.clearError();
    const QString where = route.describe();
    // Qt reports some failures (a missing device among them) without a
    // reason of their own.
    if (route.device.isEmpty() || !QFileInfo::exists(device)) {
        throw SerialError(QStringLiteral("%1: %2").arg(where, qt_error_string(ENOENT)),
                          openHint(OpenFailure::Missing, where, {}), OpenFailure::Missing);
    }
    if (error == QSerialPort::NoError || error == QSerialPort::UnknownError)
        reason = qt_error_string(systemError);
    if (error != QSerialPort::PermissionError)
        throw SerialError(QStringLiteral("%1: %2").arg(where, reason));
    const OpenFailure failure = classifyDenied(device);
    throw SerialError(QStringLiteral("%1: %2").arg(where, reason),
                      openHint(failure, where, probeDevice(device)), failure);
}

void MSComm::reopen()
{
    if (m_port.isOpen())
        return;
    try {
        open(PortMap::routeThrough(m_commPort, m_watch.path()));
    } catch (const SerialError& e) {
        // A busy device frees itself without the path changing.
        m_watch.offerEveryLook(e.failure() == OpenFailure::Busy);
        emit reopenFailed(e.hint().isEmpty() ? e.reason() : e.hint());
        return;
    }
    m_watch.stop();
    emit portBack(m_commPort);
}

void MSComm::setOutput(const QByteArray& text)
{
    if (!m_port.isOpen())
        throw SerialError(QStringLiteral("No port is open"));
    if (m_port.write(text) != text.size()) {
        const QString reason = m_port.errorString();
        m_port.clearError();
        throw SerialError(reason);
    }
}

QByteArray MSComm::Input()
{
    m_commEvent = 0;
    return m_port.readAll();
}

void MSComm::onReadyRead()
{
    if (m_losing)
        return;
    if (m_port.bytesAvailable() == 0) {
        if (const auto lost = m_detector.emptyRead())
            losePort(*lost);
        return;
    }
    m_detector.data();
    m_commEvent = comEvReceive;
    emit OnComm();
}

void MSComm::onError(QSerialPort::SerialPortError error)
{
    // Failures of open() itself are reported by open().
    if (error == QSerialPort::NoError || m_losing || !m_port.isOpen())
        return;
    if (const auto lost = m_detector.error(error, m_clock.elapsed())) {
        losePort(*lost);
        return;
    }
    if (error == QSerialPort::ReadError)
        m_port.clearError();
}

void MSComm::losePort(LossPath path)
{
    m_losing = true;
    const QString reason =
        lossReason(path, !QFileInfo::exists(m_device), hungUp(m_port), m_port.errorString());
    // Closing from inside the port's own notification is not safe; the flag
    // keeps the storm of further errors from doing anything meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this, reason] {
            if (!m_losing)
                return;
            m_port.clearError();
            m_port.close();
            m_losing = false;
            m_watch.watch(m_route.through);
            emit portLost(reason);
        },
        Qt::QueuedConnection);
}

} // namespace orva
