// SPDX-License-Identifier: GPL-3.0-or-later
#include "connecting.h"
#include "farside.h"
#include "line/lines.h"
#include "line/net/netline.h"
#include "line/portmap.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "memory.h"
#include "panel/holdrepeat.h"
#include "pjlinkbench.h"
#include "procstat.h"
#include "shell/form1.h"
#include "stats.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numeric>
#include <optional>
#include <sched.h>
#include <signal.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace
{

using namespace std::chrono_literals;
using orva::bench::Clock;
using orva::bench::FarSide;
using orva::bench::ReceivedLine;
using orva::bench::Stats;
using orva::bench::summarize;
using orva::bench::toMs;

constexpr int kPortNo = 3;
// The PJLink bridge's far side, beside the panel's.
constexpr int kPjlinkPortNo = 6;
// The same kind of far side, behind ser2net on a loopback port.
constexpr int kNetPortNo = 4;
constexpr int kConnects = 20;
// The paths take turns in blocks of this many, each block on a port just
// opened, so a load that comes and goes falls on both alike.
constexpr int kNetBlock = 25;
constexpr int kNetBlocks = 4;
constexpr int kRestarts = 5;
constexpr auto kServerAway = 4s;
constexpr int kClicks = 500;
constexpr int kStatusReads = 200;
// Samples before these settle caches and first-time allocations.
constexpr int kWarmUp = 20;
// Between samples, so the panel has finished with the last one.
constexpr auto kSpacing = 10ms;
constexpr auto kWaitLimit = 1s;
constexpr auto kHold = 5s;
constexpr int kCpuSeconds = 5;
// Long enough for a stream at 1920 bytes/s to fill the 32,767-byte reply
// buffer (17 s) and run on at the bound.
constexpr int kStreamSeconds = 20;
// First and last seconds compared: does an arrival cost more as the
// buffer grows?
constexpr int kEdgeSeconds = 5;

// "C00" and CR, each byte a start bit, 8 data bits and a stop bit.
constexpr double kWireFloorMs = 4 * 10 * 1000.0 / 9600;

const QByteArray kOnCommand = "C00\r";
const QByteArray kStatusCommand = "CR0\r";
const QByteArray kVolumeUpCommand = "C09\r";
const QString kPowerOn = QStringLiteral(" Power ON");

[[noreturn]] void fail(const QString& what)
{
    throw std::runtime_error(what.toStdString());
}

// Runs the event loop for d, as the panel would sit idle.
void pause(std::chrono::milliseconds d)
{
    QEventLoop loop;
    QTimer::singleShot(d, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() holds, looking again each time signal
// fires; false when limit passes first.
template <typename Sender, typename Signal>
bool waitFor(Sender* sender, Signal signal, const std::function<bool()>& done,
             std::chrono::milliseconds limit = kWaitLimit)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    QObject::connect(sender, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    loop.exec();
    return done();
}

ReceivedLine nextLine(FarSide& far, const QByteArray& expected)
{
    if (!waitFor(&far, &FarSide::lineReceived, [&] { return !far.lines().isEmpty(); }))
        fail(QStringLiteral("no %1 reached the far side")
                 .arg(QString::fromLatin1(expected.chopped(1))));
    const ReceivedLine line = far.lines().first();
    if (line.bytes != expected)
        fail(QStringLiteral("far side read %1").arg(QString::fromLatin1(line.bytes.toHex(' '))));
    return line;
}

std::chrono::nanoseconds processCpuTime()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto tv = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return tv(usage.ru_utime) + tv(usage.ru_stime);
}

int availableCpus()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    return ::sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 0;
}

QPushButton* panelButton(const orva::Form1& form, const char* name)
{
    auto* button = qobject_cast<QPushButton*>(form.widget(QLatin1String(name)));
    if (!button)
        fail(QStringLiteral("no button %1").arg(QLatin1String(name)));
    return button;
}

// The plainest Qt program that does what Command17 does: one button whose
// click writes the command to a serial port, on a pty of its own.
class BareWindow
{
  public:
    BareWindow() : m_port(m_far.slavePath())
    {
        if (!m_far.isOpen())
            fail(m_far.errorString());
        m_port.setBaudRate(9600);
        if (!m_port.open(QIODevice::ReadWrite))
            fail(QStringLiteral("bare port: %1").arg(m_port.errorString()));
        QObject::connect(m_button, &QPushButton::clicked, &m_port,
                         [this] { m_port.write(kOnCommand); });
        m_window.show();
        if (!QTest::qWaitForWindowExposed(&m_window))
            fail(QStringLiteral("bare window not exposed"));
    }

    QPushButton* button() const { return m_button; }
    FarSide& far() { return m_far; }

  private:
    FarSide m_far;
    QSerialPort m_port;
    QWidget m_window;
    QPushButton* m_button = new QPushButton(QStringLiteral("ON"), &m_window);
};

struct ClickPath {
    QPushButton* button;
    FarSide* far;
    QList<double> samples;
};

// From just before a left click to the far side's read of the whole command.
// The paths take turns click by click, so a load that comes and goes on the
// machine falls on all of them alike.
void clickToWire(std::initializer_list<ClickPath*> paths)
{
    for (int i = 0; i < kWarmUp + kClicks; ++i) {
        for (ClickPath* path : paths) {
            path->far->clearLines();
            const Clock::time_point clickAt = Clock::now();
            QTest::mouseClick(path->button, Qt::LeftButton);
            const ReceivedLine line = nextLine(*path->far, kOnCommand);
            if (i >= kWarmUp)
                path->samples << toMs(line.readAt - clickAt);
            pause(kSpacing);
        }
    }
}

struct ClickResult {
    Stats panel;
    Stats bare;
};

ClickResult benchClicks(orva::Form1& form, FarSide& far)
{
    BareWindow bare;
    ClickPath panelPath{panelButton(form, "Command17"), &far, {}};
    ClickPath barePath{bare.button(), &bare.far(), {}};
    clickToWire({&panelPath, &barePath});
    return {summarize(panelPath.samples), summarize(barePath.samples)};
}

// From the far side's write of the reply to STATUS to the STATUS line
// showing it.
QList<double> benchStatusReply(orva::Form1& form, FarSide& far)
{
    QPushButton* button = panelButton(form, "Command44");
    QWidget* label = form.widget(QStringLiteral("Label25"));
    if (!label)
        fail(QStringLiteral("no Label25"));
    orva::Exchange* exchange = form.exchange();

    std::optional<Clock::time_point> shownAt;
    QObject context;
    // Connected after the label's own update, so the label shows the text here.
    QObject::connect(exchange, &orva::Exchange::statusChanged, &context, [&] {
        if (!shownAt && label->property("text").toString() == kPowerOn)
            shownAt = Clock::now();
    });

    far.setAnswering(true);
    QList<double> samples;
    for (int i = 0; i < kWarmUp + kStatusReads; ++i) {
        far.clearLines();
        shownAt.reset();
        QTest::mouseClick(button, Qt::LeftButton);
        if (!waitFor(exchange, &orva::Exchange::statusChanged, [&] { return shownAt.has_value(); }))
            fail(QStringLiteral("Label25 never showed \"%1\"").arg(kPowerOn));
        const ReceivedLine line = nextLine(far, kStatusCommand);
        if (i >= kWarmUp)
            samples << toMs(*shownAt - line.replyAt);
        // What the reply time-out does 500 ms on: the next reply starts a
        // fresh collection instead of piling onto this one.
        exchange->Timer2_Timer();
        pause(kSpacing);
    }
    far.setAnswering(false);
    return samples;
}

struct HoldResult {
    qsizetype sends = 0;
    Stats period;
    double maxOffNominal = 0;
};

HoldResult benchHold(orva::Form1& form, FarSide& far)
{
    QPushButton* button = panelButton(form, "Command1");
    far.clearLines();
    QTest::mousePress(button, Qt::LeftButton);
    pause(kHold);
    QTest::mouseRelease(button, Qt::LeftButton);
    // The last send may still be in the port's buffer.
    pause(100ms);

    QList<Clock::time_point> sent;
    for (const ReceivedLine& line : far.lines()) {
        if (line.bytes != kVolumeUpCommand)
            fail(QStringLiteral("hold sent %1").arg(QString::fromLatin1(line.bytes.toHex(' '))));
        sent << line.readAt;
    }
    HoldResult result;
    result.sends = sent.size();
    QList<double> periods;
    const double nominal = toMs(orva::HoldRepeat::kRepeatPeriod);
    for (qsizetype i = 1; i < sent.size(); ++i) {
        periods << toMs(sent[i] - sent[i - 1]);
        result.maxOffNominal = std::max(result.maxOffNominal, std::abs(periods.last() - nominal));
    }
    result.period = summarize(periods);
    return result;
}

// CPU milliseconds the panel used per wall second, one figure a second: the
// whole process less the far side's thread.
QList<double> panelCpuPerSecond(FarSide& far, int seconds = kCpuSeconds)
{
    QList<double> perSecond;
    for (int s = 0; s < seconds; ++s) {
        const auto cpu0 = processCpuTime();
        const auto far0 = far.threadCpuTime();
        const Clock::time_point wall0 = Clock::now();
        pause(1s);
        const auto used = processCpuTime() - cpu0 - (far.threadCpuTime() - far0);
        perSecond << toMs(used) / (toMs(Clock::now() - wall0) / 1000);
    }
    return perSecond;
}

struct CpuResult {
    QList<double> idle;
    QList<double> streaming;
    qint64 streamedBytes = 0;
};

CpuResult benchCpu(FarSide& far)
{
    CpuResult result;
    result.idle = panelCpuPerSecond(far);
    far.setStreaming(true);
    result.streaming = panelCpuPerSecond(far);
    far.setStreaming(false);
    result.streamedBytes = far.streamedBytes();
    return result;
}

struct StreamResult {
    QList<double> perSecond;
    qint64 streamedBytes = 0;
    qsizetype rxdLength = 0;
};

// With the trace band in view, nothing sent: no reply time-out closes the
// collection, so the stream fills the reply buffer up to its bound, and the
// RxD line shows all of it.
StreamResult benchStreamInView(orva::Form1& form, FarSide& far, FarSide::Stream kind)
{
    orva::Exchange* exchange = form.exchange();
    exchange->Timer2_Timer();
    exchange->Timer4_Timer();
    pause(200ms);
    StreamResult result;
    far.setStreaming(true, kind);
    result.perSecond = panelCpuPerSecond(far, kStreamSeconds);
    far.setStreaming(false);
    pause(100ms);
    result.streamedBytes = far.streamedBytes();
    result.rxdLength = form.widget(QStringLiteral("Label12"))->property("text").toString().size();
    exchange->Timer2_Timer();
    exchange->Timer4_Timer();
    return result;
}

// ser2net, started with a configuration of our own, serving a far side's pty
// over RFC 2217 on a free loopback port, which ports/COMn names.
class Ser2net
{
  public:
    Ser2net(const QTemporaryDir& home, FarSide& far, int portNo)
    {
        const QString device = home.path() + QStringLiteral("/projector-net");
        if (!far.isOpen() || !far.linkAs(device))
            fail(far.errorString());
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost);
            m_port = probe.serverPort();
        }
        const QString config = home.path() + QStringLiteral("/ser2net.yaml");
        QFile yaml(config);
        if (!yaml.open(QIODevice::WriteOnly))
            fail(yaml.errorString());
        yaml.write(
            QStringLiteral(
                "%YAML 1.1\n---\nconnection: &far\n"
                "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                "  connector: serialdev,%2,9600n81,local\n  options:\n    chardelay: false\n")
                .arg(m_port)
                .arg(device)
                .toUtf8());
        yaml.close();
        QFile file(orva::PortMap::linkPath(portNo));
        if (!file.open(QIODevice::WriteOnly))
            fail(file.errorString());
        file.write(address().url().toUtf8() + '\n');
        m_config = config;
        start();
        for (int i = 0; i < 50 && !listening(); ++i)
            pause(100ms);
    }
    ~Ser2net() { stop(); }
    void start()
    {
        // A bench that fails leaves no server behind.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start(QStringLiteral("ser2net"), {"-d", "-u", "-c", m_config});
        if (!m_process.waitForStarted())
            fail(QStringLiteral("ser2net did not start (scripts/deps.sh installs it)"));
    }
    void stop()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    orva::NetAddress address() const
    {
        return {orva::NetAddress::Kind::Rfc2217, QStringLiteral("127.0.0.1"), m_port};
    }

  private:
    bool listening() const
    {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        return probe.waitForConnected(100);
    }

    quint16 m_port = 0;
    QString m_config;
    QProcess m_process;
};

