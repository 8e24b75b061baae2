// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers.h"

#include <cmath>
#include <limits>

namespace orva
{

namespace
{

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Length of the decimal number (sign, digits, fraction, exponent) that starts
// at pos, or 0 when none does.
qsizetype numberLength(const QString& text, qsizetype pos)
{
    qsizetype i = pos;
    const auto digitsFrom = [&](qsizetype from) {
        qsizetype j = from;
        while (j < text.size() && text.at(j).isDigit() && text.at(j).unicode() < 128)
            ++j;
        return j - from;
    };
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    const qsizetype whole = digitsFrom(i);
    i += whole;
    qsizetype fraction = 0;
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        fraction = digitsFrom(i + 1);
        if (whole > 0 || fraction > 0)
            i += 1 + fraction;
    }
    if (whole == 0 && fraction == 0)
        return 0;
    if (i < text.size() && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < text.size() && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-')))
            ++j;
        const qsizetype exponent = digitsFrom(j);
        if (exponent > 0)
            i = j + exponent;
    }
    return i - pos;
}

template <typename Int> std::optional<Int> roundedInto(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // default rounding mode is half to even
    if (rounded < double(std::numeric_limits<Int>::min()) ||
        rounded > double(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

} // namespace

double leadingNumber(const QString& text)
{
    qsizetype pos = 0;
    while (pos < text.size() && isBlank(text.at(pos)))
        ++pos;
    const qsizetype length = numberLength(text, pos);
    if (length == 0)
        return 0;
    return text.mid(pos, length).toDouble();
}

std::optional<qint16> leadingInt16(const QString& text)
{
    return roundedInto<qint16>(leadingNumber(text));
}

std::optional<quint8> leadingByte(const QString& text)
{
    return roundedInto<quint8>(leadingNumber(text));
}

std::optional<quint8> wholeTextByte(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || numberLength(trimmed, 0) != trimmed.size())
        return std::nullopt;
    return roundedInto<quint8>(trimmed.toDouble());
}

} // namespace orva
