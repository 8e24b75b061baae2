// SPDX-License-Identifier: GPL-3.0-or-later
#include "scriptsend.h"

#include "exchange.h"
#include "mscomm.h"
#include "program.h"
#include "trace.h"

#include <QEventLoop>

namespace orva
{

namespace
{

QString failure(const SerialError& e)
{
    QString text = QStringLiteral("orva-control: ") + e.reason() + QLatin1Char('\n');
    if (!e.hint().isEmpty())
        text += e.hint() + QLatin1Char('\n');
    return text;
}

} // namespace

ScriptSendResult scriptSend(qint16 portNo, quint8 baudCode, const QByteArray& command)
{
    ScriptSendResult result;
    MSComm comm;
    ProgramValues values;
    Exchange exchange(&comm, &values);
    exchange.setHoldOpenOnArrival(true);
    try {
        comm.setSettings(settingsText(baudCode));
        comm.setCommPort(portNo);
        comm.setPortOpen(true);
    } catch (const SerialError& e) {
        result.exitCode = 2;
        result.err = failure(e);
        return result;
    }

    QEventLoop loop;
    bool answered = false;
    QString rxd;
    QString status;
    QObject::connect(&exchange, &Exchange::answered, &loop, [&](const QString& text) {
        answered = !exchange.replyBuffer().isEmpty();
        rxd = text;
        status = exchange.status();
        loop.quit();
    });
    QObject::connect(&comm, &MSComm::portLost, &loop, [&](const QString& reason) {
        answered = !exchange.replyBuffer().isEmpty();
        rxd = answered ? exchange.rxd() : QStringLiteral(" X X X X");
        result.err = QStringLiteral("orva-control: port lost (%1)\n").arg(reason);
        loop.quit();
    });
    exchange.send(command);
    if (exchange.replyPending() != 1) {
        // The port took the command only in part, or not at all.
        comm.setPortOpen(false);
        result.exitCode = 2;
        result.err = QStringLiteral("orva-control:") + exchange.status() + QLatin1Char('\n');
        return result;
    }
    loop.exec();
    comm.stopReopening();
    comm.setPortOpen(false);

    result.exitCode = answered ? 0 : 1;
    result.out = QStringLiteral("TxD:") + traceForm(values.CommandText) + QLatin1Char('\n') +
                 QStringLiteral("RxD:") + rxd + QLatin1Char('\n');
    if (!status.isEmpty())
        result.out += QStringLiteral("STATUS:") + status + QLatin1Char('\n');
    return result;
}

} // namespace orva
