// SPDX-License-Identifier: GPL-3.0-or-later
#include "storedsettings.h"

#include "numbers.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <memory>

namespace orva
{

namespace
{

const QString kApplication = QStringLiteral("ORVA");
const QString kSection = QStringLiteral("StartUP");

std::unique_ptr<QSettings> openStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kApplication,
                                       kApplication);
}

// Why a store file that QSettings could not write was not written.
QString whyNotWritten(const QString& path)
{
    const QFileInfo file(path);
    QFileInfo folder(file.absolutePath());
    while (!folder.exists() && folder.absoluteFilePath() != QDir::rootPath())
        folder.setFile(folder.absolutePath());
    if (file.exists() && !file.isFile())
        return QStringLiteral("%1 is not a regular file").arg(path);
    if (!folder.isDir())
        return QStringLiteral("%1 is not a folder").arg(folder.absoluteFilePath());
    if (file.exists() && !file.isWritable())
        return QStringLiteral("%1 is read-only").arg(path);
    if (!folder.isWritable())
        return QStringLiteral("the folder %1 cannot be written").arg(folder.absoluteFilePath());
    return QStringLiteral("%1 could not be written").arg(path);
}

} // namespace

QString SettingsStore::unusable()
{
    // Every file QSettings reads for this organization and application.
    for (const QString& dir :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        for (const QString& name :
             {QStringLiteral("/ORVA/ORVA.conf"), QStringLiteral("/ORVA.conf")}) {
            const QFileInfo file(dir + name);
            if (file.exists() && !file.isFile())
                return QStringLiteral("%1 is not a regular file").arg(file.filePath());
        }
    return {};
}

QString SettingsStore::get(const QString& section, const QString& key, const QString& defaultText)
{
    if (!unusable().isEmpty())
        return defaultText;
    const auto store = openStore();
    store->beginGroup(section);
    const QVariant value = store->value(key);
    if (!value.isValid())
        return defaultText;
    // A hand-edited value with a comma comes back as a list; its text is the
    // joined list, as written.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

QString SettingsStore::save(const QString& section, const QString& key, const QString& text)
{
    if (const QString why = unusable(); !why.isEmpty())
        return why;
    const auto store = openStore();
    store->beginGroup(section);
    store->setValue(key, text);
    store->endGroup();
    store->sync();
    if (store->status() == QSettings::NoError)
        return {};
    return whyNotWritten(store->fileName());
}

qint16 storedPortNo()
{
    return leadingInt16(
               SettingsStore::get(kSection, QStringLiteral("ComPort"), QStringLiteral("DATAC")))
        .value_or(0);
}

quint8 storedBaudCode()
{
    const auto code = leadingByte(
        SettingsStore::get(kSection, QStringLiteral("BaudRate"), QStringLiteral("DATAb")));
    return code == 96 ? 96 : 192;
}

QString storeChoice(qint16 portNo, quint8 baudCode)
{
    const QString why =
        SettingsStore::save(kSection, QStringLiteral("ComPort"), QString::number(portNo));
    if (!why.isEmpty())
        return why;
    return SettingsStore::save(kSection, QStringLiteral("BaudRate"), QString::number(baudCode));
}

} // namespace orva
