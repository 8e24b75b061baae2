#include "trace.h"

namespace orva
{

QString traceForm(const QByteArray& text)
{
    QString out;
    out.reserve(1 + text.size() * 2);
    out += QLatin1Char(' ');
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code == 6)
            out += QLatin1String(" [ACK] ");
        else if (code == 13)
            out += QLatin1String(" [CR] ");
        else if (code == 10)
            out += QLatin1String(" [LF]  ");
        else if (code >= 32 && code <= 122) {
            out += QLatin1Char(c);
            out += QLatin1Char(' ');
        } else
            out += QLatin1String("? ");
    }
    return out;
}

} // namespace orva
