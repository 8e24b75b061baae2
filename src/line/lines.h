// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line/line.h"

#include <memory>

namespace orva
{

// The line for COM port n, decided from what ports/COMn is (or is not): a
// file naming a serial port on a network server ("rfc2217://host:port",
// "socket://host:port") makes a network line, anything else a serial device.
// Throws SerialError, naming the file and what it holds, when such a file
// names no port.
std::unique_ptr<Line> makeLine(int portNo);

// One line for the user: where COM port n leads, looked up now.
QString describePort(int portNo);

} // namespace orva
