// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace orva
{

// What a send from a script prints and how it ends.
struct ScriptSendResult {
    // 0: an answer came; 1: none came; 2: the port would not open or take
    // the command.
    int exitCode = 0;
    // The TxD and RxD lines, and the STATUS line for a status read.
    QString out;
    // Why the port would not open, with its cure.
    QString err;
};

// Opens the port as the panel does (its lock rules included), sends command
// and a carriage return as a console's SEND does and collects the answer in
// the panel's 500 ms reply window, which each arrival holds open for another
// 500 ms, so a stream is read until it stops or fills the reply bound. Runs
// its own event loop; needs a QCoreApplication.
ScriptSendResult scriptSend(qint16 portNo, quint8 baudCode, const QByteArray& command);

} // namespace orva