// Opens portNo on the panel; ser2net lets its device go a moment after the
// last client left, and says so as busy.
void switchPort(orva::Form1& form, int portNo)
{
    orva::MSComm* comm = form.MSComm1();
    comm->setPortOpen(false);
    comm->setCommPort(qint16(portNo));
    for (int tries = 0;; ++tries) {
        try {
            comm->setPortOpen(true);
            return;
        } catch (const orva::SerialError& e) {
            if (e.failure() != orva::OpenFailure::Busy || tries == 20)
                fail(e.reason());
            pause(100ms);
        }
    }
}

struct NetResult {
    Stats connect;
    Stats localClick, netClick;
    Stats localStatus, netStatus;
    QList<double> idle, localIdle;
    Stats back;
};

// From just before a click of STATUS to the STATUS line showing the answer:
// the far side's read, its reply and the way back, all in.
QList<double> statusRoundTrips(orva::Form1& form, FarSide& far, int count)
{
    QPushButton* button = panelButton(form, "Command44");
    QWidget* label = form.widget(QStringLiteral("Label25"));
    orva::Exchange* exchange = form.exchange();
    far.setAnswering(true);
    QList<double> samples;
    for (int i = 0; i < count; ++i) {
        far.clearLines();
        const Clock::time_point clickAt = Clock::now();
        QTest::mouseClick(button, Qt::LeftButton);
        if (!waitFor(exchange, &orva::Exchange::statusChanged,
                     [&] { return label->property("text").toString() == kPowerOn; }))
            fail(QStringLiteral("no \"%1\" on the STATUS line").arg(kPowerOn));
        samples << toMs(Clock::now() - clickAt);
        exchange->Timer2_Timer();
        exchange->Timer4_Timer();
        pause(kSpacing);
    }
    far.setAnswering(false);
    return samples;
}

