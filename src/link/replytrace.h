// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace orva
{

// The RxD text of the reply collection, kept as its bytes arrive. The trace
// form of a longer buffer is the trace of the shorter one followed by the new
// bytes' pieces, and the decoding reads only the first few dozen characters,
// so an arrival costs what it brings, not what was received before it.
class ReplyTrace
{
  public:
    // Bytes that joined the reply buffer.
    void append(QByteArrayView bytes);
    // The collection closed: the buffer is empty again.
    void clear();

    // The trace form of every byte appended since the last clear().
    const QString& text() const { return m_text; }
    qsizetype received() const { return m_received; }

    // The status decoding of text() against commandText.
    std::optional<QString> decode(const QByteArray& commandText,
                                  const QString& currentStatus) const;

  private:
    QString m_text = QStringLiteral(" ");
    qsizetype m_received = 0;
};

} // namespace orva
