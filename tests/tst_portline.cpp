// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/lineloss.h"
#include "line/portfacts.h"
#include "line/portmap.h"
#include "line/serialline.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "panel/holdrepeat.h"
#include "ptypeer.h"
#include "settings/storedsettings.h"
#include "shell/form1.h"
#include "testenv.h"

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
    const QRegularExpression m_lost{"^ Port lost \\((device removed|line hung up)\\): press COM$"};
    const QString m_busy = QStringLiteral("is busy: tst_portline (PID %1)").arg(::getpid());
    MSComm* comm() { return m_form->MSComm1(); }
    Exchange* exchange() { return m_form->exchange(); }

    static QString plain(const QString& shown)
    {
        QTextDocument document;
        document.setHtml(shown);
        return document.toPlainText();
    }
    void projectorAt7()
    {
        m_peer = std::make_unique<sim::PtyPeer>(sim::ModelOptions{.powerOn = true});
        QVERIFY(m_peer->linkAs(PortMap::linkPath(7)));
    }
    QString openFailure()
    {
        try {
            comm()->setPortOpen(true);
        } catch (const SerialError& e) {
            return e.hint();
        }
        return {};
    }

  private slots:
    void initTestCase() { isolatedConfigHome(); }
    void init()
    {
        QDir().mkpath(PortMap::portsFolder());
        m_told.clear();
        writeConfig("[StartUP]\nComPort=7\nBaudRate=96\n");
        projectorAt7();
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

    void lossPaths_data()
    {
        // Rms: resource error, Ems: read error, 0: empty read, D: data.
        QTest::addColumn<QString>("events");
        QTest::addColumn<int>("lostAt");
        QTest::newRow("resource error") << "R0" << 0;
        QTest::newRow("read error again within 1 s") << "E0 E999" << 1;
        QTest::newRow("read errors 1 s apart") << "E0 E1000 E2000" << -1;
        QTest::newRow("64 empty reads") << QString("0 ").repeated(64) << 63;
        QTest::newRow("empty reads broken by data") << QString("0 ").repeated(63) + "D 0 0" << -1;
    }
    void lossPaths()
    {
        QFETCH(QString, events);
        QFETCH(int, lostAt);
        const QMap<QChar, LossPath> paths{{'R', LossPath::ResourceError},
                                          {'E', LossPath::RepeatedReadError},
                                          {'0', LossPath::EmptyReads}};
        LossDetector detector;
        const QStringList list = events.split(' ', Qt::SkipEmptyParts);
        for (int i = 0; i < list.size(); ++i) {
            const QChar kind = list[i][0];
            std::optional<LossPath> lost = kind == '0' ? detector.emptyRead() : std::nullopt;
            if (kind == 'R' || kind == 'E')
                lost = detector.error(kind == 'R' ? QSerialPort::ResourceError
                                                  : QSerialPort::ReadError,
                                      list[i].mid(1).toLongLong());
            if (kind == 'D')
                detector.data();
            QVERIFY(lost.has_value() == (i == lostAt) && (!lost || *lost == paths.value(kind)));
        }
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
        const QString notice = exchange()->status();
        QVERIFY2(m_lost.match(notice).hasMatch(), qPrintable(notice));
        exchange()->Timer4_Timer();
        QCOMPARE(exchange()->status(), notice);
        QCOMPARE(plain(com->toolTip()), notice.trimmed());
        QVERIFY(com->palette().color(QPalette::Button) != face);
        if (then == 1)
            m_form->Command33_Click();
        projectorAt7();
        QLockFile lock(lockFilePath(m_peer->slavePath()));
        if (then == 2) {
            QVERIFY(lock.tryLock(0));
            QTRY_VERIFY(exchange()->status().contains(m_busy));
            lock.unlock();
        }
        qobject_cast<SerialLine*>(comm()->line())->watch()->look();
        QCOMPARE(comm()->PortOpen(), then != 1);
        QCOMPARE(com->palette().color(QPalette::Button) == face, then != 1);
        QCOMPARE(exchange()->status() == " Port back: COM7", then != 1);
    }

    void openNamesLinkAndDevice()
    {
        comm()->setPortOpen(false);
        QLockFile lock(lockFilePath(m_peer->slavePath()));
        QVERIFY(lock.tryLock(0));
        const QString link = PortMap::linkPath(7);
        QCOMPARE(openFailure(),
                 "COM7 (" + link + " \u2192 " + m_peer->slavePath() + ") " + m_busy + " holds it.");
        const QString live = PortMap::portsFolder() + "/.COM7.sim";
        QVERIFY(std::make_unique<sim::PtyPeer>()->linkThrough(link, live));
        QVERIFY(openFailure().startsWith("COM7 (" + link + " \u2192 " + live + ") does not exist"));
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
    }
    void permissionHint()
    {
        QFETCH(QStringList, row);
        DeviceFacts facts;
        facts.group = row[0];
        facts.groupMayUse = row[1].contains('m');
        facts.inGroupListed = row[1].contains('l');
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
