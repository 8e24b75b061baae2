// SPDX-License-Identifier: GPL-3.0-or-later
#include "consoles/consolewindow.h"
#include "link/catalogue.h"
#include "look/look.h"
#include "look/traceline.h"
#include "panel/holdrepeat.h"
#include "panel/widgettable.h"
#include "shelltest.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

using namespace orva;

// The program's tables and its live windows against the reference data in
// tests/data, written by hand, field by field.
namespace
{

QString pixels(const Row& r)
{
    const auto p = [&](const char* key) { return qRound(r[key].toInt() / 15.0); };
    return QDebug::toString(QRect(p("left"), p("top"), p("width"), p("height")));
}
const auto yesNo = [](bool b) { return QString(b ? "yes" : "no"); };
const auto colourOf = [](const QWidget* w, QPalette::ColorRole role) {
    return w->palette().color(role).name().toUpper();
};
const auto with = [](Row base, const Row& extra) { return base.insert(extra), base; };

// Names every field of `actual` that differs from `design`.
#define COMPARE_FIELDS(actual, design)                                                             \
    do {                                                                                           \
        const Row a = (actual), d = (design);                                                      \
        QStringList diff;                                                                          \
        for (auto it = a.begin(); it != a.end(); ++it)                                             \
            if (it.value() != d.value(it.key()))                                                   \
                diff << QString("%1 is \"%2\", not \"%3\"").arg(it.key(), *it, d[it.key()]);       \
        QVERIFY2(diff.isEmpty(), qPrintable(diff.join("; ")));                                     \
    } while (false)

// A row of the window table in the words of the reference data: what the live
// widgets cannot show (the lines, designed colours, arrow directions, what a
// button is for); the rest is checked on the widgets built from it.
Row tableFields(const WidgetRow& r)
{
    const char* kinds[] = {"frame", "label", "button", "line"};
    const char* arrows[] = {"", "up", "down", "left", "right"};
    const char* actions[] = {"-", "click", "hold", "shell"};
    Row f{{"kind", kinds[int(r.kind)]},
          {"container", r.container.isEmpty() ? "window" : r.container},
          {"left", QString::number(r.left)},
          {"top", QString::number(r.top)},
          {"width", QString::number(r.width)},
          {"height", QString::number(r.height)}};
    if (r.kind == WidgetKind::Line)
        return f;
    const bool button = r.kind == WidgetKind::Button;
    f["colour"] = !r.colour.isEmpty() ? r.colour : button ? "face" : "default";
    if (r.kind == WidgetKind::Frame)
        return f;
    return with(f, {{"caption", r.arrow ? QString("arrow:") + arrows[r.arrow] : r.caption},
                    {button ? "action" : "text", button                   ? actions[int(r.action)]
                                                 : r.textColour.isEmpty() ? "default"
                                                                          : r.textColour}});
}

} // namespace

class TstReference : public QObject
{
    Q_OBJECT
    ShellHarness m_harness;
    std::unique_ptr<Form1> m_form;
    QPointer<QWidget> m_windows[3];
    QStringList m_hiddenAtStart;

    QComboBox* combo(int console) { return m_windows[console]->findChild<QComboBox*>("Combo1"); }

    // A live widget of the main window in the words of the reference data.
    Row liveFields(QWidget* w, const Row& design)
    {
        Row f{{"geometry", QDebug::toString(w->geometry())},
              {"container",
               w->parentWidget() == m_form.get() ? "window" : w->parentWidget()->objectName()}};
        if (design["kind"] == "frame")
            return with(f, {{"colour", w->autoFillBackground() ? design["colour"] : "default"}});
        f.insert({{"caption", w->property("text").toString()},
                  {"size", QString::number(w->font().pointSizeF())},
                  {"bold", yesNo(w->font().bold())},
                  {"hidden", yesNo(m_hiddenAtStart.contains(w->objectName()))}});
        auto* label = qobject_cast<QLabel*>(w);
        if (label || qobject_cast<TraceLine*>(w)) {
            const Qt::Alignment h =
                label ? label->alignment() & Qt::AlignHorizontal_Mask : Qt::Alignment();
            // A platform colour (inactive caption text) can only be seen to be filled in.
            const bool special = !design["colour"].startsWith('#');
            return with(f,
                        {{"colour", !w->autoFillBackground() ? "default"
                                    : special                ? design["colour"]
                                                             : colourOf(w, QPalette::Window)},
                         {"text", design["text"] == "default" ? "default"
                                                              : colourOf(w, QPalette::WindowText)},
                         {"align", h == Qt::AlignHCenter ? "centre"
                                   : h == Qt::AlignRight ? "right"
                                                         : "left"},
                         {"border", yesNo(!label || label->frameShape() == QFrame::Box)},
                         {"plain text", yesNo(!label || label->textFormat() == Qt::PlainText)}});
        }
        auto* button = qobject_cast<QPushButton*>(w);
        auto* face = qobject_cast<FaceButton*>(w);
        f["colour"] = !face                        ? "plain"
                      : design["colour"] == "face" ? "face"
                                                   : face->face().name().toUpper();
        if (design["caption"].startsWith("arrow:") && !button->icon().isNull())
            f["caption"] = design["caption"];
        f["hold"] = yesNo(qobject_cast<HoldButton*>(w));
        if (design["action"] == "shell")
            return f;
        // What the press and the click send, and what a tick during a hold sends.
        QByteArray& text = m_form->values().CommandText;
        text.clear();
        QTest::mousePress(button, Qt::LeftButton);
        const QByteArray atPress = text;
        const quint8 code = m_form->holdRepeat()->repeatCode();
        f["repeat"] = code ? QString::number(code) : "-";
        text.clear();
        m_form->holdRepeat()->Timer1_Timer();
        if (code)
            f["tick"] = text;
        QTest::mouseRelease(button, Qt::LeftButton);
        f["sends"] = code ? atPress : text;
        return f;
    }

