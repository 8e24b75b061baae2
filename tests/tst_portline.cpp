// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/portmap.h"
#include "line/serial/locks.h"
#include "line/serial/portfacts.h"
#include "line/serial/serialline.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "panel/holdrepeat.h"
#include "ptypeer.h"
#include "settings/storedsettings.h"
#include "shelltest.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <malloc.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace orva;

// The serial line in the field. Each test starts with the panel up on COM7, a
// simulated projector behind a link, in the collapsed view.
class TstPortLine : public QObject
{
    Q_OBJECT
    QStringList m_told;
    std::unique_ptr<sim::PtyPeer> m_peer;
    std::unique_ptr<Form1> m_form;
    const QString m_me = QStringLiteral("tst_portline (PID %1)").arg(::getpid());
    MSComm* comm() { return m_form->MSComm1(); }
    Exchange* exchange() { return m_form->exchange(); }

    static QString plain(const QString& shown)
    {
        QTextDocument document;
        document.setHtml(shown);
        return document.toPlainText();
    }
    bool fitsStatusLine(const QString& notice)
    {
        auto* line = m_form->findChild<QWidget*>("Label25");
        return QFontMetrics(line->font()).horizontalAdvance(notice) < line->contentsRect().width();
    }

  private slots:
    void initTestCase() { isolatedConfigHome(); }
    void init()
    {
        QDir().mkpath(PortMap::portsFolder());
        m_told.clear();
        writeConfig("[StartUP]\nComPort=7\nBaudRate=96\n");
        m_peer = ShellHarness::projectorAt(7);
        const auto tell = [this](QWidget*, const QString&, const QString& title,
                                 const QString& detail) { m_told << title + ": " + detail; };
        m_form = std::make_unique<Form1>(Form1::Hooks{[] {}, tell});
        m_form->start();
        QVERIFY(comm()->PortOpen());
    }
    void cleanup()
    {
        m_form.reset();
        m_peer.reset();
    }

