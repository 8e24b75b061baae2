// SPDX-License-Identifier: GPL-3.0-or-later
#include "lines.h"

#include "serialline.h"

namespace orva
{

std::unique_ptr<Line> makeLine(int portNo)
{
    // Every port is a serial device on this machine: a link in ports/, or the
    // COM table's device.
    return std::make_unique<SerialLine>(portNo);
}

} // namespace orva
