// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

namespace orva
{

class Exchange;

struct RepeatRow {
    quint8 code;
    QByteArray command;
    QString button;
};

// The fourteen press-and-hold commands, by repeat code 1..14.
const QList<RepeatRow>& repeatTable();
QByteArray repeatCommand(quint8 code);

// Press-and-hold: one send at the press, then one every 100 ms until the
// release, with the reply time-out and display clearing shortened meanwhile.
class HoldRepeat : public QObject
{
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kRepeatPeriod{100};
    static constexpr std::chrono::milliseconds kHeldReplyTimeout{150};
    static constexpr std::chrono::milliseconds kHeldDisplayClear{200};

    explicit HoldRepeat(Exchange* exchange, QObject* parent = nullptr);

    // What a mouse press on a hold button does, whichever mouse button.
    void press(quint8 code);
    void Cont_M_down();
    void Cont_M_up();
    void Timer1_Timer();

    QTimer* Timer1() { return &m_timer1; }
    // The command being repeated, 0 when no button is held.
    quint8 repeatCode() const { return RepeatCode; }

  private:
    quint8 RepeatCode = 0;
    Exchange* m_exchange;
    QTimer m_timer1;
};

} // namespace orva
