// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace orva::bench
{

// A start-up on a network port whose server takes the connection and says
// nothing: the time from Form1::start() until the connecting window is
// exposed, over a few starts, each given up. Prints the figures. Uses the
// settings folder XDG_CONFIG_HOME names, and its COM9.
void printConnectingWindow();

} // namespace orva::bench
