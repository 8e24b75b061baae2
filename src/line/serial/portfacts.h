// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line/line.h"

#include <QString>
#include <QtGlobal>

#include <functional>

namespace orva
{

// What the system says about a device that would not open, gathered so the
// message can name the real cause and the cure that applies on this machine.
struct DeviceFacts {
    QString device;
    bool exists = false;
    QString owner;
    QString group;
    // The device's mode lets its group read and write it.
    bool groupMayUse = false;
    // This user owns it, and its mode lets the owner read and write it.
    bool ownedByMe = false;
    bool ownerMayUse = false;
    // This process runs with that group.
    bool inGroupNow = false;
    // The user is listed in that group, so a new login would have it.
    bool inGroupListed = false;
};

DeviceFacts probeDevice(const QString& device);
// Refused when this process may not read and write it, Busy otherwise.
OpenFailure classifyDenied(const QString& device);
// The hint shown under the reason; where names the port as the user set it up.
QString openHint(OpenFailure failure, const QString& where, const DeviceFacts& facts);

// The kernel's driver for a serial line or pseudo-terminal by its device
// number, from /proc/tty/drivers ("pty_slave /dev/pts 136 0-1048575
// pty:slave"): empty for anything else, so a device can be told without
// opening it (an open can have effects of its own: a tape rewinds).
QString serialDriver(quint64 rdev);

// What a device is, to tell the device a port lost from another one that
// turns up at the same place.
struct DeviceIdentity {
    // A terminal device at all: a UART, a USB adapter, a pseudo-terminal.
    bool serial = false;
    // The kernel's driver for it: "ftdi_sio", "serial8250", "pty_slave".
    QString driver;
    // On USB: the adapter's ids and serial number, maker and product.
    quint16 vendor = 0;
    quint16 product = 0;
    QString serialNumber;
    QString maker;
    QString description;
    // The kernel's driver by device number ("usbserial", "pty_slave").
    QString kernelDriver;
    // False when only the kernel's facts could be read (the device went at
    // once after it opened): its USB ids are not known.
    bool complete = true;

    bool isUsb() const { return vendor != 0 || product != 0; }
    // Its number is handed to whichever program asks for a new one next.
    bool isPty() const { return driver == QLatin1String("pty_slave"); }
};
using IdentityReader = std::function<DeviceIdentity(const QString& device)>;

// Reads what the device is, through the reader set last (the system's by
// default: sysfs, /proc/tty/drivers and QSerialPortInfo).
DeviceIdentity readIdentity(const QString& device);
// What an open descriptor is: the kernel's facts from the descriptor itself,
// so they are there even when the device has gone by now, and the rest read
// for the device while it is still the one opened.
DeviceIdentity openedIdentity(int fd, const QString& device);
// Tests put a reader of their own here; an empty one restores the system's.
void setIdentityReader(IdentityReader reader);
// Whether a device found at the port's path may be reopened by itself in
// place of the lost one: a USB adapter with the same ids and serial number
// (at the same device when it has no serial number); anything else the same
// driver, at the same path, as the watch looks at one path only. A device
// whose USB ids were never read is taken back only as the same kind at the
// same device.
bool sameDevice(const DeviceIdentity& lost, const QString& lostDevice, const DeviceIdentity& now,
                const QString& nowDevice);

} // namespace orva
