// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/lines.h"

#include "line/net/netaddress.h"
#include "line/portmap.h"
#include "line/serial/serialline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include <optional>

namespace orva
{

namespace
{

// An address is one short line; a longer file is not one and is not read in
// whole.
constexpr qint64 kPortFileLimit = 1024;

// What ports/COMn holds when it is a regular file, read through any links;
// nothing when it is absent or a device (or a FIFO, which would block).
std::optional<QByteArray> portFile(int portNo)
{
    const QString path = PortMap::linkPath(portNo);
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SerialError(
            QStringLiteral("COM%1 (%2): %3").arg(portNo).arg(path, file.errorString()),
            QStringLiteral("Make the file readable, or remove it to use the COM "
                           "table's device."),
            OpenFailure::Refused);
    return file.read(kPortFileLimit);
}

// The address ports/COMn names, when it is a file; SerialError when that file
// names none.
std::optional<NetAddress> netAddress(int portNo)
{
    const std::optional<QByteArray> text = portFile(portNo);
    if (!text)
        return std::nullopt;
    QString why;
    const std::optional<NetAddress> address = NetAddress::parse(QString::fromUtf8(*text), &why);
    if (address)
        return address;
    QString shown = QString::fromUtf8(text->left(60)).simplified();
    for (QChar& c : shown)
        if (!c.isPrint())
            c = QChar(u'?');
    throw SerialError(QStringLiteral("COM%1: %2 holds \"%3\": %4")
                          .arg(portNo)
                          .arg(PortMap::linkPath(portNo), shown, why),
                      QStringLiteral("Write one line such as rfc2217://gateway:2217 or "
                                     "socket://gateway:4001 in it, or make it a link to a serial "
                                     "device."),
                      OpenFailure::Missing);
}

NetLineMaker& netLineMaker()
{
    static NetLineMaker maker = nullptr;
    return maker;
}

// The network module: beside the program in a build folder, else in the
// library folder it is installed to, found from the program's own. Loaded
// once and kept.
NetLineMaker loadNetLineMaker(const QString& port)
{
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString installed =
        QDir::cleanPath(bin.filePath(QStringLiteral(ORVA_MODULE_FROM_BIN "/" ORVA_NET_MODULE)));
    for (const QString& path : {bin.filePath(QStringLiteral(ORVA_NET_MODULE)), installed}) {
        if (!QFileInfo::exists(path))
            continue;
        QLibrary module(path);
        if (const auto maker = NetLineMaker(module.resolve("orva_make_net_line")))
            return maker;
        throw SerialError(QStringLiteral("%1: the network part would not load: %2")
                              .arg(port, module.errorString()),
                          QStringLiteral("Install orva-control again."), OpenFailure::Missing);
    }
    throw SerialError(
        QStringLiteral("%1: the network part of orva-control is missing: %2").arg(port, installed),
        QStringLiteral("Install orva-control again: its package brings that file."),
        OpenFailure::Missing);
}

} // namespace

void setNetLineMaker(NetLineMaker maker)
{
    netLineMaker() = maker;
}

std::unique_ptr<Line> makeLine(int portNo)
{
    if (const std::optional<NetAddress> address = netAddress(portNo)) {
        NetLineMaker& maker = netLineMaker();
        if (!maker)
            maker = loadNetLineMaker(QStringLiteral("COM%1 (%2)").arg(portNo).arg(address->url()));
        return std::unique_ptr<Line>(maker(portNo, *address));
    }
    return std::make_unique<SerialLine>(portNo);
}

QString describePort(int portNo)
{
    try {
        if (const std::optional<NetAddress> address = netAddress(portNo))
            return QStringLiteral("COM%1 (%2)").arg(portNo).arg(address->url());
    } catch (const SerialError& e) {
        return e.reason();
    }
    return PortMap::describe(portNo);
}

} // namespace orva
