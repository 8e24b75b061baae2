// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/serial/locks.h"

#include "line/serial/portfacts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace orva
{

QString LockHolder::who() const
{
    if (pid <= 0)
        return name.isEmpty() ? QStringLiteral("another program") : name;
    return QStringLiteral("%1 (PID %2)")
        .arg(name.isEmpty() ? QStringLiteral("a program") : name)
        .arg(pid);
}

SerialError LockHolder::refusal(const QString& where) const
{
    if (kind == Kind::Unreadable)
        return SerialError(
            QStringLiteral("%1 is locked by %2, which names no running program.").arg(where, path),
            QStringLiteral("That file can be deleted when no program uses the port."),
            OpenFailure::Busy);
    return SerialError(QStringLiteral("%1 is busy: %2 holds it.").arg(where, who()),
                       openHint(OpenFailure::Busy, where, {}), OpenFailure::Busy);
}

QString LockHolder::notice(const QString& com) const
{
    if (kind == Kind::Unreadable)
        return com + QStringLiteral(" busy: unreadable lock file");
    return QStringLiteral("%1 busy: %2").arg(com, who());
}

QStringList lockFolders()
{
    return {
        QStringLiteral("/var/lock"),
        QStringLiteral("/etc/locks"),
        QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"),
        QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"),
        QStringLiteral("/run/lock"),
        QStandardPaths::writableLocation(QStandardPaths::TempLocation),
    };
}

QString lockName(const QString& device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

QString ownLockPath(const QString& device)
{
    const QString name = lockName(device);
    for (const QString& folder : lockFolders()) {
        const QFileInfo info(folder);
        const QString path = folder + QLatin1Char('/') + name;
        if (info.isReadable() && (QFileInfo::exists(path) || info.isWritable()))
            return path;
    }
    return {};
}

std::optional<qint64> lockFilePid(const QByteArray& contents)
{
    const QByteArray word = contents.split('\n').first().simplified().split(' ').first();
    bool ok = !word.isEmpty();
    for (const char c : word)
        ok = ok && c >= '0' && c <= '9';
    const qint64 pid = ok ? word.toLongLong(&ok) : 0;
    if (!ok || pid <= 0)
        return std::nullopt;
    return pid;
}

bool processAlive(qint64 pid)
{
    // Another user's process answers EPERM: it is there all the same.
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

namespace
{

QByteArray procFile(qint64 pid, const char* what)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(what)));
    return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
}

// The names a process goes by: its kernel name (cut to 15 characters), the
// file name of its program and of the name it was started as. The first
// two can be read for any user's process; the program only for one's own.
QStringList processNames(qint64 pid)
{
    QStringList names;
    const QString comm = QString::fromLocal8Bit(procFile(pid, "comm").trimmed());
    const QString argv0 = QString::fromLocal8Bit(procFile(pid, "cmdline").split('\0').first());
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    for (const QString& name : {comm, QFileInfo(argv0).fileName(), QFileInfo(exe).fileName()})
        if (!name.isEmpty())
            names << name;
    return names;
}

// The program a lock file names: "PID name user" on one line, or Qt's lines
// (PID, program, host). The ten-character form names none.
QString lockFileProgram(const QByteArray& contents)
{
    const QList<QByteArray> lines = contents.split('\n');
    const QList<QByteArray> words = lines.first().simplified().split(' ');
    if (words.size() > 1)
        return QString::fromLocal8Bit(words[1]);
    return lines.size() > 2 ? QString::fromLocal8Bit(lines[1].trimmed()) : QString();
}

// Whether a running process is the program a lock names; true when it
// names none, or nothing about the process can be read (the safe side).
bool runsProgram(qint64 pid, const QString& program)
{
    const QStringList names = processNames(pid);
    if (program.isEmpty() || names.isEmpty())
        return true;
    // The kernel keeps the first 15 characters of a name.
    for (const QString& name : names)
        if (name == program || (name.size() == 15 && program.startsWith(name)))
            return true;
    return false;
}

} // namespace

QString processName(qint64 pid)
{
    // The kernel's name, or the whole one it was cut from.
    const QStringList names = processNames(pid);
    if (names.isEmpty())
        return {};
    if (names.size() > 1 && names[0].size() == 15 && names[1].startsWith(names[0]))
        return names[1];
    return names[0];
}

