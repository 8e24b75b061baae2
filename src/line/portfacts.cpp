// SPDX-License-Identifier: GPL-3.0-or-later
#include "portfacts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orva
{

namespace
{

bool processHasGroup(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(qMax(count, 0)));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[size_t(i)] == gid)
            return true;
    return false;
}

bool userListedIn(const group& g)
{
    const passwd* me = ::getpwuid(::getuid());
    if (!me)
        return false;
    if (me->pw_gid == g.gr_gid)
        return true;
    for (char** member = g.gr_mem; member && *member; ++member)
        if (qstrcmp(*member, me->pw_name) == 0)
            return true;
    return false;
}

} // namespace

QString lockFilePath(const QString& device)
{
    // QSerialPort's own search order for a lock folder it may write.
    const QStringList folders = {
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
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString& folder : folders) {
        const QFileInfo info(folder);
        if (info.isReadable() && info.isWritable())
            return folder + QStringLiteral("/LCK..") + name;
    }
    return {};
}

DeviceFacts probeDevice(const QString& device)
{
    DeviceFacts facts;
    struct stat st {
    };
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return facts;
    facts.exists = true;
    if (const passwd* owner = ::getpwuid(st.st_uid))
        facts.owner = QString::fromLocal8Bit(owner->pw_name);
    facts.groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    facts.inGroupNow = processHasGroup(st.st_gid);
    if (const group* g = ::getgrgid(st.st_gid)) {
        facts.group = QString::fromLocal8Bit(g->gr_name);
        facts.inGroupListed = userListedIn(*g);
    }
    QFile lock(lockFilePath(device));
    if (lock.open(QIODevice::ReadOnly)) {
        const qint64 pid = lock.readLine().trimmed().toLongLong();
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (pid > 0 && comm.open(QIODevice::ReadOnly)) {
            facts.lockPid = pid;
            facts.lockHolder = QString::fromLocal8Bit(comm.readAll().trimmed());
        }
    }
    return facts;
}

OpenFailure classifyDenied(const QString& device)
{
    // Qt reports a busy device and a refused one alike.
    if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0)
        return OpenFailure::Refused;
    return OpenFailure::Busy;
}

QString openHint(OpenFailure failure, const QString& where, const DeviceFacts& f)
{
    switch (failure) {
    case OpenFailure::Missing:
        return QStringLiteral("%1 does not exist: is the adapter plugged in?").arg(where);
    case OpenFailure::Busy:
        if (f.lockPid > 0)
            return QStringLiteral("%1 is busy: %2 (PID %3) holds it.")
                .arg(where, f.lockHolder)
                .arg(f.lockPid);
        return QStringLiteral("%1 is busy: another program holds it.").arg(where);
    case OpenFailure::Refused:
        break;
    }
    const QString denied = QStringLiteral("Permission denied on %1: ").arg(where);
    if (!f.groupMayUse || f.group.isEmpty() || f.group == QLatin1String("root"))
        return denied + QStringLiteral("only %1 may open it; ask your administrator for a udev "
                                       "rule that gives it to a group of yours.")
                            .arg(f.owner.isEmpty() ? QStringLiteral("its owner") : f.owner);
    if (f.inGroupListed && !f.inGroupNow)
        return denied + QStringLiteral("you are in the %1 group since this login; log out and in "
                                       "again.")
                            .arg(f.group);
    if (f.group == QLatin1String("dialout"))
        return denied + QStringLiteral("add your user to the dialout group "
                                       "(sudo adduser $USER dialout) and log in again.");
    return denied + QStringLiteral("it belongs to the %1 group; add your user to it "
                                   "(sudo adduser $USER %1) and log in again.")
                        .arg(f.group);
}

} // namespace orva
