#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace orva
{

// Decodes the reply to one of the seven status reads into STATUS-line words.
// commandText is the last command composed (CR included), rxdText the trace
// form just put on the RxD line, receivedLength the byte count of the reply
// buffer behind it and currentStatus what the STATUS line shows now (the lamp
// time is appended to it). Returns the new STATUS text, or nothing when the
// command is not decoded or no pattern matches.
std::optional<QString> decodeStatus(const QByteArray& commandText, const QString& rxdText,
                                    int receivedLength, const QString& currentStatus);

} // namespace orva