LockHolder checkLockFiles(const QString& device)
{
    const QString name = lockName(device);
    QSet<QString> seen;
    for (const QString& folder : lockFolders()) {
        // /var/lock is /run/lock on most systems: one file, read once.
        const QString real = QFileInfo(folder).canonicalFilePath();
        if (real.isEmpty() || seen.contains(real))
            continue;
        seen.insert(real);
        const QString path = real + QLatin1Char('/') + name;
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            continue;
        LockHolder holder{LockHolder::Kind::Unreadable, 0, {}, path};
        // Not a plain file (a FIFO would block the read): never a lock to take.
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st {
        };
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            if (fd >= 0)
                ::close(fd);
            return holder;
        }
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        const QByteArray contents(buffer, qMax<ssize_t>(n, 0));
        const std::optional<qint64> pid = lockFilePid(contents);
        if (pid)
            holder.pid = *pid;
        // A PID that now runs another program than the one the lock names
        // was reused: the lock is stale (as Qt's own lock class decides).
        const bool live = pid && processAlive(*pid) && runsProgram(*pid, lockFileProgram(contents));
        if (live) {
            holder.kind = LockHolder::Kind::Live;
            holder.name = processName(*pid);
        }
        // The program ended without removing its lock.
        const bool stale = pid && !live && removeStaleLock(path, fd, contents);
        ::close(fd);
        if (!stale)
            return holder;
    }
    return {};
}

bool removeStaleLock(const QString& path, int fd, const QByteArray& contents)
{
    // A Qt program keeps a flock on its lock file for as long as it runs.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return false;
    const QByteArray from = QFile::encodeName(path);
    const QByteArray aside = from + ".stale." + QByteArray::number(qint64(::getpid()));
    if (::rename(from.constData(), aside.constData()) != 0)
        return false;
    struct stat read {
    }, moved{};
    char buffer[256];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
    const bool same = ::fstat(fd, &read) == 0 && ::lstat(aside.constData(), &moved) == 0 &&
                      read.st_dev == moved.st_dev && read.st_ino == moved.st_ino &&
                      QByteArray(buffer, qMax<ssize_t>(n, 0)) == contents;
    if (same)
        return ::unlink(aside.constData()) == 0;
    // Another program's lock, written since the read: back where it was,
    // unless a newer one is there by now.
    if (::link(aside.constData(), from.constData()) == 0)
        ::unlink(aside.constData());
    return false;
}

LockHolder lockedBy(const QString& device)
{
    struct stat st {
    };
    QFile locks(QStringLiteral("/proc/locks"));
    if (::stat(QFile::encodeName(device).constData(), &st) != 0 || !locks.open(QIODevice::ReadOnly))
        return {};
    // "1: FLOCK  ADVISORY  WRITE 4242 00:19:5 0 EOF": major and minor of the
    // file system in hex, then the inode. flock(2) and fcntl(2) locks alike
    // (FLOCK, POSIX; an OFDLCK names no process); "->" lines are waiters.
    const QByteArray where = QByteArray::number(major(st.st_dev), 16).rightJustified(2, '0') + ':' +
                             QByteArray::number(minor(st.st_dev), 16).rightJustified(2, '0') + ':' +
                             QByteArray::number(quint64(st.st_ino));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() < 6 || f[5] != where ||
            (f[1] != "FLOCK" && f[1] != "POSIX" && f[1] != "OFDLCK"))
            continue;
        const qint64 pid = qMax(f[4].toLongLong(), 0LL);
        return {LockHolder::Kind::Live, pid, processName(pid), {}};
    }
    return {};
}

LockHolder terminalOf(const QString& device)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return {};
    // The device number as /proc/PID/stat gives a controlling terminal.
    const quint64 tty = (minor(st.st_rdev) & 0xff) | (major(st.st_rdev) << 8) |
                        ((minor(st.st_rdev) & ~0xffu) << 12);
    qint64 first = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!number || (first && pid > first) || !stat.open(QIODevice::ReadOnly))
            continue;
        // "PID (name) state ppid pgrp session tty_nr …"; the name may hold spaces.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (f.size() > 4 && f[4].toULongLong() == tty)
            first = pid;
    }
    if (!first)
        return {};
    return {LockHolder::Kind::Live, first, processName(first), {}};
}

namespace
{

// The pseudo-terminal whose master an open /dev/ptmx descriptor is, as the
// kernel tells in the descriptor's fdinfo ("tty-index:	3").
std::optional<unsigned> ptyIndexOf(qint64 pid, const char* fd)
{
    QFile info(QStringLiteral("/proc/%1/fdinfo/%2").arg(pid).arg(QLatin1String(fd)));
    if (!info.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : info.readAll().split('\n')) {
        if (line.startsWith("tty-index:")) {
            bool ok = false;
            const unsigned index = line.mid(10).trimmed().toUInt(&ok);
            if (ok)
                return index;
        }
    }
    return std::nullopt;
}

} // namespace

