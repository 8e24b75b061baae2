// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace orva
{

// The way to COM port n: the path opened through (the user's link, else the
// default device) and the device it leads to now.
struct PortRoute {
    int portNo = 0;
    QString through;
    // Empty when COMn has no link of the user's.
    QString link;
    // The real device with every link resolved; empty when the chain ends
    // nowhere.
    QString device;

    // "COM5 (/dev/ttyUSB0)" or "COM7 (…/ports/COM7 → /dev/pts/3)", naming the
    // link the user set up and where it ends.
    QString describe() const;
};

// Where COM port n leads. A link named COMn in the user's ports folder wins
// (any serial device: a USB adapter by id, a pseudo-terminal, a socat
// bridge), dangling or not; otherwise COM1-COM4 are the legacy UARTs
// /dev/ttyS0-3, COM5-COM10 the USB adapters /dev/ttyUSB0-5 and COM11-COM15
// the CDC-ACM adapters /dev/ttyACM0-4.
class PortMap
{
  public:
    static QString portsFolder();
    static QString linkPath(int portNo);
    static QString defaultDevice(int portNo);
    static QString devicePath(int portNo);
    static PortRoute route(int portNo);
    // The route along a path the port was opened through before.
    static PortRoute routeThrough(int portNo, const QString& through);
    // One line for the user: where the choice leads and whether it is there.
    static QString describe(int portNo);
};

} // namespace orva
