// SPDX-License-Identifier: GPL-3.0-or-later
#include "consoles/consolewindow.h"
#include "link/exchange.h"
#include "panel/holdrepeat.h"
#include "settings/storedsettings.h"
#include "shell/placement.h"
#include "shelltest.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace orva;

// The running panel: start-up, views, COM, END, the COM PORT dialog, the
// consoles and the press-and-hold repeat, over real ptys to the simulator.
class TstShell : public QObject
{
    Q_OBJECT
    ShellHarness m_harness;
    std::vector<std::unique_ptr<sim::PtyPeer>> m_peers;
    std::unique_ptr<Form1> m_form;

    void start(const QByteArray& stored, QList<int> peers)
    {
        for (int port : peers)
            m_peers.push_back(ShellHarness::projectorAt(port));
        m_form = m_harness.startPanel(stored);
    }
    QList<QByteArray> sent(int peer = 0) { return m_peers.at(peer)->commands(); }
    QPushButton* button(const QString& name, QWidget* in = nullptr)
    {
        return (in ? in : m_form.get())->findChild<QPushButton*>(name);
    }
    Exchange* exchange() { return m_form->exchange(); }
    ConsoleWindow* openBasic()
    {
        m_form->Command74_Click();
        return m_form->basicConsole();
    }
    static QComboBox* combo(QWidget* w) { return w->findChild<QComboBox*>("Combo1"); }
    template <typename T = QPushButton> T* inDialog(const QString& name)
    {
        return m_form->comDialog()->findChild<T*>(name);
    }
    // The COM button with these values in use.
    void com(int portNo, int baud)
    {
        m_form->values().PortNo = qint16(portNo);
        m_form->values().BaudCode = quint8(baud);
        m_form->show();
        m_form->Command33_Click();
    }

  private slots:
    void init() { ShellHarness::clearStore(); }
    void cleanup()
    {
        m_form.reset();
        m_peers.clear();
    }