LockHolder openerOf(const QString& device, int* unseen)
{
    struct stat dev {
    };
    const QByteArray path = QFile::encodeName(device);
    if (::stat(path.constData(), &dev) != 0 || !S_ISCHR(dev.st_mode))
        return {};
    // Unix98 pseudo-terminal slaves: one major number, the index as minor.
    constexpr unsigned kPtySlaveMajor = 136;
    const bool pty = major(dev.st_rdev) == kPtySlaveMajor;
    QSet<qint64> farSide;
    QList<qint64> openers;
    int hidden = 0;
    const qint64 self = ::getpid();
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == self)
            continue;
        DIR* fds = ::opendir(QFile::encodeName(QStringLiteral("/proc/%1/fd").arg(pid)).constData());
        if (!fds) {
            hidden += errno == EACCES ? 1 : 0;
            continue;
        }
        while (const dirent* e = ::readdir(fds)) {
            char link[PATH_MAX];
            const ssize_t n = ::readlinkat(::dirfd(fds), e->d_name, link, sizeof link - 1);
            if (e->d_name[0] == '.' || n <= 0)
                continue;
            const QByteArray target(link, n);
            // Sockets, pipes and files are not looked at further.
            if (target != path && !target.startsWith("/dev/"))
                continue;
            if (pty && target.endsWith("/ptmx")) {
                if (ptyIndexOf(pid, e->d_name) == minor(dev.st_rdev))
                    farSide.insert(pid);
                continue;
            }
            struct stat st {
            };
            if (::fstatat(::dirfd(fds), e->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode) &&
                st.st_rdev == dev.st_rdev)
                openers.append(pid);
        }
        ::closedir(fds);
    }
    if (unseen)
        *unseen = hidden;
    for (const qint64 pid : openers)
        if (!farSide.contains(pid))
            return {LockHolder::Kind::Live, pid, processName(pid), {}};
    return {};
}

bool writeOwnLock(const QString& device)
{
    // The lock Qt's serial port took in its own form, wherever it put it:
    // found by this process's PID, so no copy of Qt's choice of folder is
    // needed to find it.
    QFile file;
    for (const QString& folder : lockFolders()) {
        file.setFileName(folder + QLatin1Char('/') + lockName(device));
        if (file.open(QIODevice::ReadWrite) && lockFilePid(file.read(256)) == ::getpid())
            break;
        file.close();
    }
    if (!file.isOpen())
        return false;
    // Written over Qt's lines first and cut to length after, so the file is
    // never empty on the way, whenever the program is stopped: an empty lock
    // names nobody and keeps every program off the port.
    const QByteArray pid = QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n';
    return ::pwrite(file.handle(), pid.constData(), size_t(pid.size()), 0) == pid.size() &&
           ::ftruncate(file.handle(), pid.size()) == 0;
}

} // namespace orva

namespace orva
{

DeviceLock::~DeviceLock()
{
    if (m_probe >= 0)
        ::close(m_probe);
}

std::optional<SerialError> DeviceLock::unlockable(const QString& where) const
{
    // Serial programs lock a device by a file named after its path.
    if (lockName(m_device).size() > NAME_MAX)
        return SerialError(
            QStringLiteral("%1: the device's path is too long to lock (%2 characters).")
                .arg(where)
                .arg(m_device.size()),
            QStringLiteral("A lock file's name holds at most %1 characters of the path: give the "
                           "device a shorter one.")
                .arg(NAME_MAX - 5));
    if (ownLockPath(m_device).isEmpty())
        return SerialError(QStringLiteral("%1: no folder for lock files may be written (%2).")
                               .arg(where, lockFolders().join(QStringLiteral(", "))));
    return std::nullopt;
}

LockHolder DeviceLock::holder()
{
    if (const LockHolder holder = checkLockFiles(m_device); holder.holds())
        return holder;
    // A session's terminal (a shell's pty, a console's getty) is in use
    // without any lock.
    if (const LockHolder holder = terminalOf(m_device); holder.holds())
        return holder;
    // Whatever convention another program follows, or none: a device it has
    // open is its own.
    if (const LockHolder holder = openerOf(m_device, &m_unseen); holder.holds())
        return holder;
    // /proc/locks names the holders of flock and fcntl locks of every user.
    if (const LockHolder holder = lockedBy(m_device); holder.holds() && holder.pid != ::getpid())
        return holder;
    // A look at the device before Qt sets its line up: another program's
    // flock, or its exclusive use, leaves it untouched.
    m_probe =
        ::open(QFile::encodeName(m_device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_probe < 0 && errno == EBUSY)
        return refusedBy();
    if (m_probe >= 0 && ::flock(m_probe, LOCK_EX | LOCK_NB) != 0)
        return lockedBy(m_device);
    return {};
}

LockHolder DeviceLock::hold(int fd)
{
    // The look's flock is let go for the port's own.
    if (m_probe >= 0)
        ::close(m_probe);
    m_probe = -1;
    // Held for as long as the port is open: picocom and the like look for it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return lockedBy(m_device);
    writeOwnLock(m_device);
    return {};
}

LockHolder DeviceLock::refusedBy()
{
    if (const LockHolder holder = checkLockFiles(m_device); holder.holds())
        return holder;
    const LockHolder holder = lockedBy(m_device);
    // In exclusive use by a process this user cannot see: said so, not guessed.
    if (!holder.holds() && m_unseen > 0)
        return {LockHolder::Kind::Live,
                0,
                QStringLiteral("a process of another user (this user cannot see which)"),
                {}};
    return holder;
}

} // namespace orva
