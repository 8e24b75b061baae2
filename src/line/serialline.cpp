// SPDX-License-Identifier: GPL-3.0-or-later
#include "serialline.h"

#include "portfacts.h"

#include <QFileInfo>
#include <cerrno>
#include <poll.h>

namespace orva
{

namespace
{

// A tty whose far side has gone reports POLLHUP on its descriptor.
bool hungUp(const QSerialPort& port)
{
    pollfd p{int(port.handle()), POLLIN, 0};
    return p.fd >= 0 && ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
}

} // namespace

SerialLine::SerialLine(int portNo, QObject* parent) : Line(parent), m_portNo(portNo)
{
    m_clock.start();
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLine::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLine::onError);
    connect(&m_watch, &PortWatch::arrived, this, &SerialLine::reopen);
}

void SerialLine::open(qint32 baud)
{
    stopReopening();
    m_baud = baud;
    openRoute(PortMap::route(m_portNo));
}

void SerialLine::close()
{
    stopReopening();
    m_losing = false;
    if (m_port.isOpen())
        m_port.close();
}

void SerialLine::setBaudRate(qint32 baud)
{
    m_baud = baud;
    if (m_port.isOpen())
        m_port.setBaudRate(baud);
}

QString SerialLine::describe() const
{
    return m_route.through.isEmpty() ? PortMap::route(m_portNo).describe() : m_route.describe();
}

void SerialLine::openRoute(const PortRoute& route)
{
    m_route = route;
    // The real device, so the lock file is the one every other serial program
    // looks for.
    const QString device = route.device.isEmpty() ? route.through : route.device;
    m_device = device;
    m_port.setPortName(device);
    m_port.setBaudRate(m_baud);
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

void SerialLine::reopen()
{
    if (m_port.isOpen())
        return;
    try {
        openRoute(PortMap::routeThrough(m_portNo, m_watch.path()));
    } catch (const SerialError& e) {
        // A busy device frees itself without the path changing.
        m_watch.offerEveryLook(e.failure() == OpenFailure::Busy);
        emit reopenFailed(e.hint().isEmpty() ? e.reason() : e.hint());
        return;
    }
    m_watch.stop();
    emit back();
}

void SerialLine::write(const QByteArray& bytes)
{
    if (!m_port.isOpen())
        throw SerialError(QStringLiteral("No port is open"));
    if (m_port.write(bytes) != bytes.size()) {
        const QString reason = m_port.errorString();
        m_port.clearError();
        throw SerialError(reason);
    }
}

QByteArray SerialLine::readAll()
{
    return m_port.readAll();
}

void SerialLine::onReadyRead()
{
    if (m_losing)
        return;
    if (m_port.bytesAvailable() == 0) {
        if (const auto lost = m_detector.emptyRead())
            lose(*lost);
        return;
    }
    m_detector.data();
    emit readyRead();
}

void SerialLine::onError(QSerialPort::SerialPortError error)
{
    // Failures of open() itself are reported by open().
    if (error == QSerialPort::NoError || m_losing || !m_port.isOpen())
        return;
    if (const auto lost = m_detector.error(error, m_clock.elapsed())) {
        lose(*lost);
        return;
    }
    if (error == QSerialPort::ReadError)
        m_port.clearError();
}

void SerialLine::lose(LossPath path)
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
            emit lost(reason);
        },
        Qt::QueuedConnection);
}

} // namespace orva
