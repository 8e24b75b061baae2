#include "portmap.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace orva
{

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
    if (QFileInfo(link).isSymLink() || QFileInfo::exists(link))
        return link;
    return defaultDevice(portNo);
}

QString PortMap::describe(int portNo)
{
    const QString path = devicePath(portNo);
    if (path.isEmpty())
        return QStringLiteral("COM%1: no device").arg(portNo);
    const QFileInfo info(path);
    QString text = QStringLiteral("COM%1 \u2192 %2").arg(portNo).arg(path);
    if (info.isSymLink())
        text += QStringLiteral(" \u2192 ") + info.symLinkTarget();
    if (!info.exists())
        text += QStringLiteral(" (not present)");
    return text;
}

} // namespace orva