NetResult benchNetwork(const QTemporaryDir& home, orva::Form1& form, FarSide& far)
{
    FarSide netFar;
    Ser2net server(home, netFar, kNetPortNo);
    NetResult result;
    QList<double> connects;
    for (int i = 0; i < kConnects; ++i) {
        orva::NetLine line(kNetPortNo, server.address());
        const Clock::time_point at = Clock::now();
        try {
            line.open(19200);
        } catch (const orva::SerialError& e) {
            fail(e.reason());
        }
        connects << toMs(Clock::now() - at);
        line.close();
        pause(300ms);
    }
    result.connect = summarize(connects);

    ClickPath local{panelButton(form, "Command17"), &far, {}};
    ClickPath net{panelButton(form, "Command17"), &netFar, {}};
    QList<double> localStatus, netStatus;
    for (int block = 0; block < kNetBlocks; ++block) {
        for (auto [portNo, path, status] : {std::tuple{kPortNo, &local, &localStatus},
                                            std::tuple{kNetPortNo, &net, &netStatus}}) {
            switchPort(form, portNo);
            for (int i = 0; i < kNetBlock; ++i) {
                path->far->clearLines();
                const Clock::time_point clickAt = Clock::now();
                QTest::mouseClick(path->button, Qt::LeftButton);
                path->samples << toMs(nextLine(*path->far, kOnCommand).readAt - clickAt);
                pause(kSpacing);
            }
            *status += statusRoundTrips(form, *path->far, kNetBlock);
        }
    }
    result.localClick = summarize(local.samples);
    result.netClick = summarize(net.samples);
    result.localStatus = summarize(localStatus);
    result.netStatus = summarize(netStatus);
    switchPort(form, kNetPortNo);
    pause(orva::Exchange::kDisplayClear + 100ms);
    result.idle = panelCpuPerSecond(netFar);
    // The server away long enough for the reconnecting to reach its longest
    // spacing, then from ser2net's start to the port back.
    orva::MSComm* comm = form.MSComm1();
    QList<double> backs;
    for (int i = 0; i < kRestarts; ++i) {
        server.stop();
        if (!waitFor(comm, &orva::MSComm::portLost, [&] { return !comm->PortOpen(); }))
            fail(QStringLiteral("ser2net gone, the port still open"));
        pause(kServerAway);
        const Clock::time_point at = Clock::now();
        server.start();
        if (!waitFor(
                comm, &orva::MSComm::portBack, [&] { return comm->PortOpen(); }, 10s))
            fail(QStringLiteral("not back 10 s after ser2net started again"));
        backs << toMs(Clock::now() - at);
    }
    result.back = summarize(backs);
    switchPort(form, kPortNo);
    pause(orva::Exchange::kDisplayClear + 100ms);
    result.localIdle = panelCpuPerSecond(far);
    return result;
}

