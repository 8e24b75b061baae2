#include "link/catalogue.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace orva;

namespace
{

// Every text the panel can send: button commands and every console row.
QList<QByteArray> allCommandTexts()
{
    QList<QByteArray> out;
    for (const CatalogueEntry& e : controlCatalogue() + expandedButtonCatalogue())
        out.append(e.command + '\r');
    for (const QString& row : basicCommandRows() + expandReadRows())
        out.append(commandOfRow(row));
    return out;
}

} // namespace

class TstCatalogue : public QObject
{
    Q_OBJECT
  private slots:
    void counts_data();
    void counts();
    void endRows_data();
    void endRows();
    void commandOfRow_data();
    void commandOfRow();
    void expandSeparatorFollowsCommandLength();
    void expandDescriptionsBeginWithGet();
    void basicListLeavesOutButtonOnlyCommands();
    void commandTextsAreWellFormed();
    void noCommandSentByTwoButtons();
    void lampReadsMatchTheirExpandRows();
};

void TstCatalogue::counts_data()
{
    QTest::addColumn<qsizetype>("actual");
    QTest::addColumn<qsizetype>("expected");

    QTest::newRow("control catalogue") << controlCatalogue().size() << qsizetype(65);
    QTest::newRow("expanded buttons") << expandedButtonCatalogue().size() << qsizetype(8);
    QTest::newRow("expand names") << expandReadNames().size() << qsizetype(81);
    QTest::newRow("basic rows") << basicCommandRows().size() << qsizetype(60);
    QTest::newRow("expand rows") << expandReadRows().size() << qsizetype(82);
    QTest::newRow("distinct expand names")
        << QSet<QString>(expandReadNames().begin(), expandReadNames().end()).size()
        << qsizetype(81);
}

void TstCatalogue::counts()
{
    QFETCH(qsizetype, actual);
    QFETCH(qsizetype, expected);
    QCOMPARE(actual, expected);
}

void TstCatalogue::endRows_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");

    const auto& control = controlCatalogue();
    QTest::newRow("first control command") << QString(control.first().command) << "C00";
    QTest::newRow("first control button") << control.first().button << "Command17";
    QTest::newRow("last control command") << QString(control.last().command) << "CR7";
    QTest::newRow("CR7 has no button") << control.last().button << "";
    const auto& expanded = expandedButtonCatalogue();
    QTest::newRow("first expanded command") << QString(expanded.first().command) << "CR LAMPSTS";
    QTest::newRow("last expanded command") << QString(expanded.last().command) << "CF LAMPMODE ECO";
    QTest::newRow("last expanded button") << expanded.last().button << "Command75";
    QTest::newRow("first expand name") << expandReadNames().first() << "STATUS";
    QTest::newRow("last expand name") << expandReadNames().last() << "IMGGMD";
    QTest::newRow("first basic row") << basicCommandRows().first() << "C00[CR]     :POWER ON";
    QTest::newRow("last basic row") << basicCommandRows().last() << "CR7[CR]     :Lamp Mode Read";
    QTest::newRow("basic row with CR in description")
        << basicCommandRows().at(12) << "C0F[CR]     :Screen Normal size(4[CR]3)";
    QTest::newRow("first expand row")
        << expandReadRows().first() << "CR STATUS[CR] \t:Get setting status of Projector behavior";
    QTest::newRow("long command has a single space")
        << expandReadRows().at(5)
        << "CR TEMPWARN[CR] :Get if temperature is close to abnomal temperature";
    QTest::newRow("description keeps its trailing space")
        << expandReadRows().at(7)
        << "CR TEMPFAIL[CR] :Get temperature when sensors approach abnomal temperature ";
    QTest::newRow("the GET row") << expandReadRows().at(48)
                                 << "CR LOGO[CR] \t:GET setting status of Logo";
    QTest::newRow("last expand row is a blank") << expandReadRows().last() << " ";
}

void TstCatalogue::endRows()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TstCatalogue::commandOfRow_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("basic row") << basicCommandRows().first() << QByteArray("C00\r");
    QTest::newRow("C0F stops at first bracket") << basicCommandRows().at(12) << QByteArray("C0F\r");
    QTest::newRow("C10 stops at first bracket") << basicCommandRows().at(13) << QByteArray("C10\r");
    QTest::newRow("expand row with tab") << expandReadRows().first() << QByteArray("CR STATUS\r");
    QTest::newRow("blank last row") << expandReadRows().last() << QByteArray(" \r");
    QTest::newRow("row without bracket is sent whole") << "C00 " << QByteArray("C00 \r");
    QTest::newRow("spaces before bracket are kept") << " C00 [CR]" << QByteArray(" C00 \r");
    QTest::newRow("empty row") << "" << QByteArray("\r");
}

