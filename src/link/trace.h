#pragma once

#include <QByteArray>
#include <QString>

namespace orva
{

// The byte trace shown on the TxD and RxD lines: a leading space, then one
// piece per byte. ACK, CR and LF are named; 32..122 show as themselves; every
// other byte (controls, "{" and above, 8-bit codes) shows as "? ".
QString traceForm(const QByteArray& text);

} // namespace orva
