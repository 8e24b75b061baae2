#include "catalogue.h"

namespace orva {

const QList<CatalogueEntry>& controlCatalogue()
{
    static const QList<CatalogueEntry> rows;
    return rows;
}
const QList<CatalogueEntry>& expandedButtonCatalogue()
{
    static const QList<CatalogueEntry> rows;
    return rows;
}
const QStringList& expandReadNames()
{
    static const QStringList rows;
    return rows;
}
const QStringList& basicCommandRows()
{
    static const QStringList rows;
    return rows;
}
const QStringList& expandReadRows()
{
    static const QStringList rows;
    return rows;
}
QByteArray commandOfRow(const QString& row)
{
    return row.section(QLatin1Char('['), 0, 0).toLatin1() + '\r';
}

} // namespace orva
