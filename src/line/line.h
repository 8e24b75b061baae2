// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>
#include <stdexcept>

namespace orva
{

// Why a port would not open, where the cure differs.
enum class OpenFailure {
    Missing,
    Refused,
    Busy,
};

// A port that would not open or configure, with the port's own reason and a
// hint for the user where the reason has a usual cure.
class SerialError : public std::runtime_error
{
  public:
    SerialError(const QString& reason, const QString& hint = {},
                std::optional<OpenFailure> failure = std::nullopt)
        : std::runtime_error(reason.toStdString()), m_reason(reason), m_hint(hint),
          m_failure(failure)
    {
    }
    QString reason() const { return m_reason; }
    QString hint() const { return m_hint; }
    std::optional<OpenFailure> failure() const { return m_failure; }

  private:
    QString m_reason;
    QString m_hint;
    std::optional<OpenFailure> m_failure;
};

// The way bytes reach the projector for one COM port: a serial device on
// this machine, or a serial port on a network server. The serial control and
// the exchange talk to a Line and do not know which one they have.
//
// After a loss the line looks for its port to come back by itself and
// reopens it with the same rate, until stopReopening() or close().
class Line : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    // Opens at this rate with 8 data bits, no parity, 1 stop bit. Throws
    // SerialError when it cannot. A line that needs time to open (a network
    // connection) keeps the windows drawn meanwhile.
    virtual void open(qint32 baud) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Takes effect at once on an open line.
    virtual void setBaudRate(qint32 baud) = 0;
    // Writes every byte or throws SerialError.
    virtual void write(const QByteArray& bytes) = 0;
    // Every data byte that arrived and was not read yet.
    virtual QByteArray readAll() = 0;
    // The port as every message names it: "COM5 (/dev/ttyUSB0)",
    // "COM6 (…/ports/COM6 → /dev/ttyUSB0)", "COM7 (rfc2217://gateway:2217)".
    virtual QString describe() const = 0;

    virtual bool isReopening() const = 0;
    virtual void stopReopening() = 0;

  signals:
    // open() is under way and takes a while (what names the port); an empty
    // what when it is over, opened or not.
    void opening(const QString& what);
    // Data bytes arrived.
    void readyRead();
    // The line went away under an open port; it is closed now and being
    // watched for. The reason is in the user's words.
    void lost(const QString& reason);
    // The lost port is back and open again.
    void back();
    // Something came back where the port was, but it was not reopened; the
    // reason says what is there and what to do.
    void reopenFailed(const QString& reason);
};

} // namespace orva
