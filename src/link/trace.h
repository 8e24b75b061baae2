// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace orva
{

// The byte trace shown on the TxD and RxD lines: a leading space, then one
// piece per byte. ACK, CR and LF are named; 32..122 show as themselves; every
// other byte (controls, "{" and above, 8-bit codes) shows as "? ".
QString traceForm(const QByteArray& text);

// Appends the pieces of bytes, without the leading space. Each piece depends
// on its own byte only, so the trace of a longer text is the trace of the
// shorter one followed by the pieces of the bytes added.
void appendTracePieces(QString& trace, QByteArrayView bytes);

} // namespace orva
