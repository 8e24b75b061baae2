// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace orva::bench
{

// The PJLink bridge on a far side of its own at COM portNo: a request's round
// trip against the projector's own answer on the same line, the first request
// after the line was let go, the release, and the CPU while idle. Printed.
void printPjlinkFigures(int portNo);

} // namespace orva::bench