    void comTable_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        for (const Row& row : readTable("comports.tsv"))
            QTest::newRow(qPrintable(row["port"]))
                << row["port"].mid(3).toInt() << (row["device"] == "none" ? "" : row["device"]);
    }
    void comTable()
    {
        QFETCH(int, port);
        QFETCH(QString, device);
        QCOMPARE(PortMap::defaultDevice(port), device);
    }

    void comesBack_data()
    {
        // What COM7's link leads to after the loss: a new pseudo-terminal
        // ("pty"), read as the identities given (lost, now: a USB adapter's
        // "vendor:product:serial" or a driver; "" a reading that failed), the
        // lost pty's number given to another pty ("reused"), or /dev/null. The
        // notice, %1 the device now; empty when the port is back.
        QTest::addColumn<QString>("now");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("notice");
        const QString other = " Another device at COM7: %1";
        const QString notSerial = " COM7 not a serial device";
        QTest::newRow("a pty again") << "pty" << QStringList{} << "";
        QTest::newRow("a pty again, nothing read as it opened")
            << "pty" << QStringList{"", "pty_slave"} << "";
        QTest::newRow("same adapter, another device name")
            << "pty" << QStringList{"0403:6001:A1", "0403:6001:A1"} << "";
        QTest::newRow("another adapter of the same model")
            << "pty" << QStringList{"0403:6001:A1", "0403:6001:B2"} << other;
        QTest::newRow("model without serial number, another device")
            << "pty" << QStringList{"1a86:7523:", "1a86:7523:"} << other;
        QTest::newRow("a built-in UART where a pty was")
            << "pty" << QStringList{"pty_slave", "serial8250"} << other;
        QTest::newRow("a pty at the lost one's number, its link as it was")
            << "reused" << QStringList{} << other;
        QTest::newRow("/dev/null") << "/dev/null" << QStringList{} << notSerial;
    }
    void comesBack()
    {
        QFETCH(QString, now);
        QFETCH(QStringList, ids);
        QFETCH(QString, notice);
        const auto identity = [](const QString& text) {
            if (text.isEmpty())
                return DeviceIdentity{}; // a reading that failed
            const QStringList u = text.split(':') << QString() << QString();
            DeviceIdentity id;
            id.serial = true;
            id.driver = id.kernelDriver = u.size() > 3 ? "ftdi_sio" : text;
            id.vendor = u[0].toUShort(nullptr, 16);
            id.product = u[1].toUShort(nullptr, 16);
            id.serialNumber = u[2];
            return id;
        };
        // Made first, so the pty number is not the lost one's.
        const auto next = std::make_unique<sim::PtyPeer>(sim::ModelOptions{.powerOn = true});
        const QString thing = isolatedConfigHome().path() + "/thing";
        // Links of the test's own, which the lost peer leaves in place as a
        // killed simulator does.
        if (now == "reused")
            QVERIFY(QFile::remove(PortMap::linkPath(7)) &&
                    QFile::link(m_peer->slavePath(), thing) &&
                    QFile::link(thing, PortMap::linkPath(7)));
        if (!ids.isEmpty() || now == "reused") {
            const QString lost = m_peer->slavePath();
            if (!ids.isEmpty())
                setIdentityReader(
                    [=](const QString& device) { return identity(ids[device != lost]); });
            comm()->setPortOpen(false);
            comm()->setPortOpen(true);
        }
        m_peer->hangUp();
        QTRY_VERIFY(comm()->isReopening());
        const QString target = now == "pty"      ? next->slavePath()
                               : now == "reused" ? m_peer->slavePath()
                                                 : now;
        // The lost number goes to the next pty made (the lowest free one),
        // unless another program on the machine got it first.
        std::vector<std::unique_ptr<sim::PtyPeer>> others;
        while (now == "reused" && others.size() < 8 &&
               others.emplace_back(std::make_unique<sim::PtyPeer>())->slavePath() != target) {
        }
        if (now == "reused" && others.back()->slavePath() != target)
            QSKIP("another program got the lost pty's number");
        QVERIFY(now == "reused" || QFile::link(target, PortMap::linkPath(7)));
        qobject_cast<SerialLine*>(comm()->line())->watch()->look();
        setIdentityReader({});
        QFile::remove(thing);
        QCOMPARE(comm()->PortOpen(), notice.isEmpty());
        QCOMPARE(exchange()->status(), notice.isEmpty() ? " Port back: COM7" : notice.arg(target));
        if (notice.isEmpty())
            return;
        // Whole on the STATUS line with the longest port number and device
        // name too; the whole path in COM's tooltip.
        QVERIFY(fitsStatusLine(notice.arg("/dev/ttyUSB5").replace("COM7", "COM15")));
        const QString tip = plain(m_form->findChild<QPushButton*>("Command33")->toolTip());
        QVERIFY2(tip.contains(PortMap::linkPath(7) + " \u2192 " + target), qPrintable(tip));
    }

    void lostPort_data()
    {
        QTest::addColumn<int>("when"); // 0: idle, 1: just after a send, 2: during a hold
        QTest::addColumn<int>("then"); // 0: link recreated, 1: COM pressed, 2: back but busy
        QTest::newRow("idle line; link recreated at a new pty") << 0 << 0;
        QTest::newRow("within a second of a send; COM pressed") << 1 << 1;
        QTest::newRow("hold released after the loss; back but busy") << 2 << 2;
    }
    void lostPort()
    {
        QFETCH(int, when);
        QFETCH(int, then);
        auto* com = m_form->findChild<QPushButton*>("Command33");
        const QColor face = com->palette().color(QPalette::Button);
        if (when == 1)
            exchange()->send("CR0");
        if (when == 2)
            m_form->holdRepeat()->press(1);
        m_peer->hangUp();
        QTRY_VERIFY(comm()->isReopening());
        if (when == 2)
            m_form->holdRepeat()->Cont_M_up();
        // The pty's node goes with its far end.
        const QString notice = exchange()->status();
        QCOMPARE(notice, " Port lost (device removed): press COM");
        exchange()->Timer4_Timer();
        QCOMPARE(exchange()->status(), notice);
        QCOMPARE(plain(com->toolTip()), notice.trimmed() + '\n' + comm()->line()->describe());
        QVERIFY(com->palette().color(QPalette::Button) != face);
        if (then == 1)
            m_form->Command33_Click();
        m_peer = ShellHarness::projectorAt(7);
        QLockFile lock(ownLockPath(m_peer->slavePath()));
        if (then == 2) {
            QVERIFY(lock.tryLock(0));
            QTRY_COMPARE(exchange()->status(), " COM7 busy: " + m_me);
            QVERIFY(fitsStatusLine(exchange()
                                       ->status()
                                       .replace("COM7", "COM15")
                                       .replace(m_me, "ModemManager (PID 4194304)")));
            lock.unlock();
        }
        qobject_cast<SerialLine*>(comm()->line())->watch()->look();
        QCOMPARE(comm()->PortOpen(), then != 1);
        // Back, or given up with COM: either way nothing asks for COM any more.
        QCOMPARE(com->palette().color(QPalette::Button), face);
        QCOMPARE(exchange()->status(), then == 1 ? QString() : QString(" Port back: COM7"));
    }

    void replugsLeaveNoMemoryBehind()
    {
        // Each loss and return paints COM in a new face; what was drawn for
        // the faces before must not pile up (it did, 14 KiB a cycle).
        auto* com = m_form->findChild<QPushButton*>("Command33");
        size_t before = 0;
        for (int cycle = 0; cycle < 110; ++cycle) {
            if (cycle == 10) {
                before = mallinfo2().uordblks;
                if (before == 0)
                    QSKIP("The allocator keeps no count here (a sanitizer's)");
            }
            m_peer->hangUp();
            QTRY_VERIFY(comm()->isReopening());
            com->repaint();
            m_peer = ShellHarness::projectorAt(7);
            qobject_cast<SerialLine*>(comm()->line())->watch()->look();
            // Under load the first look may come too early; the watch's own
            // looks then reopen it.
            QTRY_VERIFY(comm()->PortOpen());
            com->repaint();
        }
        const qint64 grown = qint64(mallinfo2().uordblks) - qint64(before);
        QVERIFY2(grown < 256 * 1024, qPrintable(QString::number(grown)));
    }

    void permissionHint_data()
    {
        // The device's group, m: the group may use it, l: the user is listed
        // in it; what the hint must say and what it must not.
        QTest::addColumn<QStringList>("row");
        QTest::newRow("dialout device")
            << QStringList{"dialout", "m", "adduser $USER dialout", "uucp"};
        QTest::newRow("uucp device") << QStringList{"uucp", "m", "adduser $USER uucp", "dialout"};
        QTest::newRow("added since login") << QStringList{"dialout", "ml", "log out", "adduser"};
        QTest::newRow("own device, mode 000")
            << QStringList{"me", "o", "chmod u+rw", "administrator"};
    }
    void permissionHint()
    {
        QFETCH(QStringList, row);
        DeviceFacts facts;
        facts.group = row[0];
        facts.groupMayUse = row[1].contains('m');
        facts.inGroupListed = row[1].contains('l');
        facts.ownedByMe = row[1].contains('o');
        const QString hint = openHint(OpenFailure::Refused, "COM5 (/dev/ttyUSB0)", facts);
        QVERIFY2(hint.contains(row[2]) && !hint.contains(row[3]), qPrintable(hint));
    }

    void unstorableChoiceIsTold()
    {
        const QByteArray path = QFile::encodeName(configFile());
        QVERIFY(QFile::remove(configFile()) && ::mkfifo(path, 0600) == 0);
        QCOMPARE(storedPortNo(), qint16(0)); // at start-up, without blocking on the FIFO
        m_form->Command33_Click();
        m_form->comDialog()->findChild<QPushButton*>("Command1")->click();
        QVERIFY(::unlink(path) == 0 && comm()->PortOpen());
        QCOMPARE(m_told, {"Settings not stored: " + configFile() + " is not a regular file"});
    }

    void comDialogKeepsEscapeAndPathsPlain()
    {
        m_form->Command33_Click();
        QTest::keyClick(m_form->comDialog()->findChild<QLineEdit*>("Text1"), Qt::Key_Escape);
        QVERIFY(m_form->comDialog() && m_form->comDialog()->isVisible());
        // Plugged in while the dialog is open, with a name that reads as markup.
        QVERIFY(QFile::link("/dev/<b>adapter</b>", PortMap::linkPath(2)));
        auto* option = m_form->findChild<QRadioButton*>("Option4");
        QHelpEvent hover(QEvent::ToolTip, QPoint(1, 1), option->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(option, &hover);
        QVERIFY(plain(option->toolTip()).contains("/dev/<b>adapter</b>"));
        QFile::remove(PortMap::linkPath(2));
        Qt::TextFormat format = Qt::RichText;
        QTimer::singleShot(0, [&format] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            format = box->findChild<QLabel*>("qt_msgbox_informativelabel")->textFormat();
            box->accept();
        });
        Form2::warningBox(nullptr, "Retry Comport", "Error", "/dev/<b>adapter</b>");
        QCOMPARE(format, Qt::PlainText);
    }
};

QTEST_MAIN(TstPortLine)
#include "tst_portline.moc"
