// SPDX-License-Identifier: GPL-3.0-or-later
#include "projectorline.h"

#include <cstdio>

namespace orva
{

namespace
{

void log(const QString& text)
{
    std::fprintf(stderr, "orva-pjlink: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

ProjectorLine::ProjectorLine(qint16 portNo, quint8 baudCode, const pjlink::Identity& identity,
                             QObject* parent)
    : QObject(parent), m_portNo(portNo), m_baudCode(baudCode), m_identity(identity),
      m_exchange(&m_comm, &m_values)
{
    m_release.setSingleShot(true);
    m_release.setInterval(kRelease);
    connect(&m_release, &QTimer::timeout, this, &ProjectorLine::release);
    m_follow.setSingleShot(true);
    m_follow.setInterval(kFollowEvery);
    connect(&m_follow, &QTimer::timeout, this, &ProjectorLine::followPower);
    connect(&m_exchange, &Exchange::received, this, &ProjectorLine::onReceived);
    connect(&m_exchange, &Exchange::answered, this, &ProjectorLine::onAnswered);
    // The bridge does not wait for a lost port to come back: the next request
    // opens it afresh, or is told ERR3. Closed from the event loop, not from
    // inside the line's own signal.
    connect(
        &m_comm, &MSComm::portLost, this,
        [this](const QString& reason) {
            log(QStringLiteral("COM%1 lost (%2)").arg(m_portNo).arg(reason));
            m_comm.stopReopening();
            m_comm.setPortOpen(false);
        },
        Qt::QueuedConnection);
}

ProjectorLine::~ProjectorLine()
{
    m_comm.stopReopening();
    m_comm.setPortOpen(false);
}

void ProjectorLine::submit(const pjlink::Request& request, QObject* owner, Done done)
{
    m_queue.append(Work{request, owner, std::move(done)});
    if (!m_work)
        runNext();
}

void ProjectorLine::runNext()
{
    while (!m_work && !m_queue.isEmpty()) {
        Work work = m_queue.takeFirst();
        if (!work.owner)
            continue;
        m_work = std::move(work);
        m_release.stop();
        m_before = m_observed;
        m_job.emplace(m_work->request, m_identity, m_observed);
        step(m_job->start());
    }
}

void ProjectorLine::step(const pjlink::Job::Step& next)
{
    if (next.done()) {
        finish(next.answer);
        return;
    }
    if (!open()) {
        finish(pjlink::error(m_work->request, pjlink::Error::Unavailable));
        return;
    }
    m_exchange.resetCollection();
    m_command = next.command;
    m_exchange.send(next.command);
    // A write that failed started no reply window.
    if (!m_exchange.Timer2()->isActive()) {
        m_command.clear();
        finish(pjlink::error(m_work->request, pjlink::Error::Unavailable));
    }
}

void ProjectorLine::onReceived(const QByteArray& reply)
{
    if (m_command.isEmpty() || !pjlink::replyComplete(m_command, reply))
        return;
    const QByteArray whole = reply;
    m_exchange.Timer2()->stop();
    m_exchange.resetCollection();
    m_command.clear();
    step(m_job->replied(whole));
}

void ProjectorLine::onAnswered()
{
    if (m_command.isEmpty())
        return;
    // The reply window closed on a silent projector, or on a reply that never
    // reached its end. The exchange closes its collection after telling, so
    // the next command goes out from the event loop.
    m_command.clear();
    const QByteArray partial = m_exchange.replyBuffer();
    QMetaObject::invokeMethod(
        this, [this, partial] { step(m_job->replied(partial)); }, Qt::QueuedConnection);
}

void ProjectorLine::finish(const QByteArray& answer)
{
    const Work work = std::move(*m_work);
    m_work.reset();
    m_job.reset();
    for (const QByteArray& line : pjlink::notifications(m_before, m_observed))
        emit notification(line);
    // Warming up or cooling down: told when it is over.
    const bool moving = m_observed.power == "2" || m_observed.power == "3";
    if (work.request.command == "POWR" && work.request.param != "?")
        m_followReads = 0;
    if (moving && m_followReads < kFollowReads)
        m_follow.start();
    if (work.owner)
        work.done(answer);
    m_release.start();
    runNext();
}

bool ProjectorLine::open()
{
    if (m_comm.PortOpen())
        return true;
    try {
        m_comm.setSettings(settingsText(m_baudCode));
        m_comm.setCommPort(m_portNo);
        m_comm.setPortOpen(true);
    } catch (const SerialError& e) {
        // Said once for each new reason, not for every request refused.
        if (e.reason() != m_lastFailure)
            log(e.reason());
        m_lastFailure = e.reason();
        return false;
    }
    m_lastFailure.clear();
    return true;
}

void ProjectorLine::followPower()
{
    ++m_followReads;
    submit(pjlink::Request{'2', "POWR", "?"}, this, [](const QByteArray&) {});
}

void ProjectorLine::release()
{
    if (m_work)
        return;
    m_comm.stopReopening();
    m_comm.setPortOpen(false);
    emit released();
}

} // namespace orva
