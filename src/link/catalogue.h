// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace orva
{

// One "C.." or "CR<digit>" command the panel can send. inBasicList marks the
// rows that the Basic Command console offers (in catalogue order).
struct CatalogueEntry {
    QByteArray command; // without the carriage return
    QString meaning;
    bool inBasicList = false;
    QString button; // object name of the main-window button, empty when none

    friend bool operator==(const CatalogueEntry&, const CatalogueEntry&) = default;
};

// Every control command and status read, in catalogue order.
const QList<CatalogueEntry>& controlCatalogue();

// The expanded reads and settings that main-window buttons send.
const QList<CatalogueEntry>& expandedButtonCatalogue();

// The 81 names of the expanded reads, in list order.
const QStringList& expandReadNames();

// Rows of the two console lists, exactly as shown.
const QStringList& basicCommandRows();
const QStringList& expandReadRows();

// The command a console row sends: the text before the row's first "[", or
// the whole row, followed by one carriage return.
QByteArray commandOfRow(const QString& row);

} // namespace orva