  private slots:
    void initTestCase()
    {
        ShellHarness::clearStore();
        m_form = std::make_unique<Form1>(m_harness.hooks());
        m_form->show();
        for (QWidget* w : m_form->findChildren<QWidget*>())
            if (w->isHidden())
                m_hiddenAtStart << w->objectName();
        m_form->Form_KeyDown(72, 2);
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_form->Command33_Click();
        m_form->Command74_Click();
        m_form->Command77_Click();
        m_windows[0] = m_form->comDialog();
        m_windows[1] = m_form->basicConsole();
        m_windows[2] = m_form->expandConsole();
    }
    void cleanupTestCase() { m_form.reset(); }

    void tablesAreComplete()
    {
        QCOMPARE(controlCatalogue().size() + expandedButtonCatalogue().size(),
                 readTable("catalogue.tsv").size());
        QCOMPARE(expandReadRows().size(), combo(2)->count());
        QCOMPARE(expandReadRows().size(), readTable("expandread.tsv").size());
        QCOMPARE(expandReadNames().size(), readTable("expandread.tsv").size() - 1);
        QCOMPARE(basicCommandRows().size(), combo(1)->count());
        QCOMPARE(mainWindowTable().size() + 1, readTable("mainwindow.tsv").size());
    }

    void catalogue_data()
    {
        QTest::addColumn<Row>("design");
        int basic = 0;
        for (Row r : readTable("catalogue.tsv")) {
            r["position"] = r["basic"] == "yes" ? QString::number(basic++) : "-";
            QTest::newRow(qPrintable(r["command"])) << r;
        }
    }
    void catalogue()
    {
        QFETCH(Row, design);
        const QList<CatalogueEntry> all = controlCatalogue() + expandedButtonCatalogue();
        const auto e = std::find_if(all.begin(), all.end(), [&](const CatalogueEntry& e) {
            return e.command == design["command"].toLatin1();
        });
        QVERIFY2(e != all.end(), "command missing from the catalogue");
        // A Basic list row: the command, "[CR]", five spaces, ":", the meaning.
        const QString row = design["command"] + "[CR]     :" + design["meaning"];
        const int at = basicCommandRows().indexOf(row);
        COMPARE_FIELDS((Row{{"meaning", e->meaning},
                            {"basic", yesNo(e->inBasicList)},
                            {"button", e->button.isEmpty() ? "-" : e->button},
                            {"position", at < 0 ? "-" : QString::number(at)},
                            {"console row", at < 0 ? "-" : combo(1)->itemText(at)},
                            {"sends", at < 0 ? "-" : commandOfRow(row)}}),
                       with(design, {{"console row", at < 0 ? "-" : row},
                                     {"sends", at < 0 ? "-" : design["command"] + '\r'}}));
    }

    void expandRead_data() { tableRows("expandread.tsv", {"row", "command"}); }
    void expandRead()
    {
        QFETCH(Row, design);
        const int i = design["row"].toInt() - 1;
        const QString row = expandReadRows().value(i);
        const qsizetype head = design["command"].size() + 4;
        const QString separator = row.section(':', 0, 0).mid(head);
        const QString description = row.section(':', 1);
        // Rows with no fixed description ("-") read as phrases beginning with "Get".
        const QString free = design["description"] == "-" && i < 81 ? "-" : "";
        const bool phrase = description.startsWith("Get ") && description.size() > 8;
        COMPARE_FIELDS((Row{{"console row", combo(2)->itemText(i)},
                            {"sends", commandOfRow(row)},
                            {"name", i < 81 ? "CR " + expandReadNames().value(i) : row},
                            {"command part", row.left(head)},
                            {"separator", separator == " \t" ? "space tab"
                                          : separator == " " ? "space"
                                                             : "-"},
                            {"description", !free.isEmpty() && phrase ? free : description}}),
                       with(design, {{"console row", row},
                                     {"sends", design["command"] + '\r'},
                                     {"name", design["command"]},
                                     {"command part", i < 81 ? design["command"] + "[CR]" : " "},
                                     {"description", i < 81 ? design["description"] : ""}}));
    }

