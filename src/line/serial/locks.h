// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line/line.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace orva
{

// Who keeps a serial device from being opened, as its locks tell.
struct LockHolder {
    enum class Kind {
        // Nothing holds it.
        Free,
        // A running process: its lock file or its flock on the device.
        Live,
        // A lock file that names no process this program can read, or that
        // names an ended one but cannot be removed.
        Unreadable,
    };
    Kind kind = Kind::Free;
    qint64 pid = 0;
    // The process's own name (/proc/PID/comm), when it can be read.
    QString name;
    // The lock file, for a lock file.
    QString path;

    bool holds() const { return kind != Kind::Free; }
    // "minicom (PID 4242)", or "another program".
    QString who() const;
    // Why the port does not open, naming the holder, with the cure; where
    // names the port as the user set it up.
    SerialError refusal(const QString& where) const;
    // The same for the STATUS line: "COM3 busy: minicom (PID 4242)".
    QString notice(const QString& com) const;
};

// The one owner of the lock rules for one device: who keeps it from being
// opened, and the panel's own hold on it once it is open. The open sequence
// asks it before Qt opens the device and hands it the descriptor after.
class DeviceLock
{
  public:
    explicit DeviceLock(const QString& device) : m_device(device) {}
    ~DeviceLock();
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    // Why the device cannot be locked at all (a path too long for a lock
    // file's name, no folder to write one in); nothing when it can.
    std::optional<SerialError> unlockable(const QString& where) const;
    // Who holds the device now, looked at in this order: its lock files
    // (stale ones removed), a session whose terminal it is, a process that
    // has it open, a flock or its exclusive use. A look of its own at the
    // device holds the flock until hold().
    LockHolder holder();
    // The device opened on fd: takes its flock and writes the panel's lock
    // file. The holder, when the flock is another's.
    LockHolder hold(int fd);
    // Who it is, when the open itself was refused as busy: a lock taken
    // since the look, or a device in exclusive use.
    LockHolder refusedBy();

  private:
    QString m_device;
    int m_probe = -1;
    // Other users' processes whose descriptors could not be read.
    int m_unseen = 0;
};

// The folders that serial programs keep lock files in, in the order Qt's
// serial port searches them; both the locks read and the one written come
// from here.
QStringList lockFolders();
// "LCK..ttyUSB0", "LCK..pts_3": the device's path below /dev, '/' as '_'.
QString lockName(const QString& device);
// Where a lock for the device would be written: the first folder that
// already holds one or that may be written; empty when there is none.
QString ownLockPath(const QString& device);

// The process a lock file names, in any form in use: the classic ten ASCII
// characters, "PID name user" on one line, or Qt's lines (PID, program,
// host). Nothing for anything else.
std::optional<qint64> lockFilePid(const QByteArray& contents);
bool processAlive(qint64 pid);
QString processName(qint64 pid);

// Removes a lock found stale: path's contents were read from the open fd.
// The file is moved aside first and removed only when it is still the one
// read, unchanged and not flocked; a lock that another program wrote
// meanwhile is put back. True when the stale lock is gone.
bool removeStaleLock(const QString& path, int fd, const QByteArray& contents);
// Reads every lock file for the device. The lock of a process that has ended
// is removed; a live one, or one that cannot be read or parsed, is left as
// it is and reported.
LockHolder checkLockFiles(const QString& device);
// The process holding a flock(2) or an fcntl(2) lock on the device, from
// /proc/locks, which every user may read.
LockHolder lockedBy(const QString& device);
// The process that has the device as its controlling terminal (a shell in a
// terminal window, a getty on a console line): no lock, but the device is
// in use all the same.
LockHolder terminalOf(const QString& device);
// A process that has the device open, lock or no lock (minicom -o, a script's
// exec 3<>/dev/ttyUSB0): found by its descriptors in /proc. The far side of
// a pseudo-terminal, the process that holds its master, is no competitor.
// unseen counts the processes whose descriptors this user may not read
// (other users' processes, for anyone but root).
LockHolder openerOf(const QString& device, int* unseen = nullptr);
// Rewrites the panel's own lock file as the classic ten-character PID and a
// newline, the form minicom and lockdev users read. True when it did.
bool writeOwnLock(const QString& device);

} // namespace orva
