// SPDX-License-Identifier: GPL-3.0-or-later
#include "scriptsend.h"

#include "exchange.h"
#include "mscomm.h"
#include "program.h"
#include "shell/endsignals.h"
#include "trace.h"

#include <QEventLoop>

#include <cstring>

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
    QEventLoop loop;
    // Cut short (Ctrl+C, timeout, a service stopped), the send still closes
    // the port, so its lock file and flock go, and says it was interrupted.
    int interrupted = 0;
    const EndSignals endSignals([&](int signal) {
        interrupted = signal;
        loop.quit();
    });
    const auto interruptedResult = [&] {
        comm.stopReopening();
        comm.setPortOpen(false);
        ScriptSendResult cut;
        cut.exitCode = 128 + interrupted;
        cut.err = QStringLiteral("orva-control: interrupted by SIG%1\n")
                      .arg(QLatin1String(::sigabbrev_np(interrupted)));
        return cut;
    };
    try {
        comm.setSettings(settingsText(baudCode));
        comm.setCommPort(portNo);
        // A network port is connected to in a loop of its own, where a
        // signal is heard too.
        comm.setPortOpen(true);
    } catch (const SerialError& e) {
        if (interrupted)
            return interruptedResult();
        result.exitCode = 2;
        result.err = failure(e);
        return result;
    }
    if (interrupted)
        return interruptedResult();

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
    if (interrupted)
        return interruptedResult();
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