// Columns padded to their widest cell; the first and last are left-aligned.
class Table
{
  public:
    explicit Table(QStringList header) : m_rows{std::move(header)} {}
    void add(QStringList row) { m_rows << std::move(row); }

    void print() const
    {
        QList<qsizetype> widths;
        for (const QStringList& row : m_rows)
            for (qsizetype c = 0; c < row.size(); ++c) {
                if (c >= widths.size())
                    widths << 0;
                widths[c] = std::max(widths[c], row[c].size());
            }
        const qsizetype last = widths.size() - 1;
        for (qsizetype r = 0; r < m_rows.size(); ++r) {
            QString line;
            for (qsizetype c = 0; c <= last; ++c) {
                const QString cell = m_rows[r].value(c);
                line += c == 0 || c == last ? cell.leftJustified(widths[c])
                                            : cell.rightJustified(widths[c]);
                line += QStringLiteral("  ");
            }
            while (line.endsWith(u' '))
                line.chop(1);
            std::printf("%s\n", qPrintable(line));
            if (r == 0)
                std::printf("%s\n", qPrintable(QString(line.size(), u'-')));
        }
    }

  private:
    QList<QStringList> m_rows;
};

QString ms3(double v)
{
    return QString::number(v, 'f', 3);
}

QStringList statsRow(const QString& name, const Stats& s, const QString& note = {})
{
    return {name,      QString::number(s.n), ms3(s.median), ms3(s.mean), ms3(s.p99),
            ms3(s.sd), ms3(s.max),           note};
}

