// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line.h"

#include <memory>

namespace orva
{

// The line for COM port n, decided from what ports/COMn is (or is not).
std::unique_ptr<Line> makeLine(int portNo);

} // namespace orva
