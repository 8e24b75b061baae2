// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange.h"

#include "mscomm.h"
#include "trace.h"

namespace orva
{

Exchange::Exchange(MSComm* comm, ProgramValues* values, QObject* parent)
    : QObject(parent), m_comm(comm), m_values(values)
{
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    m_timer2.setTimerType(Qt::PreciseTimer);
    m_timer2.setInterval(kReplyTimeout);
    m_timer4.setObjectName(QStringLiteral("Timer4"));
    m_timer4.setTimerType(Qt::PreciseTimer);
    m_timer4.setInterval(kDisplayClear);
    connect(&m_timer2, &QTimer::timeout, this, &Exchange::Timer2_Timer);
    connect(&m_timer4, &QTimer::timeout, this, &Exchange::Timer4_Timer);
    connect(m_comm, &MSComm::OnComm, this, &Exchange::MSComm1_OnComm);
    const auto lost = [this](const QString& reason) {
        tell(QStringLiteral(" Port lost (%1): press COM").arg(reason), true);
    };
    connect(m_comm, &MSComm::portLost, this, lost);
    // The reason names the port already: one notice, not one in another,
    // short enough for the STATUS line; COM's tooltip has the whole path.
    connect(m_comm, &MSComm::reopenFailed, this,
            [this](const QString& reason) { tell(QLatin1Char(' ') + reason, true); });
    connect(m_comm, &MSComm::portBack, this,
            [this](int portNo) { tell(QStringLiteral(" Port back: COM%1").arg(portNo), false); });
    connect(m_comm, &MSComm::opened, this, &Exchange::dropNotice);
    // A notice about the port in use ("back") is not true of a closed one.
    connect(m_comm, &MSComm::closed, this, &Exchange::dropNotice);
    // Shown while the window waits for a network port; the standing notice
    // is back when that is over.
    connect(m_comm, &MSComm::opening, this, [this](const QString& what) {
        setStatus(what.isEmpty() ? m_notice : QStringLiteral(" Connecting to %1").arg(what));
    });
}

void Exchange::send(const QByteArray& command)
{
    m_values->CommandText = command + '\r';
    Hyouji(m_values->CommandText, kSend);
}

void Exchange::Hyouji(const QByteArray& text, quint8 mode)
{
    if (mode == kSend) {
        try {
            m_comm->setOutput(text);
        } catch (const SerialError& e) {
            // Nothing of the exchange is touched: no trace, no time-outs. A
            // lost port says more than "no port".
            if (m_comm->PortOpen())
                tell(QStringLiteral(" Send failed: ") + e.reason(), false);
            else
                tell(m_trouble.isEmpty() ? QStringLiteral(" No port open: press COM") : m_trouble,
                     true);
            return;
        }
        // The STATUS line is the reply's from here on.
        dropNotice();
        setTxd(traceForm(text));
        // start() restarts a running timer, so a burst of sends keeps the
        // collection open until a time-out after the last one.
        m_timer2.start();
        ReplyPending = 1;
        m_timer4.start();
        return;
    }
    // The receive event passes ReplyBuffer itself, whose trace is kept as it
    // grows; any other text is traced whole.
    ReplyTrace other;
    const ReplyTrace* trace = &m_replyTrace;
    if (&text != &ReplyBuffer) {
        other.append(text);
        trace = &other;
    }
    setRxd(trace->text());
    if (const auto decoded = trace->decode(m_values->CommandText, m_status))
        setStatus(*decoded);
}

void Exchange::MSComm1_OnComm()
{
    if (m_comm->CommEvent() != MSComm::comEvReceive)
        return;
    const QByteArray input = m_comm->Input();
    const qsizetype room = kReplyBufferLimit - ReplyBuffer.size();
    const qsizetype kept = qMin(room, input.size());
    const QByteArrayView added = QByteArrayView(input).first(kept);
    ReplyBuffer += added;
    m_replyTrace.append(added);
    ReplyPending = 0;
    if (m_holdOpenOnArrival && ReplyBuffer.size() < kReplyBufferLimit) {
        m_timer2.start();
        m_timer4.start();
    }
    // At the bound nothing changed: the same trace, the same decoding.
    if (kept == 0 && !input.isEmpty())
        return;
    Hyouji(ReplyBuffer, kReceive);
    emit received(ReplyBuffer);
}

void Exchange::Timer2_Timer()
{
    if (ReplyPending == 1)
        setRxd(QStringLiteral(" X X X X"));
    emit answered(m_rxd);
    m_timer2.stop();
    resetCollection();
    ReplyPending = 0;
}

void Exchange::resetCollection()
{
    ReplyBuffer.clear();
    m_replyTrace.clear();
}

void Exchange::Timer4_Timer()
{
    setTxd({});
    setRxd({});
    setStatus(m_notice);
    m_timer4.stop();
}

void Exchange::setTxd(const QString& text)
{
    m_txd = text;
    emit txdChanged(text);
}

void Exchange::setRxd(const QString& text)
{
    m_rxd = text;
    emit rxdChanged(text);
}

void Exchange::tell(const QString& text, bool trouble)
{
    m_notice = text;
    setStatus(text);
    emit notice(text);
    const QString next = trouble ? text : QString();
    if (next != m_trouble) {
        m_trouble = next;
        emit troubleChanged(m_trouble);
    }
}

void Exchange::dropNotice()
{
    if (!m_notice.isEmpty() && m_status == m_notice)
        setStatus({});
    m_notice.clear();
    if (!m_trouble.isEmpty()) {
        m_trouble.clear();
        emit troubleChanged({});
    }
}

void Exchange::setStatus(const QString& text)
{
    m_status = text;
    emit statusChanged(text);
}

} // namespace orva
