#include "link/catalogue.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "look/look.h"
#include "look/twips.h"
#include "panel/holdrepeat.h"
#include "panel/panelbuilder.h"
#include "panel/widgettable.h"
#include "shelltest.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace orva;

// The buttons of the running panel against the catalogue, and the
// press-and-hold repeat, over a real pty to the simulated projector.
class TstPanel : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void buttonSendsItsCommandOnce_data();
    void buttonSendsItsCommandOnce();
    void shellButtonsSendNothing_data();
    void shellButtonsSendNothing();
    void anyMouseButtonHolds_data();
    void anyMouseButtonHolds();
    void keyboardOnHoldButtonSendsNothing();
    void holdShortensAndReleaseRestores();
    void queuedTickAfterReleaseSendsNothing();
    void repeatTickKeepsTheButtonsCommand();
    void losingTheWindowEndsTheRepeat();

  private:
    QList<QByteArray> sentAfter(int before)
    {
        QTest::qWait(80);
        return m_peer->commands().mid(before);
    }
    QPushButton* button(const QString& name)
    {
        return qobject_cast<QPushButton*>(m_form->widget(name));
    }

    std::unique_ptr<ShellHarness> m_harness;
    std::unique_ptr<sim::PtyPeer> m_peer;
    std::unique_ptr<Form1> m_form;
};

void TstPanel::initTestCase()
{
    m_harness = std::make_unique<ShellHarness>();
    ShellHarness::clearStore();
    writeConfig("[StartUP]\nComPort=6\nBaudRate=96\n");
}

void TstPanel::init()
{
    m_peer = ShellHarness::projectorAt(6);
    m_peer->setFaults({.noReply = true});
    m_form = std::make_unique<Form1>(m_harness->hooks());
    m_form->start();
    QVERIFY(m_form->MSComm1()->PortOpen());
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_form->Form_KeyDown(72, 2);
}

void TstPanel::cleanup()
{
    m_form.reset();
    m_peer.reset();
}

void TstPanel::buttonSendsItsCommandOnce_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("command");
    int rows = 0;
    for (const auto* list : {&controlCatalogue(), &expandedButtonCatalogue()})
        for (const CatalogueEntry& e : *list)
            if (!e.button.isEmpty()) {
                QTest::addRow("%s %s", qPrintable(e.button), e.command.constData())
                    << e.button << e.command;
                ++rows;
            }
    QCOMPARE(rows, 71);
}

void TstPanel::buttonSendsItsCommandOnce()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, command);
    const WidgetRow* row = findRow(button);
    QVERIFY(row);
    QPushButton* b = this->button(button);
    QVERIFY(b);
    const int before = m_peer->commands().size();
    if (row->action == ButtonAction::Hold) {
        QTest::mousePress(b, Qt::LeftButton);
        QTest::mouseRelease(b, Qt::LeftButton);
    } else {
        QCOMPARE(row->action, ButtonAction::Click);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    const QByteArray expected = command + '\r';
    QCOMPARE(sentAfter(before), QList<QByteArray>{expected});
    QCOMPARE(m_form->values().CommandText, expected);
    QCOMPARE(expected.count('\r'), 1);
    QVERIFY(!expected.contains('\n'));
    QCOMPARE(expected, expected.toUpper());
}

