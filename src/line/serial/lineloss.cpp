// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/serial/lineloss.h"

#include <cerrno>

namespace orva
{

std::optional<LossPath> LossDetector::error(QSerialPort::SerialPortError error, qint64 nowMs)
{
    if (error == QSerialPort::ResourceError)
        return LossPath::ResourceError;
    if (error != QSerialPort::ReadError)
        return std::nullopt;
    const bool repeated =
        m_lastReadError && nowMs - *m_lastReadError < kReadErrorRepeatWindow.count();
    m_lastReadError = nowMs;
    if (repeated)
        return LossPath::RepeatedReadError;
    return std::nullopt;
}

std::optional<LossPath> LossDetector::emptyRead()
{
    if (++m_emptyReads >= kEmptyReadLimit)
        return LossPath::EmptyReads;
    return std::nullopt;
}

namespace
{

// errno values that Qt picks up as the reason though they are only left over
// from an earlier, harmless call.
bool isLeftover(const QString& reason)
{
    for (int code : {0, EAGAIN, ENOTTY, EINTR})
        if (reason == qt_error_string(code))
            return true;
    return reason.isEmpty();
}

} // namespace

QString lossReason(LossPath path, bool deviceGone, bool hungUp, const QString& systemReason)
{
    if (deviceGone)
        return QStringLiteral("device removed");
    if (hungUp || path == LossPath::EmptyReads || isLeftover(systemReason))
        return QStringLiteral("line hung up");
    return systemReason;
}

} // namespace orva
