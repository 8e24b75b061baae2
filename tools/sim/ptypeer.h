// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "projectormodel.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace orva::sim
{

// Ways a line or a projector misbehaves; the defaults behave.
struct FaultOptions {
    enum class Garbage { None, Instead, Before };

    bool noReply = false;
    int delayMs = 0;
    // More than 1 sends the reply in that many writes, splitGapMs apart.
    int splitPieces = 1;
    int splitGapMs = 20;
    // Not added to a reply that already is a lone ACK.
    bool ackFirst = false;
    // Instead keeps a closing CR so the panel sees a whole but unreadable reply.
    Garbage garbage = Garbage::None;
    // Unsolicited bytes at the line rate, as from a noisy or foreign device.
    bool stream = false;
    // Hangs up once the reply to that many commands is out, counted from when
    // the faults were set; 0 never does.
    int hangUpAfter = 0;
};

// A projector on the far end of a pseudo-terminal. The panel opens
// slavePath() (or a link to it) as if it were a serial port.
class PtyPeer : public QObject
{
    Q_OBJECT
  public:
    explicit PtyPeer(const ProjectorModel::Options& model = {}, const FaultOptions& faults = {},
                     QObject* parent = nullptr);
    ~PtyPeer() override;

    bool isOpen() const { return m_master >= 0; }
    QString errorString() const { return m_error; }
    QString slavePath() const { return m_slavePath; }
    // Replaces an older symbolic link at path, never any other file.
    bool linkAs(const QString& path);
    QString linkPath() const { return m_linkPath; }
    // Links the pty as live and points lasting at live. The end removes live
    // only, so lasting dangles: a port set up through it fails plainly rather
    // than leading to another device, and comes back when live does.
    bool linkThrough(const QString& lasting, const QString& live);

    ProjectorModel& model() { return m_model; }
    FaultOptions faults() const { return m_faults; }
    // Applies to replies to commands that arrive from now on.
    void setFaults(const FaultOptions& faults);

    // Every command line so far, with its CR and anything sent ahead of it.
    QList<QByteArray> commands() const { return m_commands; }
    // True when no reply is waiting to go out.
    bool isIdle() const
    {
        return m_chunks.isEmpty() && m_out.isEmpty() && !m_hangUpTimer.isActive();
    }

  public slots:
    // Closes both ends like a pulled USB adapter and removes the link to the
    // pty.
    void hangUp();

  signals:
    void commandReceived(const QByteArray& command);
    void hungUp();

  private:
    struct Chunk {
        int waitMs = 0;
        QByteArray bytes;
        bool hangUp = false;
    };

    bool open();
    void readMaster();
    void dispatch(const QByteArray& line);
    void schedule(const QByteArray& reply, bool hangUpAfter);
    void sendNextChunk();
    void hangUpOnceRead();
    void send(const QByteArray& bytes);
    void flush();
    void streamNoise();
    QByteArray garbage(qsizetype size);
    void removeLink();
    void closeFds();

    ProjectorModel m_model;
    FaultOptions m_faults;
    int m_commandsSinceFaults = 0;
    int m_master = -1;
    // Held open so the master sees no hang-up while the panel has the port closed.
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
    QString m_error;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_in;
    QByteArray m_out;
    QList<QByteArray> m_commands;
    QQueue<Chunk> m_chunks;
    QTimer m_chunkTimer;
    QTimer m_hangUpTimer;
    int m_hangUpPolls = 0;
    QTimer m_streamTimer;
    QElapsedTimer m_streamClock;
    qint64 m_streamSent = 0;
    QRandomGenerator m_random;
};

// Printable ASCII as is but a doubled backslash, CR and LF as \r and \n,
// anything else as \xHH.
QByteArray escapeForLog(QByteArrayView bytes);

} // namespace orva::sim
