#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <stdexcept>

namespace orva
{

// A port that would not open or configure, with the port's own reason and a
// hint for the user where the reason has a usual cure.
class SerialError : public std::runtime_error
{
  public:
    SerialError(const QString& reason, const QString& hint = {});
    QString reason() const { return m_reason; }
    QString hint() const { return m_hint; }

  private:
    QString m_reason;
    QString m_hint;
};

// The serial control the panel talks through: the port number and settings
// text of the classic communications control over a QSerialPort. Every
// arrival of bytes raises OnComm with CommEvent 2; Input returns all that
// arrived and was not read yet.
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

    // The device that the last open used (or would use).
    QString devicePath() const;

  signals:
    void OnComm();
    // The line went away under an open port (adapter pulled, far side hung
    // up); the port has been closed.
    void portLost(const QString& reason);

  private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void losePort(const QString& reason);

    QSerialPort m_port;
    qint16 m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    qint16 m_commEvent = 0;
    bool m_losing = false;
    int m_readErrors = 0;
    int m_emptyReads = 0;
    QElapsedTimer m_readErrorClock;
};

} // namespace orva
