// SPDX-License-Identifier: GPL-3.0-or-later
#include "replytrace.h"

#include "decode/statusdecoder.h"
#include "trace.h"

namespace orva
{

void ReplyTrace::append(QByteArrayView bytes)
{
    appendTracePieces(m_text, bytes);
    m_received += bytes.size();
}

void ReplyTrace::clear()
{
    m_text = QStringLiteral(" ");
    m_received = 0;
}

std::optional<QString> ReplyTrace::decode(const QByteArray& commandText,
                                          const QString& currentStatus) const
{
    return decodeStatus(commandText, QStringView(m_text).first(qMin(m_text.size(), kStatusHead)),
                        m_text.size(), int(m_received), currentStatus);
}

} // namespace orva
