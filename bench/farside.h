// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "projectormodel.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <time.h>

namespace orva::bench
{

using Clock = std::chrono::steady_clock;

// One command line as the far side read it, CR included.
struct ReceivedLine {
    QByteArray bytes;
    // Just after the read() that brought the CR.
    Clock::time_point readAt;
    QByteArray reply;
    // Just before the write() of the reply.
    Clock::time_point replyAt;
};

// The projector's end of a raw pseudo-terminal, served by a thread of its own
// with poll(), so its timestamps do not wait for the panel's event loop.
class FarSide : public QObject
{
    Q_OBJECT
  public:
    static constexpr qint64 kStreamBytesPerSecond = 1920;
    static constexpr std::chrono::milliseconds kStreamTick{10};

    FarSide();
    ~FarSide() override;

    bool isOpen() const { return m_master >= 0; }
    QString errorString() const { return m_error; }
    QString slavePath() const { return m_slavePath; }
    bool linkAs(const QString& path);

    // Answers each line as the bundled simulator's projector, powered on.
    void setAnswering(bool on);
    enum class Stream {
        // Random bytes of any value but CR and LF.
        Unbroken,
        // Random printable characters, CR LF closing every 64 bytes.
        Lines,
    };
    // Bytes at the line rate of 19200 bit/s, one chunk of 19 or 20 per tick.
    void setStreaming(bool on, Stream kind = Stream::Unbroken);
    qint64 streamedBytes() const { return m_streamed; }

    QList<ReceivedLine> lines() const;
    void clearLines();
    std::chrono::nanoseconds threadCpuTime() const;

  signals:
    // Emitted from the serving thread once per line.
    void lineReceived();

  private:
    bool open();
    void serve();
    void readAvailable();
    void handle(const QByteArray& line, Clock::time_point readAt);
    void wake();

    int m_master = -1;
    // Held open so the master never sees a hang-up while the port is closed.
    int m_slave = -1;
    int m_wake = -1;
    QString m_slavePath;
    QString m_linkPath;
    QString m_error;

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_answering{false};
    std::atomic<bool> m_streaming{false};
    std::atomic<Stream> m_streamKind{Stream::Unbroken};
    std::atomic<qint64> m_streamed{0};

    mutable std::mutex m_mutex;
    QList<ReceivedLine> m_lines;

    // Touched by the serving thread only.
    QByteArray m_pending;
    sim::ProjectorModel m_model{sim::ModelOptions{.powerOn = true}};

    std::thread m_thread;
    clockid_t m_threadClock{};
};

} // namespace orva::bench
