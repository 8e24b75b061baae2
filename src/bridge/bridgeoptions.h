// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

namespace orva
{

// What orva-pjlink's command line asks for.
struct BridgeOptions {
    enum class Action { Serve, Exit };
    Action action = Action::Serve;
    qint16 portNo = 0;
    // 96 is 9600 bit/s; anything else 19200, as for the panel.
    quint8 baudCode = 192;
    QHostAddress address = QHostAddress::Any;
    quint16 port = 4352;
    QString passwordFile;
    QByteArray name;
    // Where status notifications go besides the controllers that call.
    QList<QHostAddress> notify;
    // Printed on standard output when exitCode is 0, else on standard error.
    QString text;
    int exitCode = 0;
};

BridgeOptions parseBridgeCommandLine(const QStringList& arguments);

// "ADDRESS:PORT", "[IPv6]:PORT", ":PORT" or an address alone (port 4352).
// False when it is none of these.
bool parseListen(const QString& text, QHostAddress* address, quint16* port);

// The password in the file's first line. Empty, with why in *error, when the
// file cannot be read, others may read it, or it holds no PJLink password
// (1 to 32 printable ASCII characters).
QByteArray readPasswordFile(const QString& path, QString* error);

} // namespace orva
