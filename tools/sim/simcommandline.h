// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "projectormodel.h"
#include "ptypeer.h"

#include <QString>
#include <QStringList>

namespace orva::sim
{

// What the simulator's command line asks for, read in the conventions of the
// panel's own: --help and --version print and end with 0, a usage error
// prints one line and the usage on standard error and ends with 2.
struct SimCommandLine {
    bool run = true;
    // When run is false: printed on standard output for exitCode 0, else on
    // standard error.
    QString text;
    int exitCode = 0;

    FaultOptions faults;
    ProjectorModel::Options model;
    // 0: no --com. Else 1 to 15, the ports the panel knows.
    int comNumber = 0;
    QString linkPath;
    bool log = false;
};

// Reads the arguments (the program name first).
SimCommandLine parseSimCommandLine(const QStringList& arguments);

} // namespace orva::sim
