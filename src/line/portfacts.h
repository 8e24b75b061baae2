// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line/line.h"

#include <QString>
#include <QtGlobal>

namespace orva
{

// What the system says about a device that would not open, gathered so the
// message can name the real cause and the cure that applies on this machine.
struct DeviceFacts {
    bool exists = false;
    QString owner;
    QString group;
    // The device's mode lets its group read and write it.
    bool groupMayUse = false;
    // This process runs with that group.
    bool inGroupNow = false;
    // The user is listed in that group, so a new login would have it.
    bool inGroupListed = false;
    // A live lock file on the device: its process and that process's name.
    qint64 lockPid = 0;
    QString lockHolder;
};

DeviceFacts probeDevice(const QString& device);
// Refused when this process may not read and write it, Busy otherwise.
OpenFailure classifyDenied(const QString& device);
// The hint shown under the reason; where names the port as the user set it up.
QString openHint(OpenFailure failure, const QString& where, const DeviceFacts& facts);
// Where QSerialPort keeps the lock file for a device, as it searches for one.
QString lockFilePath(const QString& device);

} // namespace orva
