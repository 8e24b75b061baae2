// SPDX-License-Identifier: GPL-3.0-or-later
#include "statusdecoder.h"

#include <QStringBuilder>

#include <algorithm>
#include <span>

namespace orva
{

namespace
{

// Patterns are written on the trace form: a received printable character k
// sits at position 2k, so " 0 0" means a reply beginning with "00".
struct Pattern {
    const char* rxd;
    const char* status;
};

constexpr Pattern powerPatterns[] = {
    {" 0 0", " Power ON"},
    {" 8 0", " Stand by"},
    {" 4 0", " Count down"},
    {" 2 0", " Cooling down"},
    {" 1 0", " Power abnormality"},
    {" 0 8", " Temperature abnormality"},
    {" 1 8", " Temperature abnormality"},
    {" 2 8", " Temperature abnormality"},
    {" 4 8", " Temperature abnormality"},
    {" 8 8", " Temperature abnormality"},
    {" 2 1", " Lamp Failure"},
    {" 8 1", " Lamp Failure"},
};

constexpr Pattern inputPatterns[] = {
    {" 1", " Input 1"}, {" 2", " Input 2"},         {" 3", " Input 3"},
    {" 4", " Wired"},   {" 5", " Wireless/Viewer"},
};

constexpr Pattern settingPatterns[] = {
    {" 1 1", " Normally"},
    {" 1 0", " Top/Bottom reversal"},
    {" 0 1", " Left/Right reversal"},
    {" 0 0", " Top/Bottom , Left/Right reversal"},
};

constexpr Pattern lampStatusPatterns[] = {
    {" 0 0 0   1 I", " Lamp is ON"},
    {" 0 0 0   1 O", " Lamp is OFF"},
    {" 0 0 0   1 X", " Lamp is failure"},
};

constexpr Pattern lampModePatterns[] = {
    {" 0 0 0   H I G H", " Lamp Mode is High"},
    {" 0 0 0   N O R M A L", " Lamp Mode is NORMAL"},
    {" 0 0 0   E C O", " Lamp Mode is Eco"},
};

constexpr int lampTimeLength = 6;
constexpr int temperatureLength = 18;

std::optional<QString> match(QStringView examined, std::span<const Pattern> patterns)
{
    for (const Pattern& p : patterns) {
        if (examined == QLatin1String(p.rxd))
            return QString::fromLatin1(p.status);
    }
    return std::nullopt;
}

// QStringView::first() requires n <= size; a short reply is examined whole.
QStringView head(QStringView text, qsizetype n)
{
    return text.first(std::min(n, text.size()));
}

// Everything up to the first blank of " [CR] " is shown, with leading zeros
// blanked so the hours read like a right-aligned counter.
QString lampTime(QStringView rxd, qsizetype rxdLength, const QString& current)
{
    QString out = current;
    bool leading = true;
    for (const QChar c : head(rxd, std::max<qsizetype>(rxdLength - 5, 0))) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('0'))
            leading = false;
        out += leading && c == QLatin1Char('0') ? QLatin1Char(' ') : c;
    }
    return out + QLatin1String(" Hour Use");
}

// Three five-character fields; the separators after the first two are
// skipped.
QString temperatures(QStringView rxd)
{
    const QLatin1String unit(" deg C ");
    return rxd.left(10) % unit % rxd.mid(13, 9) % unit % rxd.mid(25, 9) % unit;
}

} // namespace

std::optional<QString> decodeStatus(const QByteArray& commandText, QStringView rxdText,
                                    qsizetype rxdLength, int receivedLength,
                                    const QString& currentStatus)
{
    if (commandText == "CR0\r")
        return match(head(rxdText, 4), powerPatterns);
    if (commandText == "CR1\r")
        return match(head(rxdText, 2), inputPatterns);
    if (commandText == "CR4\r")
        return match(head(rxdText, 4), settingPatterns);
    // The length checks let these two run once per reply, on the arrival
    // that completes it, and not on a buffer holding more than one reply.
    if (commandText == "CR3\r") {
        if (receivedLength != lampTimeLength)
            return std::nullopt;
        return lampTime(rxdText, rxdLength, currentStatus);
    }
    if (commandText == "CR6\r") {
        if (receivedLength != temperatureLength)
            return std::nullopt;
        return temperatures(rxdText);
    }
    if (commandText == "CR LAMPSTS\r")
        return match(head(rxdText, 12), lampStatusPatterns);
    // Dropping the last seven characters removes " [CR] " and the blank
    // before it, so the pattern must reach right up to the carriage return.
    // Every pattern is shorter than kStatusHead: a text cut to it and longer
    // than a pattern cannot match.
    if (commandText == "CR LAMPMODE\r") {
        if (rxdLength < 7 || rxdLength - 7 > rxdText.size())
            return std::nullopt;
        return match(rxdText.first(rxdLength - 7), lampModePatterns);
    }
    return std::nullopt;
}

} // namespace orva
