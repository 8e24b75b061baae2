#include "storedsettings.h"

#include "numbers.h"

#include <QSettings>
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

} // namespace

QString SettingsStore::get(const QString& section, const QString& key, const QString& defaultText)
{
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

void SettingsStore::save(const QString& section, const QString& key, const QString& text)
{
    const auto store = openStore();
    store->beginGroup(section);
    store->setValue(key, text);
    store->endGroup();
    store->sync();
}

QString SettingsStore::filePath()
{
    return openStore()->fileName();
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

void storeChoice(qint16 portNo, quint8 baudCode)
{
    SettingsStore::save(kSection, QStringLiteral("ComPort"), QString::number(portNo));
    SettingsStore::save(kSection, QStringLiteral("BaudRate"), QString::number(baudCode));
}

} // namespace orva
