// SPDX-License-Identifier: GPL-3.0-or-later
#include "holdrepeat.h"

#include "link/exchange.h"

namespace orva
{

const QList<RepeatRow>& repeatTable()
{
    static const QList<RepeatRow> rows = {
        {1, "C09", QStringLiteral("Command1")},   {2, "C0A", QStringLiteral("Command2")},
        {3, "C3C", QStringLiteral("Command5")},   {4, "C3D", QStringLiteral("Command7")},
        {5, "C3B", QStringLiteral("Command9")},   {6, "C3A", QStringLiteral("Command8")},
        {7, "C20", QStringLiteral("Command30")},  {8, "C21", QStringLiteral("Command42")},
        {9, "C30", QStringLiteral("Command48")},  {10, "C31", QStringLiteral("Command49")},
        {11, "C8E", QStringLiteral("Command10")}, {12, "C8F", QStringLiteral("Command35")},
        {13, "C91", QStringLiteral("Command11")}, {14, "C90", QStringLiteral("Command15")},
    };
    return rows;
}

QByteArray repeatCommand(quint8 code)
{
    for (const RepeatRow& row : repeatTable())
        if (row.code == code)
            return row.command;
    return {};
}

HoldRepeat::HoldRepeat(Exchange* exchange, QObject* parent) : QObject(parent), m_exchange(exchange)
{
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    // A coarse timer drifts late on every tick: a 5 s hold would send 48
    // times instead of 51.
    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer1.setInterval(std::chrono::milliseconds(200));
    connect(&m_timer1, &QTimer::timeout, this, &HoldRepeat::Timer1_Timer);
}

void HoldRepeat::press(quint8 code)
{
    const QByteArray command = repeatCommand(code);
    if (command.isEmpty())
        return;
    RepeatCode = code;
    m_exchange->values()->CommandText = command + '\r';
    Cont_M_down();
}

void HoldRepeat::Cont_M_down()
{
    m_timer1.setInterval(kRepeatPeriod);
    m_exchange->Timer2()->setInterval(kHeldReplyTimeout);
    m_exchange->Timer4()->setInterval(kHeldDisplayClear);
    m_exchange->Hyouji(m_exchange->values()->CommandText, 1);
    m_timer1.start();
}

void HoldRepeat::Timer1_Timer()
{
    if (RepeatCode == 0)
        return;
    m_exchange->values()->CommandText = repeatCommand(RepeatCode) + '\r';
    m_exchange->Hyouji(m_exchange->values()->CommandText, 1);
    // Already running at its period: restarting here would add the handling
    // time to every period.
    if (!m_timer1.isActive())
        m_timer1.start();
}

void HoldRepeat::Cont_M_up()
{
    RepeatCode = 0;
    m_timer1.stop();
    m_exchange->Timer2()->stop();
    m_exchange->Timer4()->start();
    m_exchange->setTxd({});
    m_exchange->setRxd({});
    m_exchange->Timer2()->setInterval(Exchange::kReplyTimeout);
    m_exchange->Timer4()->setInterval(Exchange::kDisplayClear);
    m_exchange->resetCollection();
}

} // namespace orva
