// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/mscomm.h"
#include "look/look.h"
#include "panel/holdrepeat.h"
#include "panel/widgettable.h"
#include "shelltest.h"

#include <QAccessible>
#include <QApplication>
#include <QPushButton>
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

    void spokenNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("labelledBy");
        QFile f(QStringLiteral(ORVA_TEST_DATA "/accessible-names.tsv"));
        QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
        while (!f.atEnd()) {
            const QStringList cells = QString::fromUtf8(f.readLine()).chopped(1).split(u'\t');
            if (!cells[0].startsWith(u'#'))
                QTest::newRow(qPrintable(cells[0])) << cells[0] << cells[1] << cells.value(2);
        }
    }
    void spokenNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QFETCH(QString, labelledBy);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget(name));
        QVERIFY(iface);
        QCOMPARE(iface->text(QAccessible::Name), expected);
        QStringList labels;
        for (const auto& [label, relation] : iface->relations(QAccessible::Label))
            labels << label->text(QAccessible::Name);
        QCOMPARE(labels.join(u' '), labelledBy);
    }

    // Every sending button is told apart by ear, and offers a press action
    // only where pressing it sends: a hold button says it wants the mouse.
    void sendingButtons()
    {
        QHash<QString, QString> byName;
        for (const WidgetRow& r : mainWindowTable()) {
            if (r.action != ButtonAction::Click && r.action != ButtonAction::Hold)
                continue;
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget(r.name));
            const QString name = iface->text(QAccessible::Name).toCaseFolded();
            QVERIFY2(!name.isEmpty(), qPrintable(r.name));
            QVERIFY2(!byName.contains(name), qPrintable(r.name + " and " + byName.value(name)));
            byName.insert(name, r.name);
            const bool hold = r.action == ButtonAction::Hold;
            QCOMPARE(iface->actionInterface()->actionNames().contains(
                         QAccessibleActionInterface::pressAction()),
                     !hold);
            QCOMPARE(iface->text(QAccessible::Description).contains("mouse button is held"), hold);
        }
        QCOMPARE(byName.size(), 71);
    }

    // The bridge is told of the change only with a screen reader attached;
    // here the name it would then read is checked: words, not the drawn
    // padding.
    void statusLineSpeaksItsText()
    {
        QTest::mouseClick(qobject_cast<QPushButton*>(widget("Command44")), Qt::LeftButton);
        QTRY_COMPARE(
            QAccessible::queryAccessibleInterface(widget("Label25"))->text(QAccessible::Name),
            QStringLiteral("Power ON"));
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
        QTest::newRow("KEYSTONE up, keypad Enter") << "Command10" << true << QByteArray();
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
