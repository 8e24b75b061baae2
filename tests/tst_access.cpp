// SPDX-License-Identifier: GPL-3.0-or-later
#include "consoles/consolewindow.h"
#include "link/catalogue.h"
#include "link/mscomm.h"
#include "look/accessibility.h"
#include "look/look.h"
#include "panel/holdrepeat.h"
#include "panel/widgettable.h"
#include "shelltest.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <cmath>

using namespace orva;

namespace
{

// Contrast ratio of two colours as the accessibility guidelines define it.
double contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto lin = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF()) + 0.05;
    };
    return std::max(luminance(a), luminance(b)) / std::min(luminance(a), luminance(b));
}

// Whether any of w lies in the shown part of form.
bool inSight(const QWidget* form, const QWidget* w)
{
    return form->rect().intersects(QRect(w->mapTo(form, QPoint()), w->size()));
}

} // namespace

// What a screen reader and a keyboard user get from the running panel.
class TstAccess : public QObject
{
    Q_OBJECT
    std::unique_ptr<ShellHarness> m_harness;
    std::unique_ptr<sim::PtyPeer> m_peer;
    std::unique_ptr<Form1> m_form;
    QWidget* widget(const QString& name) { return m_form->widget(name); }

  private slots:
    void initTestCase()
    {
        m_harness = std::make_unique<ShellHarness>();
        writeConfig("[StartUP]\nComPort=6\nBaudRate=96\n");
    }
    void init()
    {
        m_peer = ShellHarness::projectorAt(6);
        m_form = std::make_unique<Form1>(m_harness->hooks());
        m_form->start();
        QVERIFY(m_form->MSComm1()->PortOpen());
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        m_form->Form_KeyDown(72, 2);
    }
    void cleanup() { m_form.reset(), m_peer.reset(); }

    // Names and labels as tests/data/accessible-names.tsv spells them, so
    // every button is told apart by ear.
    void spokenNames_data() { tableRows("accessible-names.tsv", {"widget"}); }
    void spokenNames()
    {
        QFETCH(Row, design);
        QAccessibleInterface* iface =
            QAccessible::queryAccessibleInterface(widget(design["widget"]));
        QVERIFY(iface);
        QStringList labels;
        for (const auto& [label, relation] : iface->relations(QAccessible::Label))
            labels << label->text(QAccessible::Name);
        QCOMPARE(iface->text(QAccessible::Name), design["name"]);
        QCOMPARE(labels.join(u' '), design.value(design.keys().filter("labelled").value(0)));
    }

