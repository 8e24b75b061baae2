// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace orva
{

// The stored texts are read the way the panel always read them: blanks
// skipped, the decimal number that begins the text taken (a text that does
// not begin with one reads as 0), then rounded half to even.
double leadingNumber(const QString& text);

// Rounded to a whole number, half to even; nothing when the result does not
// fit a signed 16-bit integer.
std::optional<qint16> leadingInt16(const QString& text);

// The same for an unsigned byte (the stored bit-rate code).
std::optional<quint8> leadingByte(const QString& text);

// The OTHER box: the whole text must be a number (blanks around it allowed),
// rounded half to even, from 0 to 255; anything else is nothing.
std::optional<quint8> wholeTextByte(const QString& text);

} // namespace orva
