// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/portmap.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace orva
{

namespace
{

bool isLink(const QString& path)
{
    return QFileInfo(path).isSymLink();
}

} // namespace

QString PortRoute::describe() const
{
    const QString end = device.isEmpty() ? QFileInfo(through).symLinkTarget() : device;
    if (link.isEmpty() || end.isEmpty() || end == through)
        return QStringLiteral("COM%1 (%2)").arg(portNo).arg(through);
    return QStringLiteral("COM%1 (%2 \u2192 %3)").arg(portNo).arg(link, end);
}

QString PortMap::portsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ORVA/ports");
}

QString PortMap::linkPath(int portNo)
{
    return portsFolder() + QStringLiteral("/COM") + QString::number(portNo);
}

QString PortMap::defaultDevice(int portNo)
{
    if (portNo >= 1 && portNo <= 4)
        return QStringLiteral("/dev/ttyS") + QString::number(portNo - 1);
    if (portNo >= 5 && portNo <= 10)
        return QStringLiteral("/dev/ttyUSB") + QString::number(portNo - 5);
    if (portNo >= 11 && portNo <= 15)
        return QStringLiteral("/dev/ttyACM") + QString::number(portNo - 11);
    return {};
}

QString PortMap::devicePath(int portNo)
{
    const QString link = linkPath(portNo);
    // A dangling link still names the user's intent; opening it reports why.
    if (isLink(link) || QFileInfo::exists(link))
        return link;
    return defaultDevice(portNo);
}

PortRoute PortMap::route(int portNo)
{
    return routeThrough(portNo, devicePath(portNo));
}

PortRoute PortMap::routeThrough(int portNo, const QString& through)
{
    PortRoute r;
    r.portNo = portNo;
    r.through = through;
    if (through == linkPath(portNo) || isLink(through))
        r.link = through;
    r.device = QFileInfo(through).canonicalFilePath();
    return r;
}

QString PortMap::describe(int portNo)
{
    const PortRoute r = route(portNo);
    if (r.through.isEmpty())
        return QStringLiteral("COM%1: no device").arg(portNo);
    QString text = r.describe();
    if (r.device.isEmpty())
        text += QStringLiteral(" (not present)");
    return text;
}

} // namespace orva