    // A sending button offers a press action only where pressing it sends:
    // a hold button says it wants the mouse.
    void sendingButtons()
    {
        for (const WidgetRow& r : mainWindowTable()) {
            if (r.action != ButtonAction::Click && r.action != ButtonAction::Hold)
                continue;
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget(r.name));
            const bool hold = r.action == ButtonAction::Hold;
            QCOMPARE(iface->actionInterface()->actionNames().contains(
                         QAccessibleActionInterface::pressAction()),
                     !hold);
            const QString description = iface->text(QAccessible::Description);
            QCOMPARE(description.contains("mouse button is held"), hold);
            // A hold button names the console row that sends its command
            // from the keyboard; a status read says what it reads.
            static const QRegularExpression rowOf("row (\\d+) of the Basic Command console");
            if (hold) {
                const int row = rowOf.match(description).captured(1).toInt();
                QVERIFY2(row > 0, qPrintable(r.name));
                QCOMPARE(commandOfRow(basicCommandRows().value(row - 1)), r.command + '\r');
            }
            QCOMPARE(description.startsWith("Reads the "), r.command.startsWith("CR"));
        }
    }

    // Only what the shown part of the window holds takes the focus, in the
    // designed Tab order; OPEN, below the edge of the buttons-only view, is
    // the keyboard's way back to the trace, and Space on it goes there. The
    // window's description names its one key, Ctrl+H.
    void shownAreaTakesFocus_data()
    {
        QTest::addColumn<int>("closeClicks");
        QTest::addColumn<int>("outside");
        QTest::newRow("everything") << 0 << 0;
        QTest::newRow("buttons only") << 1 << 10;
        QTest::newRow("with the trace") << 2 << 0;
    }
    void shownAreaTakesFocus()
    {
        QFETCH(int, closeClicks);
        QFETCH(int, outside);
        for (int i = 0; i < closeClicks; ++i)
            m_form->Command34_Click();
        auto* openClose = qobject_cast<QPushButton*>(widget("Command34"));
        const bool open = openClose->text() == "OPEN";
        QMultiMap<int, QString> designed;
        int cut = 0;
        for (const Row& r : readTable("mainwindow.tsv")) {
            QWidget* w = widget(r["name"]);
            if (r["kind"] != "button" || !w->isVisibleTo(m_form.get()))
                continue;
            const bool shown = inSight(m_form.get(), w);
            cut += !shown;
            if (shown || (w == openClose && open))
                designed.insert(r["tab"].toInt(), r["name"]);
        }
        QCOMPARE(cut, outside);
        QStringList round;
        widget("Command17")->setFocus();
        do {
            round << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        } while (QApplication::focusWidget() != widget("Command17") && round.size() < 100);
        QCOMPARE(round, designed.values());
        const auto description = [](QWidget* w) {
            return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Description);
        };
        QVERIFY(description(m_form.get()).contains("Ctrl+H"));
        if (!open)
            return;
        QVERIFY(description(openClose).contains("trace"));
        // The focus stays on the button both ways.
        for (const int expected : {Form1::kExpandedHeight, Form1::kCollapsedHeight}) {
            openClose->setFocus();
            QTest::keyClick(openClose, Qt::Key_Space);
            QVERIFY(qAbs(m_form->outerHeight() - expected) < 15);
            QCOMPARE(QApplication::focusWidget(), openClose);
        }
    }

    // Tab enters a group of options at its checked one, either way round.
    void tabEntersOptionsAtTheChecked_data()
    {
        // The option checked ("-": none, the port typed into OTHER), the
        // widget with the focus, the key, where the focus lands.
        QTest::addColumn<QStringList>("row");
        for (const char* row : {"- Option3 Tab Command1", "Option5 Option1 Tab Option5",
                                "Option7 Command1 Backtab Option7"})
            QTest::newRow(row) << QString(row).split(' ');
    }
    void tabEntersOptionsAtTheChecked()
    {
        QFETCH(QStringList, row);
        m_form->Command33_Click();
        QWidget* dialog = m_form->comDialog();
        if (row[0] != "-")
            QTest::mouseClick(dialog->findChild<QWidget*>(row[0]), Qt::LeftButton, {}, {5, 5});
        dialog->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), dialog);
        dialog->findChild<QWidget*>(row[1])->setFocus();
        QTest::keyClick(QApplication::focusWidget(),
                        row[2] == "Tab" ? Qt::Key_Tab : Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), row[3]);
    }

    // Whatever a screen reader reads is plain text, in every window, and the
    // lost port is told by COM's name, not only by its colour.
    void noMarkupRead()
    {
        m_peer.reset();
        QTRY_VERIFY(widget("Command33")->accessibleName().contains("Port lost"));
        m_form->Command74_Click();
        m_form->Command77_Click();
        m_form->Command33_Click();
        static const QRegularExpression tag("<\\s*/?[A-Za-z][^>]*>");
        int read = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible())
                continue;
            QWidgetList all = window->findChildren<QWidget*>();
            for (QWidget* w : all << window) {
                QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
                for (const auto t : {QAccessible::Name, QAccessible::Description}) {
                    QVERIFY2(!tag.match(iface->text(t)).hasMatch(), qPrintable(iface->text(t)));
                    read += !iface->text(t).isEmpty();
                }
            }
        }
        // The dialog's port options say where they lead.
        QVERIFY(QAccessible::queryAccessibleInterface(
                    m_form->comDialog()->findChild<QWidget*>("Option7"))
                    ->text(QAccessible::Description)
                    .startsWith("COM5"));
        QVERIFY(read > 150);
    }

    // A console speaks the row chosen from the keyboard and the answer to
    // its SEND, while the focus stays in it (both consoles are one class).
    void consoleSpeaks()
    {
        m_form->Command74_Click();
        ConsoleWindow* window = m_form->basicConsole();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto* spoken = window->findChild<Announcer*>();
        // Nothing to say yet: not shown, so not heard as an empty notification.
        QVERIFY(spoken && !spoken->isVisible());
        QTest::keyClick(window->findChild<QComboBox*>("Combo1"), Qt::Key_Down);
        QCOMPARE(spoken->spoken(), "C01 POWER OFF(Quick Power OFF)");
        QTest::mouseClick(window->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        QTRY_COMPARE(spoken->spoken(), "ACK");
        QCOMPARE(QApplication::activeWindow(), window);
    }

    // A dark desktop palette and a 16-point desktop font change nothing in
    // the designed windows.
    void designedLook_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("main") << "Form1";
        QTest::newRow("COM PORT") << "Form2";
        QTest::newRow("Basic Command") << "Form3";
        QTest::newRow("Expand Read") << "Form4";
    }
    void designedLook()
    {
        QFETCH(QString, window);
        QApplication::setCursorFlashTime(0);
        // A window as it first shows, of a panel that has not opened a port.
        const auto fresh = [&] {
            Form1 form(m_harness->hooks());
            form.show();
            QWidget* shown = &form;
            if (window == "Form2") {
                form.Command33_Click();
                shown = form.comDialog();
            } else if (window != "Form1") {
                window == "Form3" ? form.Command74_Click() : form.Command77_Click();
                shown = form.findChild<ConsoleWindow*>(window);
            }
            return QTest::qWaitForWindowExposed(shown) ? shown->grab().toImage() : QImage();
        };
        const QImage designed = fresh();
        const QPalette desktopPalette = QApplication::palette();
        const QFont desktopFont = QApplication::font();
        QApplication::setPalette(QPalette(Qt::white, QColor(53, 53, 53), Qt::gray, Qt::black,
                                          Qt::darkGray, Qt::white, QColor(36, 36, 36)));
        QFont big = desktopFont;
        big.setPointSize(16);
        QApplication::setFont(big);
        const QImage underDark = fresh();
        QApplication::setPalette(desktopPalette);
        QApplication::setFont(desktopFont);
        QVERIFY(!designed.isNull());
        QCOMPARE(underDark, designed);
    }

    // The focused button shows a dotted ring that stands out from its face
    // by at least 3:1, and Enter presses it unless it is a hold button.
    void focusedButton_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("keypad");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("POWER ON, at start, Return") << "Command17" << false << QByteArray("C00\r");
        QTest::newRow("STATUS, keypad Enter") << "Command44" << true << QByteArray("CR0\r");
        QTest::newRow("PAGE UP, darkest face") << "Command38" << false << QByteArray("C59\r");
        QTest::newRow("CLOSE, default face") << "Command34" << false << QByteArray();
        QTest::newRow("VOL +, Return") << "Command1" << false << QByteArray();
    }
    void focusedButton()
    {
        QFETCH(QString, name);
        QFETCH(bool, keypad);
        QFETCH(QByteArray, sent);
        QWidget* button = widget(name);
        if (name != "Command17")
            button->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), button);
        const QImage focused = button->grab().toImage();
        widget("Command16")->setFocus();
        const QImage plain = button->grab().toImage();
        int cue = 0;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x)
                cue += contrast(focused.pixelColor(x, y), plain.pixelColor(x, y)) >= 3;
        // Every other pixel of a ring round most of the face.
        QVERIFY2(cue >= (plain.width() + plain.height()) / 2, qPrintable(QString::number(cue)));

        button->setFocus();
        const qsizetype before = m_peer->commands().size();
        QTest::keyClick(button, keypad ? Qt::Key_Enter : Qt::Key_Return,
                        keypad ? Qt::KeypadModifier : Qt::NoModifier);
        // A click surely sent after the key closes the list.
        QTRY_COMPARE(m_peer->commands().size(), before + (sent.isEmpty() ? 0 : 1));
        QTest::mouseClick(qobject_cast<QPushButton*>(widget("Command6")), Qt::LeftButton);
        QTRY_COMPARE(m_peer->commands().mid(before).join(), sent + "C3F\r");
    }
};

QTEST_MAIN(TstAccess)
#include "tst_access.moc"