double mean(const QList<double>& v)
{
    return v.isEmpty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
}

QString joined(const QList<double>& v)
{
    QStringList parts;
    for (double x : v)
        parts << QString::number(x, 'f', 1);
    return parts.join(QLatin1Char(' '));
}

struct StartResult {
    double startMs = 0;
    qint64 idleKiB = 0;
};

void printStreams(const StreamResult& unbroken, const StreamResult& lines)
{
    // The second in which the reply buffer reaches its bound; from then on
    // arrivals are dropped, so the five seconds before it are the dearest.
    constexpr int filled = int(orva::Exchange::kReplyBufferLimit / FarSide::kStreamBytesPerSecond);
    const QString beforeBound =
        QStringLiteral("s %1-%2").arg(filled - kEdgeSeconds).arg(filled - 1);
    Table table({QStringLiteral("CPU, trace band in view (share of one core)"),
                 QStringLiteral("mean"), QStringLiteral("first 5 s"), QStringLiteral("last 5 s"),
                 QStringLiteral("last/first"), beforeBound, beforeBound + QStringLiteral("/first"),
                 QStringLiteral("max"), QStringLiteral("note")});
    const auto row = [&](const QString& name, const StreamResult& r) {
        const QList<double> core = [&] {
            QList<double> v;
            for (double ms : r.perSecond)
                v << ms / 1000;
            return v;
        }();
        const double first = mean(core.first(kEdgeSeconds));
        const double last = mean(core.last(kEdgeSeconds));
        const double growing = mean(core.mid(filled - kEdgeSeconds, kEdgeSeconds));
        const auto f3 = [](double v) { return QString::number(v, 'f', 3); };
        table.add({name, f3(mean(core)), f3(first), f3(last),
                   first > 0 ? QString::number(last / first, 'f', 2) : QStringLiteral("-"),
                   f3(growing),
                   first > 0 ? QString::number(growing / first, 'f', 2) : QStringLiteral("-"),
                   f3(*std::max_element(core.begin(), core.end())),
                   QStringLiteral("%1 bytes in %2 s, RxD line %3 characters at the end")
                       .arg(r.streamedBytes)
                       .arg(kStreamSeconds)
                       .arg(r.rxdLength)});
    };
    row(QStringLiteral("19200 bit/s, 19-20 bytes every 10 ms, no line breaks"), unbroken);
    row(QStringLiteral("19200 bit/s, CR LF every 64 bytes"), lines);
    table.print();
    std::printf("\nEach second, in ms of CPU per s:\n  no line breaks: %s\n  CR LF every 64: %s\n",
                qPrintable(joined(unbroken.perSecond)), qPrintable(joined(lines.perSecond)));
}

