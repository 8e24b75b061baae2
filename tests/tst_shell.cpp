#include "consoles/consolewindow.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "look/traceline.h"
#include "panel/holdrepeat.h"
#include "shelltest.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace orva;

class TstShell : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { m_harness = std::make_unique<ShellHarness>(); }
    void init()
    {
        ShellHarness::clearStore();
        m_harness->messages.clear();
        m_harness->ends = 0;
    }
    void startupReadsTheStore_data();
    void startupReadsTheStore();
    void firstStartShowsDialogThenPanel();
    void busyPortLeadsToDialog();
    void ctrlH_data();
    void ctrlH();
    void viewsCycle();
    void exactly6000Collapses();
    void bandsFollowTheViews();
    void comButtonTakesCopies();
    void endClosesEverything();
    void closingTheWindowClosesThePort();
    void sendWithoutPortTellsTheUser();

  private:
    QPushButton* button(Form1& f, const char* name)
    {
        return qobject_cast<QPushButton*>(f.widget(QLatin1String(name)));
    }
    std::unique_ptr<ShellHarness> m_harness;
};

void TstShell::startupReadsTheStore_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("linkedPort");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("settings");

    QTest::newRow("15 accepted") << QByteArray("ComPort=15\nBaudRate=96") << 15 << true
                                 << "9600,N,8,1";
    QTest::newRow("16 invalid") << QByteArray("ComPort=16\nBaudRate=96") << 16 << false << "";
    QTest::newRow("0 invalid") << QByteArray("ComPort=0") << 1 << false << "";
    QTest::newRow("-1 invalid") << QByteArray("ComPort=-1") << 1 << false << "";
    QTest::newRow("COM3 invalid") << QByteArray("ComPort=COM3") << 3 << false << "";
    QTest::newRow("empty invalid") << QByteArray("ComPort=") << 1 << false << "";
    QTest::newRow("3.5 reads as 4") << QByteArray("ComPort=3.5") << 4 << true << "19200,N,8,1";
    QTest::newRow("2.5 reads as 2")
        << QByteArray("ComPort=2.5\nBaudRate=192") << 2 << true << "19200,N,8,1";
    QTest::newRow("rate abc") << QByteArray("ComPort=6\nBaudRate=abc") << 6 << true
                              << "19200,N,8,1";
    QTest::newRow("rate 9600 is not 96")
        << QByteArray("ComPort=6\nBaudRate=9600") << 6 << true << "19200,N,8,1";
    QTest::newRow("valid port that is absent") << QByteArray("ComPort=9") << 0 << false << "";
}

void TstShell::startupReadsTheStore()
{
    QFETCH(QByteArray, file);
    QFETCH(int, linkedPort);
    QFETCH(bool, opens);
    QFETCH(QString, settings);
    writeConfig("[StartUP]\n" + file + "\n");
    QFile::remove(PortMap::linkPath(9));
    if (linkedPort == 0)
        QVERIFY(QFile::link("/nonexistent/ttyUSB4", PortMap::linkPath(9)));
    auto peer = linkedPort ? ShellHarness::projectorAt(linkedPort) : nullptr;

    Form1 form(m_harness->hooks());
    form.start();
    QCOMPARE(form.MSComm1()->PortOpen(), opens);
    QCOMPARE(form.comDialog() != nullptr, !opens);
    QCOMPARE(form.isVisible(), opens);
    QVERIFY(m_harness->messages.isEmpty());
    if (opens) {
        QCOMPARE(form.MSComm1()->Settings(), settings);
        QCOMPARE(int(form.values().BaudCode), settings.startsWith("9600") ? 96 : 192);
        QVERIFY(qAbs(form.outerHeight() - Form1::kCollapsedHeight) < 15);
        const QRect screen = form.screen()->geometry();
        QVERIFY(qAbs(form.geometry().center().x() - screen.center().x()) < 4);
        QCOMPARE(form.holdRepeat()->repeatCode(), quint8(0));
        QCOMPARE(form.exchange()->replyPending(), quint8(0));
        QVERIFY(form.exchange()->replyBuffer().isEmpty());
    } else {
        QCOMPARE(form.comDialog()->windowModality(), Qt::ApplicationModal);
        // An invalid number never reached the port.
        QVERIFY(!form.MSComm1()->PortOpen());
    }
    QFile::remove(PortMap::linkPath(9));
}