    void views_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("key"); // a key with Ctrl or Shift; empty: click CLOSE/OPEN
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Ctrl+H from the expanded view") << 7570 << "ctrl+H" << 8085 << "CLOSE";
        QTest::newRow("Ctrl+Shift+H does nothing") << 5780 << "ctrl+shift+H" << 5780 << "OPEN";
        QTest::newRow("H alone does nothing") << 5780 << "H" << 5780 << "OPEN";
        QTest::newRow("exactly 6000 collapses") << 6000 << "" << 5780 << "OPEN";
        QTest::newRow("a pixel less expands") << 5985 << "" << 7570 << "CLOSE";
    }
    void views()
    {
        QFETCH(int, height);
        QFETCH(QString, key);
        QFETCH(int, expected);
        QFETCH(QString, caption);
        m_form = std::make_unique<Form1>(m_harness.hooks());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        button("Command34")->setText("OPEN");
        m_form->setOuterHeight(height);
        if (key.isEmpty()) {
            m_form->Command34_Click();
        } else {
            // Whichever button has the focus, the window sees the key.
            button("Command6")->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key.back().unicode()),
                            Qt::KeyboardModifiers(key.contains("ctrl") * Qt::ControlModifier |
                                                  key.contains("shift") * Qt::ShiftModifier));
        }
        QVERIFY(qAbs(m_form->outerHeight() - expected) < 15);
        QCOMPARE(button("Command34")->text(), caption);
        QCOMPARE(button("Command34")->isVisibleTo(m_form.get()), key == "ctrl+H");
    }

    // COM PORT keeps its designed place (462, 315 px; 207 x 267 and a 32 px
    // title) where its whole frame fits the screen's free part (as the
    // reference test sees it), else moves in.
    void comPortPlace_data()
    {
        QTest::addColumn<QRect>("screen"); // all of it free
        QTest::addColumn<QPoint>("client");
        QTest::newRow("1280 x 1024, twice the scale") << QRect(0, 0, 640, 512) << QPoint(433, 245);
        QTest::newRow("700 x 540, the least asked for")
            << QRect(0, 0, 700, 540) << QPoint(462, 273);
        QTest::newRow("a second screen") << QRect(1920, 0, 1024, 768) << QPoint(2382, 315);
    }
    void comPortPlace()
    {
        QFETCH(QRect, screen);
        QFETCH(QPoint, client);
        QCOMPARE(designedPlace(screen, screen, {0, 32, 0, 0}, {462, 315, 207, 267}), client);
    }

    void comThenEndOrClose_data()
    {
        QTest::addColumn<bool>("end");
        QTest::newRow("END ends the program with every window") << true;
        QTest::newRow("closing the window closes the port") << false;
    }
    void comThenEndOrClose()
    {
        QFETCH(bool, end);
        start("ComPort=4\nBaudRate=96", {4});
        QVERIFY(m_form->MSComm1()->PortOpen());
        // COM closes the port and takes the copies afresh at each click.
        button("Command33")->click();
        QVERIFY(!m_form->MSComm1()->PortOpen());
        QCOMPARE(m_form->values().PrevPortNo * 1000 + m_form->values().PrevBaudCode, 4096);
        QPointer<Form2> dialog = m_form->comDialog();
        QCOMPARE(dialog->windowModality(), Qt::NonModal);
        com(2, 192);
        QCOMPARE(m_form->comDialog(), dialog.data());
        QCOMPARE(m_form->values().PrevPortNo * 1000 + m_form->values().PrevBaudCode, 2192);
        inDialog("Command2")->click();
        QPointer<QWidget> basic = openBasic();
        end ? button("Command16")->click() : void(m_form->close());
        QCOMPARE(m_harness.ends, int(end));
        QVERIFY(!m_form->isVisible() && !m_form->MSComm1()->PortOpen());
        QTRY_VERIFY(!basic || !basic->isVisible());
    }

    void dialog_data()
    {
        // Steps: "store:KEY=VALUE;..." (the stored settings, "_" a blank),
        // "absent:PORT", "busy:PORT", "start" (start-up), "com:PORT:RATE" (the COM
        // button with those values in use), option names, "type:TEXT", "clear",
        // "key:Tab" or "key:Down" (to the dialog's focus), "OK", "Cancel", "close".
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QList<int>>("peers");
        QTest::addColumn<QString>("state");
        const auto row = [](const char* steps, QList<int> peers, const char* state) {
            QTest::newRow(steps) << steps << peers << state;
        };
        // Start-up reads the store: halves round to even, blanks go before the
        // number that begins, no rate or 9600 (not the code 96) is 19200; a port
        // not 1 to 15 (65539 does not fit 16 bits), absent or busy brings up the
        // dialog, which starts with nothing to go back to.
        row("store:ComPort=15;BaudRate=96 start", {15}, "15/96 - - 15 9600 15/96 0");
        row("store:ComPort=3.5 start", {4}, "4/192 - - 4 19200 3.5/- 0");
        row("store:ComPort=2.5;BaudRate=96.4 start", {2}, "2/96 - - 2 9600 2.5/96.4 0");
        row("store:ComPort=\"__7_(usb)\" start", {7}, "7/192 - - 7 19200   7 (usb)/- 0");
        row("store:ComPort=6;BaudRate=9600 start", {6}, "6/192 - - 6 19200 6/9600 0");
        row("store:ComPort=16 start", {16}, "16/192 Option2 0 closed 16/- 0");
        row("store:ComPort=COM3 start", {3}, "0/192 Option2 0 closed COM3/- 0");
        row("store:ComPort=65539 start", {3}, "0/192 Option2 0 closed 65539/- 0");
        row("start", {1}, "0/192 Option2 0 closed - 0");
        // With no port option marked yet, the first arrow press chooses, as
        // every later one does.
        row("start key:Tab key:Tab key:Down OK", {2}, "2/192 - - 2 19200 2/192 0");
        row("absent:9 store:ComPort=9;BaudRate=96 start", {}, "9/96 Option1 0 closed 9/96 0");
        row("busy:5 store:ComPort=5 start", {5}, "5/192 Option2+Option7 0 closed 5/- 0");
        // Form_Load marks the options of the values in use; the box keeps "0".
        row("com:1:96", {}, "1/96 Option1+Option3 0 closed - 0");
        row("com:5:7", {}, "5/192 Option2+Option7 0 closed - 0");
        row("com:9:96", {}, "9/96 Option1 0 closed - 0");
        // The OTHER box, keystroke by keystroke: 1 then 6 falls back to 0, a half
        // rounds to even, blanks are ignored and empty is 0.
        row("com:4:96 type:12", {}, "12/96 Option1+Option6 12 closed - 0");
        row("com:4:96 type:16", {}, "1/96 Option1+Option6 0 closed - 0");
        row("com:4:96 type:13.5", {}, "14/96 Option1+Option6 13.5 closed - 0");
        row("com:4:96 type:_15_ clear", {}, "15/96 Option1+Option6 0 closed - 0");
        // OK, Cancel (back to the previous port and rate) and the close box, which
        // keeps the edits; a port that does not open keeps the dialog.
        row("com:9:192 Option5 type:12 OK", {12}, "12/192 - - 12 19200 12/192 0");
        row("com:9:192 type:12 Option5 OK", {3}, "3/192 - - 3 19200 3/192 0");
        row("com:9:192 Option3 Option1 OK", {1}, "1/96 - - 1 9600 1/96 0");
        row("com:9:192 OK", {9}, "9/192 - - 9 19200 9/192 0");
        row("com:4:192 Option7 Option1 OK", {4}, "5/96 Option1+Option7 0 closed - 1");
        row("com:4:192 Option7 OK Option6 OK", {4}, "4/192 - - 4 19200 4/192 1");
        row("start Cancel", {2}, "0/192 Option2 0 closed - 1");
        row("start Cancel OK Option4 OK", {2}, "2/192 - - 2 19200 2/192 2");
        row("com:3:96 Option7 Option2 type:12 Cancel", {3, 5}, "3/96 - - 3 9600 - 0");
        row("com:3:192 Option7 Option1 Cancel", {3, 5}, "3/192 - - 3 19200 - 0");
        row("com:6:96 Option7 Option2 Cancel", {5}, "6/96 Option1+Option7 0 closed - 1");
        row("com:1:96 Option6 Option2 close", {1, 4}, "4/192 - - closed - 0");
    }
    void dialog()
    {
        QFETCH(QString, steps);
        QFETCH(QList<int>, peers);
        QFETCH(QString, state);
        for (int port : peers)
            m_peers.push_back(ShellHarness::projectorAt(port));
        QVERIFY(QFile::link("/nonexistent/ttyUSB0", PortMap::linkPath(5)) || peers.contains(5));
        m_harness.messages.clear();
        m_form = std::make_unique<Form1>(m_harness.hooks());
        MSComm holder;
        for (const QString& step : steps.split(' ')) {
            const QString arg = step.section(':', 1).replace('_', ' ');
            if (step.startsWith("store:")) {
                writeConfig("[StartUP]\n" + arg.toLatin1().replace(';', '\n') + "\n");
            } else if (step.startsWith("absent:")) {
                QVERIFY(QFile::link("/nonexistent/ttyUSB4", PortMap::linkPath(arg.toInt())));
            } else if (step.startsWith("busy:")) {
                holder.setCommPort(qint16(arg.toInt()));
                holder.setPortOpen(true);
            } else if (step == "start") {
                m_form->start();
            } else if (step.startsWith("com:")) {
                com(step.section(':', 1, 1).toInt(), step.section(':', 2).toInt());
            } else if (step.startsWith("Option")) {
                inDialog<QRadioButton>(step)->click();
            } else if (step.startsWith("type:")) {
                QTest::keyClicks(inDialog<QLineEdit>("Text1"), arg);
            } else if (step.startsWith("key:")) {
                QVERIFY(QTest::qWaitForWindowActive(m_form->comDialog()));
                QTest::keyClick(QApplication::focusWidget(),
                                arg == "Tab" ? Qt::Key_Tab : Qt::Key_Down);
            } else if (step == "clear") {
                inDialog<QLineEdit>("Text1")->clear();
            } else if (step == "close") {
                m_form->comDialog()->close();
            } else {
                inDialog(step == "OK" ? "Command1" : "Command2")->click();
            }
        }
        // The dialog goes with a port opened or its close box; a retry keeps it.
        QTRY_VERIFY(!m_form->comDialog() ==
                    (m_form->MSComm1()->PortOpen() || steps.endsWith("close")));
        QString shown = "- -"; // the marked options and the OTHER box
        if (Form2* d = m_form->comDialog()) {
            QStringList marked;
            for (QRadioButton* option : d->findChildren<QRadioButton*>())
                if (option->isChecked())
                    marked << option->objectName();
            marked.sort();
            shown = marked.join('+') + ' ' + d->findChild<QLineEdit*>("Text1")->text();
        }
        MSComm* comm = m_form->MSComm1();
        const QString port = SettingsStore::get("StartUP", "ComPort", "-");
        // Every open port is 8N1: the state names the rate alone, or the whole if not.
        const QString actual =
            QStringList{
                QString("%1/%2").arg(m_form->values().PortNo).arg(m_form->values().BaudCode), shown,
                comm->PortOpen()
                    ? QString("%1 %2").arg(comm->CommPort()).arg(comm->Settings()).remove(",N,8,1")
                    : "closed",
                port == "-" ? port : port + "/" + SettingsStore::get("StartUP", "BaudRate", "-"),
                QString::number(m_harness.messages.count("Error: Retry Comport"))}
                .join(' ');
        QCOMPARE(actual, state);
        QCOMPARE(m_harness.messages.size(), actual.back().digitValue());
        QCOMPARE(m_form->isVisible(), comm->PortOpen() || !steps.contains("start"));
        if (steps.endsWith("start") && comm->PortOpen()) {
            QVERIFY(qAbs(m_form->outerHeight() - Form1::kCollapsedHeight) < 15);
            const QRect screen = m_form->screen()->geometry();
            QVERIFY(qAbs(m_form->geometry().center().x() - screen.center().x()) < 4);
            QVERIFY(!exchange()->Timer2()->isActive() && !exchange()->Timer4()->isActive());
        } else if (steps.endsWith("start")) {
            QCOMPARE(m_form->comDialog()->windowModality(), Qt::ApplicationModal);
        }
    }

    // Both consoles are one class; what each row sends is checked against the
    // reference data. Row 13 has "[CR]" in its description.
    void consoles()
    {
        const int row = 13;
        start("ComPort=4", {4});
        ConsoleWindow* console = openBasic();
        QCOMPARE(combo(console)->currentIndex(), 0);
        combo(console)->setCurrentIndex(row);
        QTest::mouseClick(button("Command1", console), Qt::LeftButton);
        QTest::mouseClick(button("Command1", console), Qt::LeftButton);
        QTRY_COMPARE(sent(), QList<QByteArray>(2, "C10\r"));
        // Shown again while open it keeps its row; END shows the panel and
        // destroys it, so the next one starts afresh; the close box only destroys.
        console->hide();
        m_form->hide();
        QCOMPARE(openBasic(), console);
        QCOMPARE(combo(console)->currentIndex(), row);
        QSignalSpy destroyed(console, &QObject::destroyed);
        QTest::mouseClick(button("Command2", console), Qt::LeftButton);
        QVERIFY(m_form->isVisible());
        QTRY_COMPARE(destroyed.count(), 1);
        console = openBasic();
        QCOMPARE(combo(console)->currentIndex(), 0);
        m_form->hide();
        QSignalSpy destroyedAgain(console, &QObject::destroyed);
        QVERIFY(console->close());
        QTRY_COMPARE(destroyedAgain.count(), 1);
        QVERIFY(!m_form->isVisible());
        QCOMPARE(sent().size(), 2);
    }

    // Hyouji, the receive event and the two time-outs: a reply, none, replies
    // that add up within one collection, and a send with the port closed.
    void exchangeAndTimeouts()
    {
        start("ComPort=7\nBaudRate=96", {7});
        exchange()->send("CR0");
        QCOMPARE(exchange()->txd(), QStringLiteral(" C R 0  [CR] "));
        QCOMPARE(exchange()->replyPending(), quint8(1));
        QTRY_COMPARE(exchange()->rxd(), QStringLiteral(" 0 0  [CR] "));
        QCOMPARE(exchange()->replyPending(), quint8(0));
        QCOMPARE(exchange()->replyBuffer(), QByteArray("00\r"));
        QCOMPARE(exchange()->status(), QStringLiteral(" Power ON"));
        // The time-out marks nothing once a reply came, and closes the collection.
        exchange()->Timer2_Timer();
        QCOMPARE(exchange()->rxd(), QStringLiteral(" 0 0  [CR] "));
        QVERIFY(exchange()->replyBuffer().isEmpty());
        QVERIFY(!exchange()->Timer2()->isActive());
        exchange()->Timer4_Timer();
        QCOMPARE(exchange()->txd() + exchange()->rxd() + exchange()->status(), QString());
        QVERIFY(!exchange()->Timer4()->isActive());

        exchange()->send("CR0");
        QTRY_COMPARE(exchange()->replyBuffer(), QByteArray("00\r"));
        exchange()->send("CR1");
        QCOMPARE(exchange()->replyPending(), quint8(1));
        QTRY_COMPARE(exchange()->rxd(), QStringLiteral(" 0 0  [CR] 1  [CR] "));
        // A reply after the collection closed starts a new one.
        m_peers[0]->setFaults({.delayMs = 150});
        exchange()->send("CR1");
        exchange()->Timer2_Timer();
        QCOMPARE(exchange()->rxd(), QStringLiteral(" X X X X"));
        QTRY_COMPARE(exchange()->rxd(), QStringLiteral(" 1  [CR] "));

        m_peers[0]->setFaults({.noReply = true});
        exchange()->Timer4_Timer();
        exchange()->send("C00");
        QTRY_COMPARE(sent().count("C00\r"), 1);
        QTRY_COMPARE(exchange()->rxd(), QStringLiteral(" X X X X"));
        QCOMPARE(exchange()->replyPending(), quint8(0));
        QCOMPARE(exchange()->txd(), QStringLiteral(" C 0 0  [CR] "));
        QTRY_COMPARE(exchange()->txd(), QString());
        QCOMPARE(exchange()->rxd(), QString());

        m_form->MSComm1()->setPortOpen(false);
        exchange()->send("C01");
        QCOMPARE(m_form->values().CommandText, QByteArray("C01\r"));
        QCOMPARE(exchange()->status(), QStringLiteral(" No port open: press COM"));
        QCOMPARE(exchange()->txd(), QString());
        QCOMPARE(exchange()->replyPending(), quint8(0));
        QVERIFY(!exchange()->Timer2()->isActive() && !exchange()->Timer4()->isActive());
        m_form->MSComm1()->setPortOpen(true);
        exchange()->send("C01");
        QCOMPARE(exchange()->status(), QString());
        QCOMPARE(exchange()->txd(), QStringLiteral(" C 0 1  [CR] "));
    }

    // A notice about a port goes when that port is closed: nothing says
    // "back" about a port that is not open, not while another one fails either.
    void noticeGoesWithItsPort_data()
    {
        QTest::addColumn<bool>("back");
        QTest::newRow("back, then COM") << true;
        QTest::newRow("lost, then COM") << false;
    }

    void noticeGoesWithItsPort()
    {
        QFETCH(bool, back);
        start("ComPort=7\nBaudRate=96", {7});
        m_peers[0]->hangUp();
        QTRY_VERIFY(m_form->MSComm1()->isReopening());
        if (back) {
            m_peers[0] = ShellHarness::projectorAt(7);
            QTRY_COMPARE_WITH_TIMEOUT(exchange()->status(), " Port back: COM7", 10000);
        } else {
            QTRY_VERIFY(exchange()->status().startsWith(" Port lost"));
        }
        QSignalSpy shown(exchange(), &Exchange::statusChanged);
        QSignalSpy trouble(exchange(), &Exchange::troubleChanged);
        m_form->Command33_Click();
        QCOMPARE(exchange()->status(), QString());
        QCOMPARE(trouble.size(), back ? 0 : 1);
        // Nothing listens on port 1: refused at once.
        QFile server(PortMap::linkPath(8));
        QVERIFY(server.open(QIODevice::WriteOnly) && server.write("socket://127.0.0.1:1\n") > 0);
        server.close();
        QTest::keyClicks(inDialog<QLineEdit>("Text1"), "8");
        inDialog("Command1")->click();
        QCOMPARE(m_harness.messages, {"Error: Retry Comport"});
        exchange()->Timer4_Timer();
        for (const QList<QVariant>& text : shown)
            QVERIFY2(!text[0].toString().contains("COM7"), qPrintable(text[0].toString()));
        QCOMPARE(exchange()->status(), QString());
    }

    void replyBufferIsBounded()
    {
        // A far side that streams without end, with no send to close the
        // collection.
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        QVERIFY(QFile::link(QString::fromLocal8Bit(::ptsname(master)), PortMap::linkPath(8)));
        m_form = m_harness.startPanel("ComPort=8");
        const QByteArray noise(40000, 'A');
        for (qsizetype sent = 0; sent < noise.size(); QCoreApplication::processEvents())
            sent +=
                qMax<qsizetype>(0, ::write(master, noise.constData() + sent, noise.size() - sent));
        QTRY_COMPARE(exchange()->replyBuffer().size(), 32767);
        QCOMPARE(exchange()->rxd().size(), 1 + 2 * 32767);
        ::close(master);
    }

    void holdRepeatsWithShortTimeouts()
    {
        start("ComPort=6", {6});
        m_peers[0]->setFaults({.noReply = true});
        // The keyboard does not start a repeat; any mouse button does.
        button("Command30")->setFocus();
        QTest::keyClick(button("Command30"), Qt::Key_Space);
        QCOMPARE(m_form->values().CommandText, QByteArray());
        QTest::mousePress(button("Command30"), Qt::MiddleButton);
        QCOMPARE(m_form->holdRepeat()->Timer1()->interval(), 100);
        QCOMPARE(m_form->holdRepeat()->Timer1()->timerType(), Qt::PreciseTimer);
        QCOMPARE(exchange()->Timer2()->interval(), 150);
        QCOMPARE(exchange()->Timer4()->interval(), 200);
        QTRY_VERIFY(sent().size() >= 4);
        // Neither short time-out expires between the sends of a hold.
        QCOMPARE(exchange()->rxd(), QString());
        QCOMPARE(exchange()->txd(), QStringLiteral(" C 2 0  [CR] "));
        // Another sender in between does not change what the tick repeats.
        m_form->values().CommandText = "C00\r";
        m_form->holdRepeat()->Timer1_Timer();
        QCOMPARE(m_form->values().CommandText, QByteArray("C20\r"));
        QTest::mouseRelease(button("Command30"), Qt::MiddleButton);
        // A tick already queued at the release finds no repeat and sends nothing.
        m_form->holdRepeat()->Timer1_Timer();
        QVERIFY(!exchange()->Timer2()->isActive());
        QCOMPARE(exchange()->replyPending(), quint8(1));
        // The next click runs with the normal time-out: the mark comes after 500 ms.
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(button("Command17"), Qt::LeftButton);
        QTRY_COMPARE(exchange()->rxd(), QStringLiteral(" X X X X"));
        QVERIFY2(clock.elapsed() >= 450, qPrintable(QString::number(clock.elapsed())));
        const QList<QByteArray> all = sent();
        QCOMPARE(all, QList<QByteArray>(all.size() - 1, "C20\r") << "C00\r");
    }

    void releaseRestartsTheClearing()
    {
        start("ComPort=6", {6});
        QTest::mouseClick(button("Command44"), Qt::LeftButton);
        QTRY_COMPARE(exchange()->status(), QStringLiteral(" Power ON"));
        QTest::mousePress(button("Command2"), Qt::RightButton);
        // Held for well over the one-second clearing.
        QTRY_VERIFY_WITH_TIMEOUT(sent().count("C0A\r") >= 13, 5000);
        QCOMPARE(exchange()->status(), QStringLiteral(" Power ON"));
        QTest::mouseRelease(button("Command2"), Qt::RightButton);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(exchange()->txd() + exchange()->rxd(), QString());
        QVERIFY(exchange()->replyBuffer().isEmpty());
        QCOMPARE(exchange()->status(), QStringLiteral(" Power ON"));
        QTRY_COMPARE_WITH_TIMEOUT(exchange()->status(), QString(), 3000);
        QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_MAIN(TstShell)
#include "tst_shell.moc"
