// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSerialPort>
#include <QString>
#include <chrono>
#include <optional>

namespace orva
{

// How an open port's line was found gone.
enum class LossPath {
    ResourceError,
    RepeatedReadError,
    EmptyReads,
};

// Decides from the port's notifications alone whether the line is gone: a
// resource error at once, a read error that comes back within a second, or a
// run of read notifications with nothing to read (a hung-up tty that reports
// no error). Times are the caller's milliseconds, so no clock is needed.
class LossDetector
{
  public:
    static constexpr std::chrono::milliseconds kReadErrorRepeatWindow{1000};
    static constexpr int kEmptyReadLimit = 64;

    std::optional<LossPath> error(QSerialPort::SerialPortError error, qint64 nowMs);
    std::optional<LossPath> emptyRead();
    void data() { m_emptyReads = 0; }
    void reset() { *this = {}; }

  private:
    std::optional<qint64> m_lastReadError;
    int m_emptyReads = 0;
};

// What the user reads in " Port lost (...)": what happened, not the errno
// that happened to be left over when Qt noticed. systemReason is Qt's text,
// used only when the device is still there and did not hang up.
QString lossReason(LossPath path, bool deviceGone, bool hungUp, const QString& systemReason);

} // namespace orva