void TstShell::firstStartShowsDialogThenPanel()
{
    Form1 form(m_harness->hooks());
    form.start();
    QPointer<Form2> dialog = form.comDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!form.isVisible());
    QCOMPARE(form.windowTitle(), QStringLiteral("ORVA   MV-TR58  CONTROL  Ver.1.1"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("  COM PORT"));
    // The built-in icon really made it into the binary, on both windows.
    QCOMPARE(form.windowIcon().pixmap(32).size(), QSize(32, 32));
    QVERIFY(!dialog->windowIcon().isNull());
    dialog->close();
    QTRY_VERIFY(!dialog);
    QTRY_VERIFY(form.isVisible());
    QVERIFY(!form.MSComm1()->PortOpen());
}

void TstShell::busyPortLeadsToDialog()
{
    auto peer = ShellHarness::projectorAt(5);
    writeConfig("[StartUP]\nComPort=5\n");
    MSComm holder;
    holder.setCommPort(5);
    holder.setPortOpen(true);
    Form1 form(m_harness->hooks());
    form.start();
    QVERIFY(form.comDialog());
    QVERIFY(!form.MSComm1()->PortOpen());
    QVERIFY(m_harness->messages.isEmpty());
}

void TstShell::ctrlH_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("expands");
    QTest::newRow("Ctrl+H") << int(Qt::Key_H) << int(Qt::ControlModifier) << true;
    QTest::newRow("Ctrl+Shift+H") << int(Qt::Key_H) << int(Qt::ControlModifier | Qt::ShiftModifier)
                                  << false;
    QTest::newRow("Ctrl+Alt+H") << int(Qt::Key_H) << int(Qt::ControlModifier | Qt::AltModifier)
                                << false;
    QTest::newRow("H alone") << int(Qt::Key_H) << 0 << false;
    QTest::newRow("Ctrl+G") << int(Qt::Key_G) << int(Qt::ControlModifier) << false;
}

void TstShell::ctrlH()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, expands);
    auto peer = ShellHarness::projectorAt(3);
    writeConfig("[StartUP]\nComPort=3\n");
    Form1 form(m_harness->hooks());
    form.start();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus);
    QCOMPARE(focus->window(), &form);
    QTest::keyClick(focus, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(form.outerHeight(), expands ? Form1::kFullHeight : form.outerHeight());
    QCOMPARE(form.outerHeight() == Form1::kFullHeight, expands);
    QCOMPARE(button(form, "Command34")->isVisibleTo(&form), expands);
}

void TstShell::viewsCycle()
{
    Form1 form(m_harness->hooks());
    form.show();
    form.Form_KeyDown(72, 2);
    QCOMPARE(form.outerHeight(), Form1::kFullHeight);
    QCOMPARE(button(form, "Command34")->text(), QStringLiteral("CLOSE"));
    button(form, "Command34")->click();
    QVERIFY(qAbs(form.outerHeight() - Form1::kCollapsedHeight) < 15);
    QCOMPARE(button(form, "Command34")->text(), QStringLiteral("OPEN"));
    form.Command34_Click();
    QVERIFY(qAbs(form.outerHeight() - Form1::kExpandedHeight) < 15);
    QCOMPARE(button(form, "Command34")->text(), QStringLiteral("CLOSE"));
    form.Command34_Click();
    QCOMPARE(button(form, "Command34")->text(), QStringLiteral("OPEN"));
    // Ctrl+H always leads to the full view, whatever the caption says.
    form.Form_KeyDown(72, 2);
    QCOMPARE(form.outerHeight(), Form1::kFullHeight);
    QCOMPARE(button(form, "Command34")->text(), QStringLiteral("CLOSE"));
}

void TstShell::exactly6000Collapses()
{
    Form1 form(m_harness->hooks());
    form.setOuterHeight(6000);
    QCOMPARE(form.outerHeight(), 6000);
    form.Command34_Click();
    QVERIFY(form.outerHeight() < 6000);
    QCOMPARE(button(form, "Command34")->text(), QStringLiteral("OPEN"));
}

