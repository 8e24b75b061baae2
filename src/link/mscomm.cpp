// SPDX-License-Identifier: GPL-3.0-or-later
#include "mscomm.h"

#include "line/lines.h"
#include "line/portmap.h"

#include <QFileInfo>
#include <QStringList>

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

} // namespace

MSComm::MSComm(QObject* parent) : QObject(parent) {}

MSComm::~MSComm() = default;

void MSComm::setCommPort(qint16 portNo)
{
    if (PortOpen())
        throw SerialError(QStringLiteral("The port is open"));
    // Any entry of the user's in ports/ makes a port: a link, dangling or
    // not, or a file that names a port elsewhere.
    const QFileInfo entry(PortMap::linkPath(portNo));
    if (PortMap::defaultDevice(portNo).isEmpty() && !entry.exists() && !entry.isSymLink())
        throw SerialError(QStringLiteral("Invalid port number %1").arg(portNo));
    m_commPort = portNo;
}

void MSComm::setSettings(const QString& settings)
{
    const qint32 baud = parseBaud(settings);
    m_settings = settings;
    // A change while open takes effect at once, as the classic control did.
    if (PortOpen())
        m_line->setBaudRate(baud);
}

void MSComm::stopReopening()
{
    if (!isReopening())
        return;
    m_line->stopReopening();
    // The lost port is given up: what was said about it no longer stands.
    emit closed();
}

void MSComm::setPortOpen(bool open)
{
    if (!open) {
        const bool wasOpen = PortOpen();
        // The line goes with its watch: nothing reopens behind the caller.
        if (m_line)
            m_line->close();
        m_line.reset();
        if (wasOpen)
            emit closed();
        return;
    }
    if (PortOpen())
        throw SerialError(QStringLiteral("The port is already open"));
    const qint32 baud = parseBaud(m_settings);
    m_line.reset();
    std::unique_ptr<Line> line = makeLine(m_commPort);
    connect(line.get(), &Line::opening, this, &MSComm::opening);
    m_opening = line.get();
    try {
        line->open(baud);
    } catch (...) {
        m_opening = nullptr;
        throw;
    }
    m_opening = nullptr;
    m_line = std::move(line);
    connect(m_line.get(), &Line::readyRead, this, &MSComm::onReadyRead);
    connect(m_line.get(), &Line::lost, this, &MSComm::portLost);
    connect(m_line.get(), &Line::back, this, [this] { emit portBack(m_commPort); });
    connect(m_line.get(), &Line::reopenFailed, this, &MSComm::reopenFailed);
    emit opened();
}

void MSComm::abortOpening()
{
    if (m_opening)
        m_opening->close();
}

void MSComm::setOutput(const QByteArray& text)
{
    if (!PortOpen())
        throw SerialError(QStringLiteral("No port is open"));
    m_line->write(text);
}

QByteArray MSComm::Input()
{
    m_commEvent = 0;
    return m_line ? m_line->readAll() : QByteArray();
}

void MSComm::onReadyRead()
{
    m_commEvent = comEvReceive;
    emit OnComm();
}

} // namespace orva
