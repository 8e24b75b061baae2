// SPDX-License-Identifier: GPL-3.0-or-later
#include "farside.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <random>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace orva::bench
{

namespace
{
constexpr qint64 kLineLength = 64;
}

FarSide::FarSide()
{
    if (!open())
        return;
    m_thread = std::thread(&FarSide::serve, this);
    ::pthread_getcpuclockid(m_thread.native_handle(), &m_threadClock);
}

FarSide::~FarSide()
{
    if (m_thread.joinable()) {
        m_stop = true;
        wake();
        m_thread.join();
    }
    if (!m_linkPath.isEmpty() && QFileInfo(m_linkPath).symLinkTarget() == m_slavePath)
        QFile::remove(m_linkPath);
    for (int fd : {m_master, m_slave, m_wake})
        if (fd >= 0)
            ::close(fd);
}

bool FarSide::open()
{
    const auto fail = [this](const char* what) {
        m_error = QStringLiteral("%1: %2").arg(QLatin1String(what), qt_error_string(errno));
        return false;
    };
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wake < 0)
        return fail("eventfd");
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0)
        return fail("posix_openpt");
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return fail("pty set-up");
    }
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &tio) != 0) {
        ::close(master);
        return fail("open slave");
    }
    // No echo and no CR translation, as on a real line.
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(m_slave, TCSANOW, &tio);
    m_slavePath = QFile::decodeName(name);
    m_master = master;
    return true;
}

bool FarSide::linkAs(const QString& path)
{
    if (QFileInfo(path).isSymLink())
        QFile::remove(path);
    if (::symlink(QFile::encodeName(m_slavePath).constData(),
                  QFile::encodeName(path).constData()) != 0) {
        m_error = QStringLiteral("symlink %1: %2").arg(path, qt_error_string(errno));
        return false;
    }
    m_linkPath = path;
    return true;
}

void FarSide::setAnswering(bool on)
{
    m_answering = on;
}

void FarSide::setStreaming(bool on, Stream kind)
{
    m_streamKind = kind;
    m_streaming = on;
    wake();
}

QList<ReceivedLine> FarSide::lines() const
{
    const std::lock_guard lock(m_mutex);
    return m_lines;
}

void FarSide::clearLines()
{
    const std::lock_guard lock(m_mutex);
    m_lines.clear();
}

std::chrono::nanoseconds FarSide::threadCpuTime() const
{
    timespec ts{};
    if (!m_thread.joinable() || ::clock_gettime(m_threadClock, &ts) != 0)
        return {};
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

void FarSide::wake()
{
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake, &one, sizeof one);
}

void FarSide::serve()
{
    std::minstd_rand random(0x0c0ffee);
    bool streaming = false;
    Clock::time_point streamStart;
    Clock::time_point nextTick;
    qint64 sent = 0;

    while (!m_stop) {
        const bool wanted = m_streaming;
        if (wanted && !streaming) {
            streamStart = Clock::now();
            nextTick = streamStart + kStreamTick;
            sent = 0;
            m_streamed = 0;
        }
        streaming = wanted;

        int timeoutMs = -1;
        if (streaming) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextTick - Clock::now());
            timeoutMs = int(std::max<qint64>(left.count(), 0));
        }
        pollfd fds[] = {{m_master, POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (::poll(fds, 2, timeoutMs) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
            readAvailable();
        if (fds[1].revents & POLLIN) {
            quint64 count;
            [[maybe_unused]] const ssize_t n = ::read(m_wake, &count, sizeof count);
        }

        const Clock::time_point now = Clock::now();
        if (streaming && now >= nextTick) {
            const qint64 due =
                std::chrono::duration_cast<std::chrono::microseconds>(now - streamStart).count() *
                    kStreamBytesPerSecond / 1'000'000 -
                sent;
            QByteArray noise(due, Qt::Uninitialized);
            const bool lines = m_streamKind == Stream::Lines;
            for (qsizetype i = 0; i < noise.size(); ++i) {
                const qint64 column = (sent + i) % kLineLength;
                if (lines && column >= kLineLength - 2)
                    noise[i] = column == kLineLength - 2 ? '\r' : '\n';
                else if (lines)
                    noise[i] = char(' ' + random() % 91);
                else
                    do
                        noise[i] = char(random() & 0xff);
                    while (noise[i] == '\r' || noise[i] == '\n');
            }
            // What the pty cannot take now is dropped, as a line would lose it.
            const ssize_t n = due > 0 ? ::write(m_master, noise.constData(), size_t(due)) : 0;
            sent += due;
            if (n > 0)
                m_streamed += n;
            nextTick += kStreamTick;
        }
    }
}

void FarSide::readAvailable()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            return;
        const Clock::time_point readAt = Clock::now();
        m_pending.append(buffer, n);
        qsizetype cr;
        while ((cr = m_pending.indexOf('\r')) >= 0) {
            handle(m_pending.left(cr + 1), readAt);
            m_pending.remove(0, cr + 1);
        }
    }
}

void FarSide::handle(const QByteArray& line, Clock::time_point readAt)
{
    ReceivedLine received{line, readAt, {}, {}};
    if (m_answering) {
        received.reply = m_model.reply(QByteArrayView(line).chopped(1));
        if (!received.reply.isEmpty()) {
            received.replyAt = Clock::now();
            [[maybe_unused]] const ssize_t n =
                ::write(m_master, received.reply.constData(), size_t(received.reply.size()));
        }
    }
    {
        const std::lock_guard lock(m_mutex);
        m_lines.append(received);
    }
    emit lineReceived();
}

} // namespace orva::bench