    void mainWindow_data() { tableRows("mainwindow.tsv", {"name", "container"}); }
    void mainWindow()
    {
        QFETCH(Row, design);
        const Row expected = with(design, {{"geometry", pixels(design)},
                                           {"bold", "yes"},
                                           {"plain text", "yes"},
                                           {"hold", yesNo(design["action"] == "hold")},
                                           {"tick", design["command"] + '\r'},
                                           {"sends", design["command"] + '\r'}});
        if (design["kind"] == "window") {
            COMPARE_FIELDS((Row{{"caption", m_form->windowTitle()},
                                {"geometry", QDebug::toString(m_form->rect())},
                                {"colour", colourOf(m_form.get(), QPalette::Window)},
                                {"size", QString::number(m_form->font().pointSizeF())}}),
                           expected);
            return;
        }
        const WidgetRow* r = findRow(design["name"]);
        QVERIFY2(r, "not in the window table");
        COMPARE_FIELDS(tableFields(*r), design);
        if (design["kind"] == "line") {
            // Lines are painted below the widgets: look at the drawn pixel.
            const QPoint mid((design["left"].toInt() + design["width"].toInt()) / 30,
                             (design["top"].toInt() + design["height"].toInt()) / 30);
            const QColor drawn = m_form->grab().toImage().pixelColor(mid);
            COMPARE_FIELDS((Row{{"colour", drawn.name().toUpper()}}), expected);
            return;
        }
        QWidget* w = m_form->widget(design["name"]);
        QVERIFY2(w && w->objectName() == design["name"], "no live widget of that name");
        COMPARE_FIELDS(liveFields(w, design), expected);
    }

    void dialogs_data() { tableRows("dialogs.tsv", {"window", "name"}); }
    void dialogs()
    {
        QFETCH(Row, design);
        QWidget* window = m_windows[design["window"].back().digitValue() - 2];
        QVERIFY(window);
        // Drawn in the substitute for the windows' face on every desktop, as
        // the README's pictures show it.
        Row expected = with(design, {{"geometry", pixels(design)}, {"drawn", "IPAPGothic"}});
        const auto fontOf = [](const QWidget* w) {
            return Row{{"face", w->font().family()},
                       {"size", QString::number(w->font().pointSizeF())},
                       {"bold", yesNo(w->font().bold())},
                       {"drawn", QFontInfo(w->font()).family()}};
        };
        if (design["kind"] == "window") {
            // The focus starts at the first in tab order and follows the tab column.
            QMultiMap<int, QString> byTab;
            for (const Row& r : readTable("dialogs.tsv"))
                if (r["window"] == design["window"] && r["tab"] != "-" &&
                    !QStringList{"frame", "label"}.contains(r["kind"]))
                    byTab.insert(r["tab"].toInt(), r["name"]);
            const QStringList order = byTab.values();
            QStringList chain;
            for (QWidget* f = window->focusWidget(); f && chain.size() < order.size();
                 f = f->nextInFocusChain())
                // A radio group is entered at its checked option, so the
                // others take the focus by click or arrow only.
                if (f->focusPolicy() != Qt::NoFocus)
                    chain << f->objectName();
            const bool placed = design["left"] != "-";
            const QRect g = placed ? window->geometry() : QRect(QPoint(), window->size());
            if (!placed)
                expected["geometry"] = pixels(with(design, {{"left", "0"}, {"top", "0"}}));
            COMPARE_FIELDS(with(fontOf(window), {{"caption", window->windowTitle()},
                                                 {"geometry", QDebug::toString(g)},
                                                 {"tab order", chain.join(' ')}}),
                           with(expected, {{"tab order", order.join(' ')}}));
            return;
        }
        QWidget* w = window->findChild<QWidget*>(design["name"]);
        QVERIFY2(w, "no widget of that name");
        auto* frame = qobject_cast<QGroupBox*>(w);
        COMPARE_FIELDS(
            with(fontOf(w),
                 {{"container",
                   w->parentWidget() == window ? "window" : w->parentWidget()->objectName()},
                  {"geometry", QDebug::toString(w->geometry())},
                  {"caption", frame ? frame->title() : w->property("text").toString()}}),
            expected);
    }
};

QTEST_MAIN(TstReference)
#include "tst_reference.moc"