void printReport(const StartResult& start, const ClickResult& clicks, const Stats& status,
                 const HoldResult& hold, const CpuResult& cpu)
{
    const Stats& panel = clicks.panel;
    const Stats& bare = clicks.bare;
    std::printf("orva-bench   nproc %d   Qt %s (built with %s)   platform %s\n\n", availableCpus(),
                qVersion(), QT_VERSION_STR, qPrintable(QGuiApplication::platformName()));

    Table latency({QStringLiteral("Latency over a pty (ms)"), QStringLiteral("n"),
                   QStringLiteral("median"), QStringLiteral("mean"), QStringLiteral("p99"),
                   QStringLiteral("sd"), QStringLiteral("max"), QStringLiteral("note")});
    latency.add(statsRow(QStringLiteral("click to wire, Form1 Command17"), panel,
                         QStringLiteral("\"C00\\r\" read by the far side")));
    latency.add(statsRow(QStringLiteral("click to wire, bare QPushButton"), bare,
                         QStringLiteral("clicked() -> QSerialPort::write")));
    latency.add({QStringLiteral("  ratio Form1 / bare"),
                 {},
                 QString::number(panel.median / bare.median, 'f', 2),
                 QString::number(panel.mean / bare.mean, 'f', 2),
                 QString::number(panel.p99 / bare.p99, 'f', 2),
                 {},
                 {},
                 QStringLiteral("what the panel's design costs")});
    latency.add({QStringLiteral("  wire floor at 9600 bit/s"),
                 {},
                 ms3(kWireFloorMs),
                 {},
                 {},
                 {},
                 {},
                 QStringLiteral("4 bytes x 10 bits; a pty has none, so it is not in the above")});
    latency.add(statsRow(QStringLiteral("reply to STATUS line"), status,
                         QStringLiteral("far side writes \"00\\r\" -> Label25 \" Power ON\"")));
    latency.add(statsRow(QStringLiteral("hold Command1, period"), hold.period,
                         QStringLiteral("max |period - 100| = %1").arg(ms3(hold.maxOffNominal))));
    latency.print();
    std::printf("\n");

    Table other({QStringLiteral("Other figures"), QStringLiteral("value"), QStringLiteral("note")});
    other.add({QStringLiteral("start-up (ms)"), QString::number(start.startMs, 'f', 1),
               QStringLiteral("Form1 built and started until its window is exposed")});
    other.add({QStringLiteral("idle memory (KiB)"), QString::number(start.idleKiB),
               QStringLiteral("resident set just after start-up")});
    other.add({QStringLiteral("hold Command1 5 s, sends of \"C09\\r\""),
               QString::number(hold.sends),
               QStringLiteral("expected 51: one at the press, then one every 100 ms")});
    other.add({QStringLiteral("panel CPU, idle (ms per s)"),
               QString::number(mean(cpu.idle), 'f', 2),
               QStringLiteral("port open, window shown; each second: ") + joined(cpu.idle)});
    other.add({QStringLiteral("panel CPU, far side streaming (ms per s)"),
               QString::number(mean(cpu.streaming), 'f', 2),
               QStringLiteral("%1 bytes in %2 s; each second: %3")
                   .arg(cpu.streamedBytes)
                   .arg(kCpuSeconds)
                   .arg(joined(cpu.streaming))});
    other.add({QStringLiteral("  streaming / idle"),
               mean(cpu.idle) > 0 ? QString::number(mean(cpu.streaming) / mean(cpu.idle), 'f', 1)
                                  : QStringLiteral("-"),
               QStringLiteral("user+sys of the process less the far side's thread")});
    other.print();
}

