#pragma once

#include <QString>

namespace orva
{

// Where COM port n leads. A link named COMn in the user's ports folder wins
// (any serial device: a USB adapter by id, a pseudo-terminal, a socat
// bridge); otherwise COM1-COM4 are the legacy UARTs /dev/ttyS0-3, COM5-COM10
// the USB adapters /dev/ttyUSB0-5 and COM11-COM15 the CDC-ACM adapters
// /dev/ttyACM0-4.
class PortMap
{
  public:
    static QString portsFolder();
    static QString linkPath(int portNo);
    static QString defaultDevice(int portNo);
    static QString devicePath(int portNo);
    // One line for the user: where the choice leads and whether it is there.
    static QString describe(int portNo);
};

} // namespace orva
