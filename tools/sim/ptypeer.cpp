// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptypeer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace orva::sim
{

namespace
{

// 19200 bit/s with a start and a stop bit around each byte.
constexpr qint64 LineBytesPerSecond = 1920;
constexpr int StreamTickMs = 20;
// Stream bytes are dropped rather than queued beyond this while nobody reads.
constexpr qsizetype StreamBacklog = 4096;
// Longer than any command; a line this long without a CR is noise.
constexpr qsizetype MaxLine = 1024;
constexpr char Ack = 0x06;
// The first look comes one poll after the last write, once the pty has
// passed the bytes on to the slave side.
constexpr int HangUpPollMs = 20;
constexpr int HangUpPatiencePolls = 50;

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

PtyPeer::PtyPeer(const ProjectorModel::Options& model, const FaultOptions& faults, QObject* parent)
    : QObject(parent), m_model(model, steadyMs), m_random(0x0c0ffee)
{
    m_chunkTimer.setSingleShot(true);
    m_chunkTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_chunkTimer, &QTimer::timeout, this, &PtyPeer::sendNextChunk);
    m_hangUpTimer.setInterval(HangUpPollMs);
    connect(&m_hangUpTimer, &QTimer::timeout, this, &PtyPeer::hangUpOnceRead);
    m_streamTimer.setInterval(StreamTickMs);
    connect(&m_streamTimer, &QTimer::timeout, this, &PtyPeer::streamNoise);
    open();
    setFaults(faults);
}

PtyPeer::~PtyPeer()
{
    removeLink();
    closeFds();
}

bool PtyPeer::open()
{
    const auto fail = [this](const char* what) {
        m_error = QStringLiteral("%1: %2").arg(QLatin1String(what), qt_error_string(errno));
        closeFds();
        return false;
    };

    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0)
        return fail("grantpt");
    if (::unlockpt(m_master) != 0)
        return fail("unlockpt");
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");
    m_slavePath = QFile::decodeName(name);

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open slave");
    termios tio{};
    if (::tcgetattr(m_slave, &tio) != 0)
        return fail("tcgetattr");
    // Without raw mode the tty echoes each reply back to us as a command.
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B19200);
    ::cfsetospeed(&tio, B19200);
    if (::tcsetattr(m_slave, TCSANOW, &tio) != 0)
        return fail("tcsetattr");

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyPeer::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyPeer::flush);
    return true;
}

void PtyPeer::closeFds()
{
    // Notifiers go first: they must not watch a closed or reused descriptor.
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = -1;
    m_slave = -1;
}

bool PtyPeer::linkAs(const QString& path)
{
    if (!isOpen()) {
        m_error = QStringLiteral("no pseudo-terminal to link to");
        return false;
    }
    removeLink();
    // A link left by a simulator that was killed is replaced.
    if (QFileInfo(path).isSymLink() && !QFile::remove(path)) {
        m_error = QStringLiteral("cannot remove old link %1").arg(path);
        return false;
    }
    if (::symlink(QFile::encodeName(m_slavePath).constData(),
                  QFile::encodeName(path).constData()) != 0) {
        m_error = QStringLiteral("cannot link %1: %2").arg(path, qt_error_string(errno));
        return false;
    }
    m_linkPath = path;
    return true;
}

bool PtyPeer::linkThrough(const QString& lasting, const QString& live)
{
    if (!linkAs(live))
        return false;
    const QFileInfo info(lasting);
    if (info.symLinkTarget() == QFileInfo(live).absoluteFilePath())
        return true;
    if (info.isSymLink() ? !QFile::remove(lasting) : info.exists()) {
        m_error = QStringLiteral("cannot replace %1").arg(lasting);
        return false;
    }
    const QString target = QDir(info.absolutePath()).relativeFilePath(live);
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(lasting).constData()) !=
        0) {
        m_error = QStringLiteral("cannot link %1: %2").arg(lasting, qt_error_string(errno));
        return false;
    }
    return true;
}

void PtyPeer::removeLink()
{
    // Another simulator may have taken the name over since.
    if (!m_linkPath.isEmpty() && QFileInfo(m_linkPath).symLinkTarget() == m_slavePath)
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}

void PtyPeer::setFaults(const FaultOptions& faults)
{
    m_faults = faults;
    m_commandsSinceFaults = 0;
    if (!isOpen() || !faults.stream) {
        m_streamTimer.stop();
    } else if (!m_streamTimer.isActive()) {
        m_streamClock.start();
        m_streamSent = 0;
        m_streamTimer.start();
    }
}

void PtyPeer::hangUp()
{
    if (!isOpen())
        return;
    m_chunkTimer.stop();
    m_hangUpTimer.stop();
    m_streamTimer.stop();
    m_chunks.clear();
    m_in.clear();
    m_out.clear();
    closeFds();
    removeLink();
    emit hungUp();
}