void printNetwork(const NetResult& r)
{
    Table table({QStringLiteral("Network port, RFC 2217 through ser2net on loopback (ms)"),
                 QStringLiteral("n"), QStringLiteral("median"), QStringLiteral("mean"),
                 QStringLiteral("p99"), QStringLiteral("sd"), QStringLiteral("max"),
                 QStringLiteral("note")});
    table.add(statsRow(QStringLiteral("connect"), r.connect,
                       QStringLiteral("NetLine::open(19200): TCP, telnet, rate answered")));
    table.add(statsRow(QStringLiteral("click to wire, local pty"), r.localClick,
                       QStringLiteral("Command17, \"C00\\r\" read by the far side")));
    table.add(statsRow(QStringLiteral("click to wire, through ser2net"), r.netClick,
                       QStringLiteral("the same, ser2net between")));
    table.add({QStringLiteral("  difference of medians"),
               {},
               ms3(r.netClick.median - r.localClick.median),
               ms3(r.netClick.mean - r.localClick.mean),
               {},
               {},
               {},
               QStringLiteral("what the network path adds")});
    table.add(statsRow(QStringLiteral("status read round trip, local pty"), r.localStatus,
                       QStringLiteral("click STATUS -> \" Power ON\" on Label25")));
    table.add(statsRow(QStringLiteral("status read round trip, through ser2net"), r.netStatus,
                       QStringLiteral("the same, ser2net between")));
    table.add(statsRow(QStringLiteral("server restart to port back"), r.back,
                       QStringLiteral("ser2net away %1 s, then started again")
                           .arg(std::chrono::seconds(kServerAway).count())));
    table.print();
    std::printf("\npanel CPU, port open and idle (ms per s): network %.2f (each second: %s), "
                "local pty %.2f (%s)\n",
                mean(r.idle), qPrintable(joined(r.idle)), mean(r.localIdle),
                qPrintable(joined(r.localIdle)));
}

// The settings store and ports folder of a fresh user, with the far side
// linked as the stored COM port at 9600 bit/s.
void prepareStore(const QTemporaryDir& home, FarSide& far)
{
    QDir().mkpath(home.path() + QStringLiteral("/ORVA"));
    QFile conf(home.path() + QStringLiteral("/ORVA/ORVA.conf"));
    if (!conf.open(QIODevice::WriteOnly))
        fail(conf.errorString());
    conf.write(QStringLiteral("[StartUP]\nComPort=%1\nBaudRate=96\n").arg(kPortNo).toLatin1());
    conf.close();
    QDir().mkpath(orva::PortMap::portsFolder());
    if (!far.isOpen() || !far.linkAs(orva::PortMap::linkPath(kPortNo)))
        fail(far.errorString());
}

int run(bool networkOnly)
{
    QTemporaryDir home;
    // Before the first QSettings use: the store caches its location.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));

    FarSide far;
    prepareStore(home, far);
    // The network line is linked in, not loaded from the panel's module.
    orva::setNetLineMaker(&orva::orva_make_net_line);

    StartResult start;
    const Clock::time_point startAt = Clock::now();
    orva::Form1 form;
    form.start();
    if (!form.MSComm1()->PortOpen() || !QTest::qWaitForWindowExposed(&form))
        fail(QStringLiteral("the panel did not come up on COM%1").arg(kPortNo));
    start.startMs = toMs(Clock::now() - startAt);
    pause(500ms);
    start.idleKiB = residentKiB();
    if (networkOnly) {
        printNetwork(benchNetwork(home, form, far));
        orva::bench::printConnectingWindow();
        return 0;
    }

    const ClickResult clicks = benchClicks(form, far);
    const Stats status = summarize(benchStatusReply(form, far));
    // The display clearing of the last read must not fall into the hold.
    pause(orva::Exchange::kDisplayClear + 100ms);
    const HoldResult hold = benchHold(form, far);
    pause(orva::Exchange::kDisplayClear + 100ms);
    const CpuResult cpu = benchCpu(far);
    // Ctrl+H: the full view, with the TxD, RxD and STATUS lines on screen.
    form.Form_KeyDown(72, 2);
    pause(200ms);
    const StreamResult unbroken = benchStreamInView(form, far, FarSide::Stream::Unbroken);
    const StreamResult lines = benchStreamInView(form, far, FarSide::Stream::Lines);

    const NetResult network = benchNetwork(home, form, far);

    printReport(start, clicks, status, hold, cpu);
    std::printf("\n");
    printStreams(unbroken, lines);
    std::printf("\n");
    printNetwork(network);
    orva::bench::printConnectingWindow();
    orva::bench::printMemory();
    std::printf("\n");
    orva::bench::printPjlinkFigures(kPjlinkPortNo);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--memory"))) {
        orva::bench::printMemory();
        return 0;
    }
    try {
        // --pjlink: the PJLink bridge's figures alone.
        if (app.arguments().contains(QStringLiteral("--pjlink"))) {
            QTemporaryDir home;
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
            QDir().mkpath(orva::PortMap::portsFolder());
            orva::bench::printPjlinkFigures(kPjlinkPortNo);
            return 0;
        }
        // --network: the network figures alone.
        return run(app.arguments().contains(QStringLiteral("--network")));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "orva-bench: %s\n", e.what());
        return 1;
    }
}
