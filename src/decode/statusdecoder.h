// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace orva
{

// No rule reads further into the RxD text than this; beyond it only the
// text's length counts (the lamp mode's check).
constexpr qsizetype kStatusHead = 64;

// Decodes the reply to one of the seven status reads into STATUS-line words.
// commandText is the last command composed (CR included); rxdText is the
// trace form just put on the RxD line, whole or cut to its first kStatusHead
// characters, and rxdLength that trace form's whole length; receivedLength is
// the byte count of the reply buffer behind it and currentStatus what the
// STATUS line shows now (the lamp time is appended to it). Returns the new
// STATUS text, or nothing when the command is not decoded or no pattern
// matches.
std::optional<QString> decodeStatus(const QByteArray& commandText, QStringView rxdText,
                                    qsizetype rxdLength, int receivedLength,
                                    const QString& currentStatus);

inline std::optional<QString> decodeStatus(const QByteArray& commandText, const QString& rxdText,
                                           int receivedLength, const QString& currentStatus)
{
    return decodeStatus(commandText, rxdText, rxdText.size(), receivedLength, currentStatus);
}

} // namespace orva
