// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/exchange.h"
#include "link/mscomm.h"
#include "link/program.h"
#include "pjlink/pjlink.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace orva
{

// The projector's serial line, shared: PJLink requests from every controller
// run one at a time, each serial command through the panel's exchange. The
// line is opened, with the panel's locks, when a request needs it and let go
// once no request has come for kRelease, so the panel and --send can use the
// projector in between. While another program holds the line a request is
// answered ERR3 at once.
class ProjectorLine : public QObject
{
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kRelease{2000};
    // After a power command, the power state is read this often until it has
    // arrived (on or stand-by), at most kFollowReads times, so its
    // notification is told; the line is let go in between.
    static constexpr std::chrono::milliseconds kFollowEvery{5000};
    static constexpr int kFollowReads = 36;
    using Done = std::function<void(const QByteArray& answer)>;

    ProjectorLine(qint16 portNo, quint8 baudCode, const pjlink::Identity& identity,
                  QObject* parent = nullptr);
    ~ProjectorLine() override;

    // Runs the request after those before it; done gets the answer unless
    // owner is gone by then.
    void submit(const pjlink::Request& request, QObject* owner, Done done);
    bool isOpen() const { return m_comm.PortOpen(); }

  signals:
    // A class 2 status notification line: something the bridge saw change.
    void notification(const QByteArray& line);
    void released();

  private:
    struct Work {
        pjlink::Request request;
        QPointer<QObject> owner;
        Done done;
    };

    void runNext();
    void step(const pjlink::Job::Step& step);
    void onReceived(const QByteArray& reply);
    void onAnswered();
    void finish(const QByteArray& answer);
    bool open();
    void release();
    void followPower();

    qint16 m_portNo;
    quint8 m_baudCode;
    pjlink::Identity m_identity;
    pjlink::Observed m_observed;
    MSComm m_comm;
    ProgramValues m_values;
    Exchange m_exchange;
    QTimer m_release;
    QTimer m_follow;
    int m_followReads = 0;
    QList<Work> m_queue;
    std::optional<Work> m_work;
    std::optional<pjlink::Job> m_job;
    pjlink::Observed m_before;
    // The serial command waiting for its reply.
    QByteArray m_command;
    QString m_lastFailure;
};

} // namespace orva
