// SPDX-License-Identifier: GPL-3.0-or-later
#include "trace.h"

namespace orva
{

QString traceForm(const QByteArray& text)
{
    QString out;
    out.reserve(1 + text.size() * 2);
    out += QLatin1Char(' ');
    appendTracePieces(out, text);
    return out;
}

void appendTracePieces(QString& trace, QByteArrayView bytes)
{
    for (const char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        if (code == 6)
            trace += QLatin1String(" [ACK] ");
        else if (code == 13)
            trace += QLatin1String(" [CR] ");
        else if (code == 10)
            trace += QLatin1String(" [LF]  ");
        else if (code >= 32 && code <= 122) {
            trace += QLatin1Char(c);
            trace += QLatin1Char(' ');
        } else
            trace += QLatin1String("? ");
    }
}

} // namespace orva
