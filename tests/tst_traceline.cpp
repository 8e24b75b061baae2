// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/trace.h"
#include "look/accessibility.h"
#include "look/traceline.h"
#include "panel/panelbuilder.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QScreen>
#include <QTest>

using namespace orva;

class TstTraceLine : public QObject
{
    Q_OBJECT
    QWidget m_form;
    const QHash<QString, QWidget*> m_widgets = buildMainWindow(&m_form);

  private slots:
    // Each new STATUS text, answer or port notice, is told as a notification
    // in words, while the line keeps drawing the spaced text. (Offscreen, Qt
    // delivers no accessibility events; the Orca check hears them.)
    void statusLineSpeaks_data()
    {
        QTest::addColumn<QString>("drawn");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("power") << " Power ON"
                               << "Power ON";
        QTest::newRow("temperatures") << " 0 2 5 . 0 deg C 0 3 0 . 5 deg C 1 0 0 . 0 deg C "
                                      << "025.0 deg C 030.5 deg C 100.0 deg C";
        QTest::newRow("lamp hours") << "     1 2 3   Hour Use"
                                    << "123 Hour Use";
        QTest::newRow("lamp hours, zeros blanked") << "         0   Hour Use"
                                                   << "0 Hour Use";
        QTest::newRow("input number") << " Input 1"
                                      << "Input 1";
        QTest::newRow("port lost") << " Port lost (device removed): press COM"
                                   << "Port lost (device removed): press COM";
    }
    void statusLineSpeaks()
    {
        QFETCH(QString, drawn);
        QFETCH(QString, spoken);
        auto* line = qobject_cast<TraceLine*>(m_widgets.value("Label25"));
        line->setText(drawn);
        QCOMPARE(line->text(), drawn);
        auto* notification = line->findChild<Announcer*>();
        QVERIFY(notification && !m_widgets.value("Label12")->findChild<Announcer*>());
        QAccessibleInterface* told = QAccessible::queryAccessibleInterface(notification);
        QCOMPARE(told->role(), QAccessible::Notification);
        QCOMPARE(told->text(QAccessible::Name), spoken);
    }

    // A console speaks the answer to its SEND as the RxD line traces it.
    void spokenReply_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("status digits") << QByteArray("00\r") << "00 CR";
        QTest::newRow("acknowledgement") << QByteArray("\x06") << "ACK";
        QTest::newRow("a blank inside") << QByteArray("A B\r") << "A B CR";
        QTest::newRow("no reply") << QByteArray() << "no reply";
    }
    void spokenReply()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, spoken);
        QCOMPARE(orva::spokenReply(reply.isEmpty() ? QStringLiteral(" X X X X") : traceForm(reply)),
                 spoken);
    }

    // Row after row on the same line too, so a change that shows is redrawn.
    void textSitsWholeInTheBox_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const QByteArray stream = QByteArray("000 1I\r\x06gjpqy_\n").repeated(2500);
        QTest::newRow("TxD lower bars of [CR]") << "Label11" << traceForm("CR AUTOSETUPKEYSTONE\r");
        QTest::newRow("RxD a reply") << "Label12" << traceForm("00\r");
        QTest::newRow("RxD full reply buffer, descenders") << "Label12" << traceForm(stream);
        QTest::newRow("RxD past its end") << "Label12" << traceForm(stream + "1");
        QTest::newRow("STATUS g of deg, red text in a black box")
            << "Label25"
            << " 0 2 5 . 0 deg C 0 3 0 . 5 deg C 0 4 1 . 2 deg C ";
        QTest::newRow("STATUS longest setting") << "Label25"
                                                << " Top/Bottom , Left/Right reversal";
    }

    // The line as the window shows it: a black border all round, the text
    // whole inside it from the top-left corner.
    void textSitsWholeInTheBox()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QWidget* line = m_widgets.value(name);
        m_form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_form) && line->setProperty("text", text));
        const int w = line->width(), h = line->height();
        const auto shown = [&] {
            const QRect box(line->mapTo(&m_form, QPoint()), line->size());
            return m_form.screen()->grabWindow(m_form.winId()).toImage().copy(box);
        };
        QTRY_COMPARE(shown(), line->grab().toImage());
        const QImage boxed = shown();
        line->resize(w, h + 20);
        const QImage tall = line->grab().toImage();
        line->resize(w, h);
        QRect ink;
        for (int y = 0; y < h + 19; ++y)
            for (int x = 0; x < w; ++x) {
                if (y < h && (x == 0 || y == 0 || x == w - 1 || y == h - 1))
                    QCOMPARE(boxed.pixel(x, y), qRgb(0, 0, 0));
                if (x > 0 && x < w - 1 && y > 0 &&
                    (y < h - 1 ? boxed : tall).pixel(x, y) != qRgb(255, 255, 255))
                    ink |= QRect(x, y, 1, 1);
            }
        // Nothing cut off: the line 20 pixels taller shows no more ink. No
        // indent: the ink starts after the leading space, at the capitals' top.
        QVERIFY(!ink.isEmpty() && ink.bottom() < h - 1 &&
                ink.left() <= 2 + line->fontMetrics().horizontalAdvance(' '));
        QVERIFY(ink.top() <= 2 + line->fontMetrics().ascent() - line->fontMetrics().capHeight());
    }
};

QTEST_MAIN(TstTraceLine)
#include "tst_traceline.moc"
