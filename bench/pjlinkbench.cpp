// SPDX-License-Identifier: GPL-3.0-or-later
#include "pjlinkbench.h"

#include "bridge/pjlinkserver.h"
#include "bridge/projectorline.h"
#include "farside.h"
#include "line/portmap.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "procstat.h"
#include "stats.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace orva::bench
{

namespace
{

using namespace std::chrono_literals;

constexpr int kBlocks = 4;
constexpr int kPerBlock = 50;
constexpr int kFirstRequests = 5;
constexpr auto kIdle = 5s;
// Connections that send junk, over-long lines or nothing, in rounds, with
// the resident memory after each round.
constexpr int kAbuseRounds = 3;
constexpr int kAbusePerRound = 500;

void runFor(std::chrono::milliseconds d)
{
    QEventLoop loop;
    QTimer::singleShot(d, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() holds or a few seconds pass.
bool runUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 1000 && !done(); ++i)
        runFor(5ms);
    return done();
}

// A controller in a thread of its own with blocking sockets, so its
// timestamps do not wait for the bridge's event loop.
class Controller
{
  public:
    explicit Controller(quint16 port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
            throw std::runtime_error(std::string("cannot connect to the bridge: ") +
                                     std::strerror(errno));
    }
    ~Controller() { ::close(m_fd); }
    QByteArray line()
    {
        QByteArray text;
        char c = 0;
        while (::read(m_fd, &c, 1) == 1 && c != '\r')
            text += c;
        return text;
    }
    // The round trip of one request, in a thread while the caller's event
    // loop serves the bridge.
    double roundTrip(const QByteArray& request, QByteArray* answer)
    {
        std::atomic<bool> done{false};
        double took = 0;
        std::thread client([&] {
            const Clock::time_point t0 = Clock::now();
            if (!request.isEmpty()) [[maybe_unused]]
                const ssize_t n = ::write(m_fd, request.constData(), request.size());
            *answer = line();
            answeredAt = Clock::now();
            took = toMs(answeredAt - t0);
            done = true;
        });
        runUntil([&] { return done.load(); });
        client.join();
        return took;
    }

    Clock::time_point answeredAt;
    int fd() const { return m_fd; }

  private:
    int m_fd = -1;
};

std::chrono::nanoseconds cpuTime()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// The projector's own answer as the same process sees it on the same line:
// CR0 out through the exchange, until its reply is complete.
QList<double> directRoundTrips(int portNo, int count)
{
    MSComm comm;
    ProgramValues values;
    Exchange exchange(&comm, &values);
    comm.setSettings(settingsText(192));
    comm.setCommPort(qint16(portNo));
    comm.setPortOpen(true);
    QList<double> took;
    bool complete = false;
    Clock::time_point completeAt;
    QObject::connect(&exchange, &Exchange::received, [&](const QByteArray& reply) {
        completeAt = Clock::now();
        complete = reply.contains('\r');
    });
    for (int i = 0; i < count; ++i) {
        complete = false;
        exchange.Timer2()->stop();
        exchange.resetCollection();
        const Clock::time_point t0 = Clock::now();
        exchange.send("CR0");
        if (!runUntil([&] { return complete; }))
            throw std::runtime_error("no answer to CR0 on the direct line");
        took << toMs(completeAt - t0);
        runFor(10ms);
    }
    comm.setPortOpen(false);
    return took;
}

// One round of controllers that misbehave, from a thread while the caller's
// event loop serves the bridge: binary junk, a line of 4 KiB, a request
// left unfinished; each closes at once.
int abuse(quint16 port)
{
    int refused = 0;
    std::atomic<bool> done{false};
    std::thread client([&] {
        const QByteArray junk(4096, '\xff'), longLine = "%1NAME " + QByteArray(4096, 'x') + '\r';
        for (int i = 0; i < kAbusePerRound; ++i) {
            try {
                Controller c(port);
                const QByteArray& text = i % 3 == 0 ? junk : i % 3 == 1 ? longLine : "%1POWR";
                [[maybe_unused]] const ssize_t n = ::write(c.fd(), text.constData(), text.size());
            } catch (const std::runtime_error&) {
                // The machine's own limits (a backlog, ports in TIME_WAIT):
                // counted, not the bridge's doing.
                ++refused;
            }
        }
        done = true;
    });
    // However long the machine takes: the client needs the bridge served.
    while (!done)
        runFor(5ms);
    client.join();
    // The bridge's side of the last connections closes.
    runFor(200ms);
    return refused;
}

} // namespace

void printPjlinkFigures(int portNo)
{
    FarSide far;
    if (!far.isOpen() || !far.linkAs(PortMap::linkPath(portNo)))
        throw std::runtime_error(far.errorString().toStdString());
    far.setAnswering(true);
    ProjectorLine line(qint16(portNo), 192, pjlink::Identity{"bench", "bench", "bench"});
    PjlinkServer server(&line, {});
    QString why;
    if (!server.listen(QHostAddress::LocalHost, 0, &why))
        throw std::runtime_error(why.toStdString());
    Controller controller(server.port());
    QByteArray answer;
    controller.roundTrip({}, &answer);

    QList<double> bridged, direct, first, release;
    Clock::time_point releasedAt;
    QObject::connect(&line, &ProjectorLine::released, [&] { releasedAt = Clock::now(); });
    for (int block = 0; block < kBlocks; ++block) {
        // The line held: requests 10 ms apart, as a busy controller sends them.
        for (int i = 0; i < kPerBlock; ++i) {
            bridged << controller.roundTrip("%1POWR ?\r", &answer);
            if (answer != "%1POWR=1")
                throw std::runtime_error("the bridge answered " + answer.toStdString());
            runFor(10ms);
        }
        if (!runUntil([&] { return !line.isOpen(); }) && !runUntil([&] { return !line.isOpen(); }))
            throw std::runtime_error("the bridge kept the line");
        release << toMs(releasedAt - controller.answeredAt);
        direct << directRoundTrips(portNo, kPerBlock);
    }
    for (int i = 0; i < kFirstRequests; ++i) {
        first << controller.roundTrip("%1POWR ?\r", &answer);
        runUntil([&] { return !line.isOpen(); });
        runUntil([&] { return !line.isOpen(); });
    }
    const auto cpuBefore = cpuTime();
    runFor(kIdle);
    const double idleCpu = toMs(cpuTime() - cpuBefore) / double(kIdle / 1s);
    QList<qint64> resident{residentKiB()};
    int refused = 0;
    for (int round = 0; round < kAbuseRounds; ++round) {
        refused += abuse(server.port());
        resident << residentKiB();
    }
    QStringList kib;
    for (qint64 k : resident)
        kib << QString::number(k);

    const Stats b = summarize(bridged), d = summarize(direct), f = summarize(first);
    std::printf("PJLink bridge, POWR ? (CR0 on the line), %d each, in ms    median  p99\n",
                int(bridged.size()));
    std::printf("  through PJLink, the line held                          %6.3f  %6.3f\n", b.median,
                b.p99);
    std::printf("  the projector's own answer, CR0 on the same line       %6.3f  %6.3f\n", d.median,
                d.p99);
    std::printf("  what PJLink adds                                       %6.3f\n",
                b.median - d.median);
    std::printf("  first request after the line was let go (%d)            %6.3f  %6.3f (max)\n",
                kFirstRequests, f.median, f.p99);
    std::printf("  line let go after the last answer (%d)                  %6.0f  %6.0f (max)\n",
                int(release.size()), summarize(release).median, summarize(release).p99);
    std::printf("  CPU while idle, line let go: %.3f ms per s\n", idleCpu);
    std::printf("  resident KiB before and after each %d connections of junk, 4 KiB lines, "
                "unfinished requests: %s\n",
                kAbusePerRound, qPrintable(kib.join(QStringLiteral(", "))));
    controller.roundTrip("%1CLSS ?\r", &answer);
    std::printf("  still serving after them: %s (connections the machine refused: %d)\n",
                answer.constData(), refused);
}

} // namespace orva::bench
