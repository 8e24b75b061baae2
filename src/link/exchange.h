// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "program.h"
#include "replytrace.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

namespace orva
{

class MSComm;

// One command out, its reply in: the TxD/RxD trace, the reply collection and
// the two time-outs around it. The texts of the three display lines live here
// so the windows only show them.
class Exchange : public QObject
{
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kReplyTimeout{500};
    static constexpr std::chrono::milliseconds kDisplayClear{1000};
    // The reply collection keeps at most this many bytes; what a projector
    // streams beyond it before the collection closes is dropped.
    static constexpr int kReplyBufferLimit = 32767;

    static constexpr quint8 kSend = 1;
    static constexpr quint8 kReceive = 2;

    Exchange(MSComm* comm, ProgramValues* values, QObject* parent = nullptr);

    // Sends (mode 1) or shows and decodes (any other mode) a text.
    void Hyouji(const QByteArray& text, quint8 mode);
    // Stores a command (CR added) and sends it: what every button does.
    void send(const QByteArray& command);

    void MSComm1_OnComm();
    void Timer2_Timer();
    void Timer4_Timer();

    QString txd() const { return m_txd; }
    QString rxd() const { return m_rxd; }
    QString status() const { return m_status; }
    void setTxd(const QString& text);
    void setRxd(const QString& text);
    void setStatus(const QString& text);

    QTimer* Timer2() { return &m_timer2; }
    QTimer* Timer4() { return &m_timer4; }
    ProgramValues* values() { return m_values; }

    // For a send from a script: each arrival holds the reply collection
    // (and the display) open for another time-out, so a reply in pieces is
    // read whole; once the reply bound is full, arrivals no longer do.
    void setHoldOpenOnArrival(bool hold) { m_holdOpenOnArrival = hold; }

    quint8 replyPending() const { return ReplyPending; }
    QByteArray replyBuffer() const { return ReplyBuffer; }
    // Drops what the reply collection holds; a send still waiting for its
    // reply stays pending.
    void resetCollection();

  signals:
    void txdChanged(const QString& text);
    void rxdChanged(const QString& text);
    void statusChanged(const QString& text);
    // Something the user must know that is not a reply: a send with no port
    // open, a lost port, a port back. It is on the STATUS line already.
    void notice(const QString& text);
    // The reply collection closed: what the RxD line shows of the answer,
    // " X X X X" when none came.
    void answered(const QString& rxd);
    // Bytes arrived: everything collected since the collection opened, so a
    // caller that knows its reply's end need not wait for the time-out.
    void received(const QByteArray& reply);
    // The notice that asks the user to act (press COM), or empty once the
    // port is open again.
    void troubleChanged(const QString& text);

  private:
    // Shows a notice on the STATUS line and passes it on. A notice stands on
    // the STATUS line through the display clearing until a send goes out,
    // the port is open again or the open port is closed.
    void tell(const QString& text, bool trouble);
    void dropNotice();

    MSComm* m_comm;
    ProgramValues* m_values;
    QTimer m_timer2;
    QTimer m_timer4;
    QString m_txd;
    QString m_rxd;
    QString m_status;
    QString m_notice;
    QString m_trouble;
    quint8 ReplyPending = 0;
    QByteArray ReplyBuffer;
    // The trace form of ReplyBuffer, kept in step with it.
    ReplyTrace m_replyTrace;
    bool m_holdOpenOnArrival = false;
};

} // namespace orva