void TstPanel::shellButtonsSendNothing_data()
{
    QTest::addColumn<QString>("button");
    for (const char* name : {"Command34", "Command74", "Command77"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TstPanel::shellButtonsSendNothing()
{
    QFETCH(QString, button);
    const int before = m_peer->commands().size();
    QTest::mouseClick(this->button(button), Qt::LeftButton);
    QVERIFY(sentAfter(before).isEmpty());
}

void TstPanel::anyMouseButtonHolds_data()
{
    QTest::addColumn<int>("mouseButton");
    QTest::newRow("left") << int(Qt::LeftButton);
    QTest::newRow("right") << int(Qt::RightButton);
    QTest::newRow("middle") << int(Qt::MiddleButton);
}

void TstPanel::anyMouseButtonHolds()
{
    QFETCH(int, mouseButton);
    QPushButton* vol = button("Command1");
    const int before = m_peer->commands().size();
    QTest::mousePress(vol, Qt::MouseButton(mouseButton));
    QCOMPARE(m_form->holdRepeat()->repeatCode(), quint8(1));
    QVERIFY(m_form->holdRepeat()->Timer1()->isActive());
    QVERIFY(vol->isDown());
    QTest::mouseRelease(vol, Qt::MouseButton(mouseButton));
    QCOMPARE(m_form->holdRepeat()->repeatCode(), quint8(0));
    QVERIFY(!m_form->holdRepeat()->Timer1()->isActive());
    // Released at once, before the first tick: exactly one send.
    QCOMPARE(sentAfter(before), QList<QByteArray>{"C09\r"});
}

void TstPanel::keyboardOnHoldButtonSendsNothing()
{
    QPushButton* vol = button("Command1");
    vol->setFocus();
    const int before = m_peer->commands().size();
    QTest::keyClick(vol, Qt::Key_Space);
    QTest::keyClick(vol, Qt::Key_Return);
    QCOMPARE(m_form->holdRepeat()->repeatCode(), quint8(0));
    QVERIFY(sentAfter(before).isEmpty());
}

void TstPanel::holdShortensAndReleaseRestores()
{
    Exchange* ex = m_form->exchange();
    HoldRepeat* hold = m_form->holdRepeat();
    QTest::mousePress(button("Command30"), Qt::LeftButton);
    QCOMPARE(hold->Timer1()->interval(), 100);
    QCOMPARE(ex->Timer2()->interval(), 150);
    QCOMPARE(ex->Timer4()->interval(), 200);
    QCOMPARE(hold->Timer1()->timerType(), Qt::PreciseTimer);
    QCOMPARE(ex->txd(), QStringLiteral(" C 2 0  [CR] "));
    QTest::mouseRelease(button("Command30"), Qt::LeftButton);
    QCOMPARE(ex->txd(), QString());
    QCOMPARE(ex->rxd(), QString());
    QVERIFY(ex->replyBuffer().isEmpty());
    QCOMPARE(ex->replyPending(), quint8(1));
    QVERIFY(!ex->Timer2()->isActive());
    QCOMPARE(ex->Timer2()->interval(), 500);
    QVERIFY(ex->Timer4()->isActive());
    QCOMPARE(ex->Timer4()->interval(), 1000);
    // A click afterwards runs with the normal intervals.
    QTest::mouseClick(button("Command17"), Qt::LeftButton);
    QCOMPARE(ex->Timer2()->interval(), 500);
    QVERIFY(ex->Timer2()->isActive());
}

void TstPanel::queuedTickAfterReleaseSendsNothing()
{
    const int pressSent = m_peer->commands().size() + 1;
    QTest::mousePress(button("Command48"), Qt::RightButton);
    QTest::mouseRelease(button("Command48"), Qt::RightButton);
    QTRY_COMPARE(m_peer->commands().size(), pressSent);
    const int before = pressSent;
    m_form->holdRepeat()->Timer1_Timer();
    QVERIFY(sentAfter(before).isEmpty());
}

void TstPanel::repeatTickKeepsTheButtonsCommand()
{
    for (const RepeatRow& row : repeatTable()) {
        const WidgetRow* design = findRow(row.button);
        QVERIFY(design);
        QCOMPARE(design->repeatCode, row.code);
        QCOMPARE(design->command, row.command);
    }
    const int before = m_peer->commands().size() + 1;
    QTest::mousePress(button("Command11"), Qt::LeftButton);
    QTRY_COMPARE(m_peer->commands().size(), before);
    m_form->values().CommandText = "C00\r"; // another sender in between
    m_form->holdRepeat()->Timer1_Timer();
    m_form->holdRepeat()->Timer1_Timer();
    QTest::mouseRelease(button("Command11"), Qt::LeftButton);
    QCOMPARE(sentAfter(before), (QList<QByteArray>{"C91\r", "C91\r"}));
}

void TstPanel::losingTheWindowEndsTheRepeat()
{
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QTest::mousePress(button("Command2"), Qt::LeftButton);
    QCOMPARE(m_form->holdRepeat()->repeatCode(), quint8(2));
    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_COMPARE(m_form->holdRepeat()->repeatCode(), quint8(0));
    QVERIFY(!m_form->holdRepeat()->Timer1()->isActive());
}

QTEST_MAIN(TstPanel)
#include "tst_panel.moc"
