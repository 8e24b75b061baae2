#pragma once

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Points the settings store and the ports folder at a private folder. Call
// before the first QSettings use: the store caches its location per process.
inline QTemporaryDir& isolatedConfigHome()
{
    static QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    return dir;
}

inline QString configFile()
{
    return isolatedConfigHome().path() + "/ORVA/ORVA.conf";
}

inline void writeConfig(const QByteArray& content)
{
    QDir().mkpath(isolatedConfigHome().path() + "/ORVA");
    QFile f(configFile());
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(content);
    // QSettings keeps a parsed copy while the file's size and time look the
    // same; rewrites within one second would otherwise read stale values.
    f.flush();
    static int rewrites = 0;
    f.setFileTime(QDateTime::currentDateTime().addSecs(++rewrites),
                  QFileDevice::FileModificationTime);
}
