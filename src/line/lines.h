// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line/line.h"

#include <memory>

namespace orva
{

struct NetAddress;

// Makes the line for a serial port on a network server. The network part
// (QtNetwork and what it loads: libproxy, Kerberos …) is a module of its own,
// loaded when a network port is first opened, so a user of local ports never
// carries it. A program that links the network part gives its maker here
// instead.
using NetLineMaker = Line* (*)(int portNo, const NetAddress& address);
void setNetLineMaker(NetLineMaker maker);

// The line for COM port n, decided from what ports/COMn is (or is not): a
// file naming a serial port on a network server ("rfc2217://host:port",
// "socket://host:port") makes a network line, anything else a serial device.
// Throws SerialError, naming the file and what it holds, when such a file
// names no port.
std::unique_ptr<Line> makeLine(int portNo);

// One line for the user: where COM port n leads, looked up now.
QString describePort(int portNo);

} // namespace orva
