// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The panel's resident memory against a bare Qt Widgets window with as many
// buttons, each in a process of its own on the same display.
namespace orva::bench
{

// Starts both, a few times in turn, and prints the figures: the panel on a
// local port (a pseudo-terminal), idle, and whether it has QtNetwork loaded.
void printMemory();

} // namespace orva::bench