void TstCatalogue::commandOfRow()
{
    QFETCH(QString, row);
    QFETCH(QByteArray, command);
    QCOMPARE(orva::commandOfRow(row), command);
}

void TstCatalogue::expandSeparatorFollowsCommandLength()
{
    const QStringList& rows = expandReadRows();
    const QStringList& names = expandReadNames();
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString command = "CR " + names.at(i);
        const QString separator = command.size() <= 10 ? " \t" : " ";
        QVERIFY2(rows.at(i).startsWith(command + "[CR]" + separator + ":"), qPrintable(rows.at(i)));
        QVERIFY2(!rows.at(i).startsWith(command + "[CR]" + separator + " "),
                 qPrintable(rows.at(i)));
    }
}

void TstCatalogue::expandDescriptionsBeginWithGet()
{
    int upperCase = 0;
    for (qsizetype i = 0; i < expandReadNames().size(); ++i) {
        const QString description = expandReadRows().at(i).section(':', 1);
        QVERIFY2(description.startsWith("Get ") || description.startsWith("GET "),
                 qPrintable(expandReadRows().at(i)));
        upperCase += description.startsWith("GET ");
    }
    QCOMPARE(upperCase, 1);
}

void TstCatalogue::basicListLeavesOutButtonOnlyCommands()
{
    QList<QByteArray> listed;
    for (const QString& row : basicCommandRows())
        listed.append(orva::commandOfRow(row));
    for (const QByteArray buttonOnly : {"C25", "C59", "C5A", "C5B", "C5C"})
        QVERIFY2(!listed.contains(buttonOnly + '\r'), buttonOnly.constData());
    QVERIFY(listed.contains("CR7\r"));
    QVERIFY(listed.contains("C02\r"));
}

void TstCatalogue::commandTextsAreWellFormed()
{
    static const QRegularExpression form(
        "^(C[0-9A-F]{2}|CR[0-9]|CR [A-Z0-9-]+|CF [A-Z0-9-]+ [A-Z0-9-]+| )\r$");
    for (const QByteArray& text : allCommandTexts()) {
        QVERIFY2(form.match(QString::fromLatin1(text)).hasMatch(), text.constData());
        QCOMPARE(text.count('\r'), 1);
        QVERIFY(!text.contains('\n'));
    }
}

void TstCatalogue::noCommandSentByTwoButtons()
{
    QSet<QString> buttons;
    QSet<QByteArray> commands;
    static const QRegularExpression name("^Command([0-9]+)$");
    for (const CatalogueEntry& e : controlCatalogue() + expandedButtonCatalogue()) {
        if (e.button.isEmpty())
            continue;
        const auto m = name.match(e.button);
        QVERIFY2(m.hasMatch(), qPrintable(e.button));
        const int number = m.captured(1).toInt();
        QVERIFY2(number >= 1 && number <= 77, qPrintable(e.button));
        // 43 does not exist; the other five are END, COM, CLOSE and the consoles.
        QVERIFY2(!QList<int>({16, 33, 34, 43, 74, 77}).contains(number), qPrintable(e.button));
        QVERIFY2(!buttons.contains(e.button), qPrintable(e.button));
        QVERIFY2(!commands.contains(e.command), e.command.constData());
        buttons.insert(e.button);
        commands.insert(e.command);
    }
    QCOMPARE(buttons.size(), 71);
}

void TstCatalogue::lampReadsMatchTheirExpandRows()
{
    // The decoder recognises a read by its text, so the button and the
    // console row must send the same bytes.
    QList<QByteArray> rowCommands;
    for (const QString& row : expandReadRows())
        rowCommands.append(orva::commandOfRow(row));
    int reads = 0;
    for (const CatalogueEntry& e : expandedButtonCatalogue()) {
        if (!e.command.startsWith("CR "))
            continue;
        QVERIFY2(rowCommands.contains(e.command + '\r'), e.command.constData());
        ++reads;
    }
    QCOMPARE(reads, 2);
}

QTEST_GUILESS_MAIN(TstCatalogue)
#include "tst_catalogue.moc"
