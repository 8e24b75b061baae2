// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line/line.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

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

// What an open says when it fails, reason and hint; empty when it opened.
template <typename Open> QString openFailure(Open&& open)
{
    try {
        open();
    } catch (const orva::SerialError& e) {
        return e.reason() + '\n' + e.hint();
    }
    return {};
}

// A reference table of tests/data: tab-separated, "#" lines are comments and
// the last comment holding tabs names the columns. Cells are never trimmed.
using Row = QHash<QString, QString>;
inline QList<Row> readTable(const QString& file)
{
    QFile f(QStringLiteral(ORVA_TEST_DATA "/") + file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read %s", qPrintable(f.fileName()));
    QStringList columns;
    QList<Row> rows;
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)) {
        const QStringList cells = line.split('\t');
        if (line.startsWith('#') && cells.size() > 1)
            columns = line.mid(2).split('\t');
        // A data line opens a new row at its first cell.
        for (qsizetype i = 0; !line.startsWith('#') && i < columns.size(); ++i)
            (i ? rows.last() : rows.emplace_back())[columns[i]] = cells.value(i);
    }
    return rows;
}

// A data function's rows: one per table row, tagged by the given columns.
inline void tableRows(const QString& file, const QStringList& tag)
{
    QTest::addColumn<Row>("design");
    for (const Row& r : readTable(file)) {
        QStringList words;
        for (const QString& column : tag)
            words << r[column];
        QTest::newRow(qPrintable(words.join(' '))) << r;
    }
}
