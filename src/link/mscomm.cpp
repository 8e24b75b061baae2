#include "mscomm.h"

#include "portmap.h"

#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <chrono>
#include <unistd.h>

namespace orva
{

namespace
{

using namespace std::chrono_literals;

// A read error that comes back within this time is the line gone, not noise.
constexpr auto kReadErrorRepeatWindow = 1000ms;
// Read notifications with nothing to read in a row: a hung-up line that
// reports no error.
constexpr int kEmptyReadLimit = 64;

struct LineSettings {
    qint32 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

LineSettings parseSettings(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool ok = parts.size() == 4;
    LineSettings s;
    if (ok)
        s.baud = parts[0].trimmed().toInt(&ok);
    ok = ok && s.baud > 0;
    if (ok) {
        const QString parity = parts[1].trimmed().toUpper();
        if (parity == QLatin1String("N"))
            s.parity = QSerialPort::NoParity;
        else if (parity == QLatin1String("E"))
            s.parity = QSerialPort::EvenParity;
        else if (parity == QLatin1String("O"))
            s.parity = QSerialPort::OddParity;
        else if (parity == QLatin1String("M"))
            s.parity = QSerialPort::MarkParity;
        else if (parity == QLatin1String("S"))
            s.parity = QSerialPort::SpaceParity;
        else
            ok = false;
    }
    if (ok) {
        const int bits = parts[2].trimmed().toInt(&ok);
        ok = ok && bits >= 5 && bits <= 8;
        s.dataBits = static_cast<QSerialPort::DataBits>(bits);
    }
    if (ok) {
        const QString stop = parts[3].trimmed();
        if (stop == QLatin1String("1"))
            s.stopBits = QSerialPort::OneStop;
        else if (stop == QLatin1String("1.5"))
            s.stopBits = QSerialPort::OneAndHalfStop;
        else if (stop == QLatin1String("2"))
            s.stopBits = QSerialPort::TwoStop;
        else
            ok = false;
    }
    if (!ok)
        throw SerialError(QStringLiteral("Invalid port settings \"%1\"").arg(text));
    return s;
}

QString hintFor(QSerialPort::SerialPortError error, const QString& path)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1 does not exist: is the adapter plugged in?").arg(path);
    case QSerialPort::PermissionError:
        // Qt reports a busy device and a refused one alike; the file mode
        // tells them apart.
        if (::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0)
            return QStringLiteral("Permission denied on %1: add your user to the dialout group "
                                  "(sudo adduser $USER dialout) and log in again.")
                .arg(path);
        return QStringLiteral("%1 is busy: another program holds it.").arg(path);
    default:
        return {};
    }
}

} // namespace

SerialError::SerialError(const QString& reason, const QString& hint)
    : std::runtime_error(reason.toStdString()), m_reason(reason), m_hint(hint)
{
}

MSComm::MSComm(QObject* parent) : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &MSComm::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &MSComm::onError);
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
    const LineSettings s = parseSettings(settings);
    m_settings = settings;
    // A change while open takes effect at once, as the classic control did.
    if (m_port.isOpen()) {
        m_port.setBaudRate(s.baud);
        m_port.setParity(s.parity);
        m_port.setDataBits(s.dataBits);
        m_port.setStopBits(s.stopBits);
    }
}

QString MSComm::devicePath() const
{
    return PortMap::devicePath(m_commPort);
}

void MSComm::setPortOpen(bool open)
{
    if (!open) {
        m_losing = false;
        if (m_port.isOpen())
            m_port.close();
        return;
    }
    if (m_port.isOpen())
        throw SerialError(QStringLiteral("The port is already open"));
    const LineSettings s = parseSettings(m_settings);
    const QString path = devicePath();
    m_port.setPortName(path);
    m_port.setBaudRate(s.baud);
    m_port.setParity(s.parity);
    m_port.setDataBits(s.dataBits);
    m_port.setStopBits(s.stopBits);
    m_losing = false;
    m_readErrors = 0;
    m_emptyReads = 0;
    if (!m_port.open(QIODevice::ReadWrite)) {
        const int systemError = errno;
        QSerialPort::SerialPortError error = m_port.error();
        QString reason = m_port.errorString();
        m_port.clearError();
        // Qt reports some failures (a missing device among them) without a
        // reason of their own.
        if (!QFileInfo::exists(path)) {
            error = QSerialPort::DeviceNotFoundError;
            reason = qt_error_string(ENOENT);
        } else if (error == QSerialPort::NoError || error == QSerialPort::UnknownError) {
            reason = qt_error_string(systemError);
        }
        throw SerialError(QStringLiteral("COM%1 (%2): %3").arg(m_commPort).arg(path, reason),
                          hintFor(error, path));
    }
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
        if (++m_emptyReads >= kEmptyReadLimit)
            losePort(QStringLiteral("the line stopped answering"));
        return;
    }
    m_emptyReads = 0;
    m_commEvent = comEvReceive;
    emit OnComm();
}

void MSComm::onError(QSerialPort::SerialPortError error)
{
    // Failures of open() itself are reported by setPortOpen.
    if (error == QSerialPort::NoError || m_losing || !m_port.isOpen())
        return;
    const QString reason = m_port.errorString();
    if (error == QSerialPort::ResourceError) {
        losePort(reason);
        return;
    }
    if (error == QSerialPort::ReadError) {
        if (m_readErrors > 0 &&
            std::chrono::milliseconds(m_readErrorClock.elapsed()) < kReadErrorRepeatWindow) {
            losePort(reason);
            return;
        }
        m_readErrors = 1;
        m_readErrorClock.start();
        m_port.clearError();
    }
}

void MSComm::losePort(const QString& reason)
{
    m_losing = true;
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
            emit portLost(reason);
        },
        Qt::QueuedConnection);
}

} // namespace orva
