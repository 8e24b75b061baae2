// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/serial/portfacts.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

DeviceFacts probeDevice(const QString& device)
{
    DeviceFacts facts;
    facts.device = device;
    struct stat st {
    };
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return facts;
    facts.exists = true;
    if (const passwd* owner = ::getpwuid(st.st_uid))
        facts.owner = QString::fromLocal8Bit(owner->pw_name);
    facts.groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    facts.ownedByMe = st.st_uid == ::geteuid();
    facts.ownerMayUse = (st.st_mode & (S_IRUSR | S_IWUSR)) == (S_IRUSR | S_IWUSR);
    facts.inGroupNow = processHasGroup(st.st_gid);
    if (const group* g = ::getgrgid(st.st_gid)) {
        facts.group = QString::fromLocal8Bit(g->gr_name);
        facts.inGroupListed = userListedIn(*g);
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
        return QStringLiteral("Close that program, or choose another port.");
    case OpenFailure::Refused:
        break;
    }
    const QString denied = QStringLiteral("Permission denied on %1: ").arg(where);
    // Its owner's own mode shuts the owner out: no group or administrator
    // is needed.
    if (f.ownedByMe && !f.ownerMayUse)
        return denied + QStringLiteral("it is yours, but its mode lets nobody read and write it: "
                                       "chmod u+rw %1")
                            .arg(f.device);
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

QString serialDriver(quint64 rdev)
{
    QFile drivers(QStringLiteral("/proc/tty/drivers"));
    if (!drivers.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : drivers.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        // /dev/tty, /dev/console, /dev/ptmx ("system") and the virtual
        // consoles are terminals but no line to a projector.
        if (f.size() < 5 || f[2].toUInt() != major(rdev) ||
            (!f[4].startsWith("serial") && f[4] != "pty:slave"))
            continue;
        const QList<QByteArray> range = f[3].split('-');
        const unsigned first = range.first().toUInt();
        const unsigned last = range.last().toUInt();
        if (minor(rdev) >= first && minor(rdev) <= last)
            return QString::fromLatin1(f[0]);
    }
    return {};
}

namespace
{

DeviceIdentity systemIdentity(const QString& device)
{
    DeviceIdentity id;
    struct stat st {
    };
    if (::stat(QFile::encodeName(device).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return id;
    const QString kernel = serialDriver(st.st_rdev);
    id.kernelDriver = kernel;
    id.serial = !kernel.isEmpty();
    if (!id.serial)
        return id;
    const QString sys =
        QStringLiteral("/sys/class/tty/%1/device/driver").arg(QFileInfo(device).fileName());
    id.driver = QFileInfo(QFileInfo(sys).symLinkTarget()).fileName();
    // A pseudo-terminal has no device of its own, so no USB identity either.
    if (id.driver.isEmpty()) {
        id.driver = kernel;
        return id;
    }
    const QSerialPortInfo info(device);
    if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
        id.vendor = info.vendorIdentifier();
        id.product = info.productIdentifier();
        id.serialNumber = info.serialNumber();
        id.maker = info.manufacturer();
        id.description = info.description();
    }
    return id;
}

IdentityReader& identityReader()
{
    static IdentityReader reader = systemIdentity;
    return reader;
}

} // namespace

DeviceIdentity readIdentity(const QString& device)
{
    return identityReader()(device);
}

DeviceIdentity openedIdentity(int fd, const QString& device)
{
    struct stat opened {
    };
    if (::fstat(fd, &opened) != 0)
        return {};
    const DeviceIdentity read = readIdentity(device);
    struct stat now {
    };
    if (read.serial && ::stat(QFile::encodeName(device).constData(), &now) == 0 &&
        now.st_rdev == opened.st_rdev)
        return read;
    DeviceIdentity id;
    id.kernelDriver = serialDriver(opened.st_rdev);
    id.serial = !id.kernelDriver.isEmpty();
    id.driver = id.kernelDriver;
    // A pseudo-terminal has nothing more to read.
    id.complete = id.isPty();
    return id;
}

void setIdentityReader(IdentityReader reader)
{
    identityReader() = reader ? std::move(reader) : IdentityReader(systemIdentity);
}

bool sameDevice(const DeviceIdentity& lost, const QString& lostDevice, const DeviceIdentity& now,
                const QString& nowDevice)
{
    if (!now.serial)
        return false;
    if (!lost.complete)
        return lost.kernelDriver == now.kernelDriver && lostDevice == nowDevice;
    if (lost.isUsb() || now.isUsb())
        return lost.vendor == now.vendor && lost.product == now.product &&
               lost.serialNumber == now.serialNumber &&
               (!lost.serialNumber.isEmpty() || lostDevice == nowDevice);
    return lost.driver == now.driver;
}

} // namespace orva
