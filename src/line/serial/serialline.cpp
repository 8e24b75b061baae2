// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/serial/serialline.h"

#include "line/serial/locks.h"
#include "line/serial/portfacts.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <poll.h>
#include <sys/stat.h>

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
    // The real device, so the locks are the ones every other serial program
    // looks for.
    const QString device = route.device.isEmpty() ? route.through : route.device;
    m_device = device;
    const QString where = route.describe();
    const QString com = QStringLiteral("COM%1").arg(m_portNo);
    const auto fail = [this](const QString& notice, const SerialError& error) {
        m_notice = notice;
        throw error;
    };
    const auto busy = [&](const LockHolder& holder) {
        fail(holder.notice(com), holder.refusal(where));
    };
    const auto notSerial = [&] {
        fail(com + QStringLiteral(" not a serial device"),
             SerialError(QStringLiteral("%1 is not a serial device.").arg(where),
                         QStringLiteral("Point %1 at the adapter, or choose another port.")
                             .arg(route.link.isEmpty() ? com : route.link)));
    };
    struct stat st {
    };
    const QByteArray path = QFile::encodeName(device);
    if (route.device.isEmpty() || ::stat(path.constData(), &st) != 0) {
        fail(com + QStringLiteral(" does not exist"),
             SerialError(QStringLiteral("%1: %2").arg(where, qt_error_string(ENOENT)),
                         openHint(OpenFailure::Missing, where, {}), OpenFailure::Missing));
    }
    const QString driver = S_ISCHR(st.st_mode) ? serialDriver(st.st_rdev) : QString();
    if (driver.isEmpty())
        notSerial();
    // A pseudo-terminal's number goes to whichever program asks next: a link
    // older than the terminal it leads to was made for an earlier one, by a
    // program that ended without removing it (killed), and leads to another
    // program's line now.
    const QList<LinkHop> links = linkChain(route.through);
    if (driver == QLatin1String("pty_slave") && !links.isEmpty() &&
        links.last().ctimeNs < qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec) {
        fail(QStringLiteral("%1 stale link: %2").arg(com, device),
             SerialError(QStringLiteral("%1: the link is older than that pseudo-terminal: the "
                                        "program that made it has ended, and the number is "
                                        "another program's now.")
                             .arg(where),
                         QStringLiteral("Start the simulator or socat again, or point %1 at the "
                                        "right device.")
                             .arg(route.link.isEmpty() ? com : route.link),
                         OpenFailure::Missing));
    }
    DeviceLock lock(device);
    if (const std::optional<SerialError> error = lock.unlockable(where))
        fail(com + QStringLiteral(" cannot be locked"), *error);
    if (const LockHolder holder = lock.holder(); holder.holds())
        busy(holder);
    m_port.setPortName(device);
    m_port.setBaudRate(m_baud);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
    m_losing = false;
    m_detector.reset();
    const bool opened = m_port.open(QIODevice::ReadWrite);
    const int systemError = errno;
    if (opened) {
        if (const LockHolder holder = lock.hold(int(m_port.handle())); holder.holds()) {
            m_port.close();
            busy(holder);
        }
        m_identity = openedIdentity(int(m_port.handle()), device);
        m_identityDevice = device;
        m_links = links;
        return;
    }
    const QSerialPort::SerialPortError error = m_port.error();
    QString reason = m_port.errorString();
    m_port.clearError();
    if (!QFileInfo::exists(device)) {
        fail(com + QStringLiteral(" does not exist"),
             SerialError(QStringLiteral("%1: %2").arg(where, qt_error_string(ENOENT)),
                         openHint(OpenFailure::Missing, where, {}), OpenFailure::Missing));
    }
    if (error == QSerialPort::NoError || error == QSerialPort::UnknownError)
        reason = qt_error_string(systemError);
    if (error != QSerialPort::PermissionError)
        fail(QStringLiteral("%1 failed: %2").arg(com, reason),
             SerialError(QStringLiteral("%1: %2").arg(where, reason)));
    // Qt's own lock refused: a lock taken since the look above.
    if (classifyDenied(device) == OpenFailure::Busy)
        busy(lock.refusedBy());
    fail(com + QStringLiteral(" refused: permission denied"),
         SerialError(QStringLiteral("%1: %2").arg(where, qt_error_string(EACCES)),
                     openHint(OpenFailure::Refused, where, probeDevice(device)),
                     OpenFailure::Refused));
}

void SerialLine::reopen()
{
    if (m_port.isOpen())
        return;
    const PortRoute route = PortMap::routeThrough(m_portNo, m_watch.path());
    // Only the device that was lost comes back by itself: whatever else the
    // path leads to now waits for the user.
    if (!route.device.isEmpty()) {
        const DeviceIdentity now = readIdentity(route.device);
        // A pseudo-terminal has no identity of its own, and a lost one's
        // number is soon another program's: only a far side that made its
        // link again is back.
        const bool strangePty = now.isPty() && linkChain(route.through) == m_links;
        if (now.serial &&
            (strangePty || !sameDevice(m_identity, m_identityDevice, now, route.device))) {
            m_route = route;
            m_watch.offerEveryLook(false);
            tell(QStringLiteral("Another device at COM%1: %2").arg(m_portNo).arg(route.device));
            return;
        }
    }
    try {
        openRoute(route);
    } catch (const SerialError& e) {
        // A busy device frees itself without the path changing.
        m_watch.offerEveryLook(e.failure() == OpenFailure::Busy);
        tell(m_notice);
        return;
    }
    m_watch.stop();
    emit back();
}

void SerialLine::tell(const QString& notice)
{
    // A busy device is tried at every look: its notice is said once.
    if (notice == m_told)
        return;
    m_told = notice;
    emit reopenFailed(notice);
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
            m_told.clear();
            emit lost(reason);
        },
        Qt::QueuedConnection);
}

} // namespace orva