void PtyPeer::readMaster()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_in.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // Our own slave descriptor should rule this out; stop rather than spin.
        m_readNotifier->setEnabled(false);
        break;
    }

    qsizetype cr;
    while ((cr = m_in.indexOf('\r')) >= 0) {
        const QByteArray line = m_in.left(cr);
        m_in.remove(0, cr + 1);
        dispatch(line);
        if (!isOpen())
            return;
    }
    if (m_in.size() > MaxLine)
        m_in.clear();
}

void PtyPeer::dispatch(const QByteArray& line)
{
    const QByteArray command = line + '\r';
    m_commands.append(command);
    ++m_commandsSinceFaults;
    emit commandReceived(command);
    if (!isOpen())
        return;

    QByteArray reply = m_model.reply(line);
    const bool last = m_faults.hangUpAfter > 0 && m_commandsSinceFaults == m_faults.hangUpAfter;
    if (m_faults.noReply) {
        reply.clear();
    } else {
        const bool loneAck = reply == QByteArray(1, Ack);
        if (m_faults.garbage == FaultOptions::Garbage::Instead) {
            const bool framed = reply.endsWith('\r');
            reply = garbage(reply.size() - (framed ? 1 : 0)) + (framed ? "\r" : "");
        } else if (m_faults.garbage == FaultOptions::Garbage::Before) {
            reply.prepend(garbage(4));
        }
        if (m_faults.ackFirst && !loneAck)
            reply.prepend(Ack);
    }
    schedule(reply, last);
}

void PtyPeer::schedule(const QByteArray& reply, bool hangUpAfter)
{
    if (reply.isEmpty() && !hangUpAfter)
        return;
    const qsizetype pieces =
        std::clamp<qsizetype>(m_faults.splitPieces, 1, std::max<qsizetype>(reply.size(), 1));
    qsizetype from = 0;
    for (qsizetype i = 1; i <= pieces; ++i) {
        const qsizetype to = reply.size() * i / pieces;
        const int wait = i == 1 ? m_faults.delayMs : m_faults.splitGapMs;
        m_chunks.enqueue({std::max(wait, 0), reply.mid(from, to - from), false});
        from = to;
    }
    m_chunks.last().hangUp = hangUpAfter;
    // Replies queue behind each other as they would on one wire.
    if (!m_chunkTimer.isActive())
        m_chunkTimer.start(m_chunks.head().waitMs);
}

void PtyPeer::sendNextChunk()
{
    if (m_chunks.isEmpty())
        return;
    const Chunk chunk = m_chunks.dequeue();
    send(chunk.bytes);
    if (chunk.hangUp) {
        // Stop listening; the line is going and later commands go unanswered.
        m_readNotifier->setEnabled(false);
        m_chunks.clear();
        m_hangUpPolls = 0;
        m_hangUpTimer.start();
        return;
    }
    if (!m_chunks.isEmpty())
        m_chunkTimer.start(m_chunks.head().waitMs);
}

void PtyPeer::hangUpOnceRead()
{
    // A hang-up flushes the tty, so the last reply would be lost unless the
    // panel has read it. The panel may have the port closed; then give up waiting.
    int unread = 0;
    const bool drained = m_out.isEmpty() && ::ioctl(m_slave, TIOCINQ, &unread) == 0 && unread == 0;
    if (drained || ++m_hangUpPolls >= HangUpPatiencePolls)
        hangUp();
}

void PtyPeer::send(const QByteArray& bytes)
{
    m_out += bytes;
    flush();
}

void PtyPeer::flush()
{
    while (isOpen() && !m_out.isEmpty()) {
        const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
        if (n > 0) {
            m_out.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        m_out.clear();
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

void PtyPeer::streamNoise()
{
    const qint64 due = m_streamClock.elapsed() * LineBytesPerSecond / 1000 - m_streamSent;
    if (due <= 0)
        return;
    m_streamSent += due;
    if (m_out.size() >= StreamBacklog)
        return;
    QByteArray noise(due, Qt::Uninitialized);
    for (char& c : noise)
        c = char(m_random.bounded(256));
    send(noise);
}

QByteArray PtyPeer::garbage(qsizetype size)
{
    // Control codes and bytes above 'z', but never CR, LF or ACK, which would
    // read as framing rather than as a bad reply.
    QByteArray bytes;
    while (bytes.size() < size) {
        const auto c = uchar(m_random.bounded(256));
        const bool control = c < 0x20 && c != '\r' && c != '\n' && c != Ack;
        if (control || c > 'z')
            bytes += char(c);
    }
    return bytes;
}

QByteArray escapeForLog(QByteArrayView bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto u = uchar(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (u >= 0x20 && u < 0x7f)
            out += c;
        else
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
    }
    return out;
}

} // namespace orva::sim