void TstShell::bandsFollowTheViews()
{
    Form1 form(m_harness->hooks());
    form.show();
    const auto inView = [&](const char* name) {
        const QWidget* w = form.widget(QLatin1String(name));
        return w->mapTo(&form, QPoint(0, w->height())).y() <= form.height();
    };
    form.setOuterHeight(Form1::kCollapsedHeight);
    QVERIFY(inView("Command16"));
    QVERIFY(!inView("Frame9"));
    QVERIFY(!inView("Command34"));
    form.setOuterHeight(Form1::kExpandedHeight);
    QVERIFY(inView("Frame9"));
    QVERIFY(inView("Frame15"));
    QVERIFY(inView("Command34"));
    if (form.widget("Command74"))
        QVERIFY(!inView("Command74"));
    form.setOuterHeight(Form1::kFullHeight);
    if (form.widget("Command74"))
        QVERIFY(inView("Command74"));
}

void TstShell::comButtonTakesCopies()
{
    auto peer = ShellHarness::projectorAt(4);
    writeConfig("[StartUP]\nComPort=4\nBaudRate=96\n");
    Form1 form(m_harness->hooks());
    form.start();
    QVERIFY(form.MSComm1()->PortOpen());
    button(form, "Command33")->click();
    QVERIFY(!form.MSComm1()->PortOpen());
    QCOMPARE(form.values().PrevPortNo, qint16(4));
    QCOMPARE(form.values().PrevBaudCode, quint8(96));
    QPointer<Form2> dialog = form.comDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowModality(), Qt::NonModal);
    // A second click, with other values chosen meanwhile: fresh copies, the
    // same dialog, the port still untouched.
    form.values().PortNo = 2;
    form.values().BaudCode = 192;
    form.Command33_Click();
    QCOMPARE(form.comDialog(), dialog.data());
    QCOMPARE(form.values().PrevPortNo, qint16(2));
    QCOMPARE(form.values().PrevBaudCode, quint8(192));
    QVERIFY(!form.MSComm1()->PortOpen());
}

void TstShell::endClosesEverything()
{
    auto peer = ShellHarness::projectorAt(4);
    writeConfig("[StartUP]\nComPort=4\n");
    Form1 form(m_harness->hooks());
    form.start();
    form.Command33_Click();
    QPointer<Form2> dialog = form.comDialog();
    QVERIFY(dialog);
    button(form, "Command74")->click();
    button(form, "Command77")->click();
    QPointer<QWidget> basic = form.basicConsole();
    QPointer<QWidget> expand = form.expandConsole();
    QVERIFY(basic && basic->isVisible());
    QVERIFY(expand && expand->isVisible());
    button(form, "Command16")->click();
    QCOMPARE(m_harness->ends, 1);
    QVERIFY(!form.isVisible());
    QTRY_VERIFY(!dialog);
    QTRY_VERIFY(!basic || !basic->isVisible());
    QTRY_VERIFY(!expand || !expand->isVisible());
    QVERIFY(!form.MSComm1()->PortOpen());
}

void TstShell::closingTheWindowClosesThePort()
{
    auto peer = ShellHarness::projectorAt(4);
    writeConfig("[StartUP]\nComPort=4\n");
    Form1 form(m_harness->hooks());
    form.start();
    QVERIFY(form.MSComm1()->PortOpen());
    form.close();
    QVERIFY(!form.MSComm1()->PortOpen());
    QCOMPARE(m_harness->ends, 0);
}

void TstShell::sendWithoutPortTellsTheUser()
{
    Form1 form(m_harness->hooks());
    form.show();
    auto* status = form.findChild<TraceLine*>("Label25");
    QVERIFY(status);
    form.exchange()->send("CR0");
    QVERIFY(status->text().contains("No port open"));
    QCOMPARE(form.findChild<TraceLine*>("Label11")->text(), QString());
    QVERIFY(!form.exchange()->Timer2()->isActive());
}

QTEST_MAIN(TstShell)
#include "tst_shell.moc"
