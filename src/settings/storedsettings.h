// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

namespace orva
{

// The per-user settings store: QSettings in the native format under
// organization and application "ORVA", so the file is
// $XDG_CONFIG_HOME/ORVA/ORVA.conf with a [StartUP] group.
class SettingsStore
{
  public:
    static QString get(const QString& section, const QString& key, const QString& defaultText);
    // Returns why the text could not be stored, or an empty text.
    static QString save(const QString& section, const QString& key, const QString& text);
    // Why the store's files cannot be used at all (one that is not a regular
    // file would block QSettings on reading), or an empty text. Checked
    // before QSettings touches them.
    static QString unusable();
};

// Start-up reading of the stored choice. A port number that is not a number,
// or does not fit 16 bits, reads as 0 (no port chosen).
qint16 storedPortNo();
// Anything but 96 means 19200 bit/s, i.e. code 192.
quint8 storedBaudCode();

// What OK writes: "ComPort" then "BaudRate", in decimal digits. Returns why
// the choice could not be kept, or an empty text.
QString storeChoice(qint16 portNo, quint8 baudCode);

} // namespace orva
