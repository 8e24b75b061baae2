// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace orva
{

// The values every window shares: the last composed command and the serial
// choice in use, with the copies the COM button takes for a later Cancel.
struct ProgramValues {
    QByteArray CommandText;
    qint16 PortNo = 0;
    quint8 BaudCode = 0;
    qint16 PrevPortNo = 0;
    quint8 PrevBaudCode = 0;
};

// The port numbers there are: COM1 to COM15.
constexpr qint16 kFirstPort = 1;
constexpr qint16 kLastPort = 15;

inline bool isValidPort(qint16 port)
{
    return port >= kFirstPort && port <= kLastPort;
}

// Any rate code other than 96 means 19200 bit/s wherever a rate is applied.
inline QString settingsText(quint8 baudCode)
{
    return baudCode == 96 ? QStringLiteral("9600,N,8,1") : QStringLiteral("19200,N,8,1");
}

} // namespace orva
