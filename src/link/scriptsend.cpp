// SPDX-License-Identifier: GPL-3.0-or-later
#include "scriptsend.h"

#include "exchange.h"
#include "mscomm.h"
#include "program.h"
#include "replytrace.h"
#include "trace.h"

#include <QEventLoop>
#include <QTimer>

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
    const QByteArray commandText = command + '\r';
    try {
        comm.setSettings(settingsText(baudCode));
        comm.setCommPort(portNo);
        comm.setPortOpen(true);
        comm.setOutput(commandText);
    } catch (const SerialError& e) {
        result.exitCode = 2;
        result.err = failure(e);
        return result;
    }

    QEventLoop loop;
    QTimer window;
    window.setSingleShot(true);
    window.setTimerType(Qt::PreciseTimer);
    window.setInterval(Exchange::kReplyTimeout);
    QObject::connect(&window, &QTimer::timeout, &loop, &QEventLoop::quit);
    ReplyTrace reply;
    QString status;
    QObject::connect(&comm, &MSComm::OnComm, &loop, [&] {
        if (comm.CommEvent() != MSComm::comEvReceive)
            return;
        const QByteArray input = comm.Input();
        const qsizetype room = Exchange::kReplyBufferLimit - reply.received();
        reply.append(QByteArrayView(input).first(qMin(room, input.size())));
        // Decoded after every arrival, as the panel does: the lamp time
        // builds on what the STATUS line already says.
        if (const auto decoded = reply.decode(commandText, status))
            status = *decoded;
        if (reply.received() >= Exchange::kReplyBufferLimit)
            loop.quit();
        else
            window.start();
    });
    QObject::connect(&comm, &MSComm::portLost, &loop, [&](const QString& reason) {
        result.err = QStringLiteral("orva-control: port lost (%1)\n").arg(reason);
        loop.quit();
    });
    window.start();
    loop.exec();
    comm.stopReopening();
    comm.setPortOpen(false);

    const bool answered = reply.received() > 0;
    result.exitCode = answered ? 0 : 1;
    result.out = QStringLiteral("TxD:") + traceForm(commandText) + QLatin1Char('\n') +
                 QStringLiteral("RxD:") + (answered ? reply.text() : QStringLiteral(" X X X X")) +
                 QLatin1Char('\n');
    if (!status.isEmpty())
        result.out += QStringLiteral("STATUS:") + status + QLatin1Char('\n');
    return result;
}

} // namespace orva
