#include "link/trace.h"
#include "panel/panelbuilder.h"

#include <QFontMetrics>
#include <QTest>

using namespace orva;

class TstTraceLine : public QObject
{
    Q_OBJECT
    QWidget m_form;

  private slots:
    void initTestCase()
    {
        m_form.resize(692, 507);
        buildMainWindow(&m_form);
        m_form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_form));
    }
    void textSitsWholeInTheBox_data();
    void textSitsWholeInTheBox();
};

void TstTraceLine::textSitsWholeInTheBox_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("TxD lower bars of [CR]") << "Label11" << traceForm("CR AUTOSETUPKEYSTONE\r");
    QTest::newRow("RxD full reply buffer, descenders")
        << "Label12" << traceForm(QByteArray("000 1I\r\x06gjpqy_\n").repeated(2500));
    QTest::newRow("STATUS g of deg, red text in a black box")
        << "Label25"
        << " 0 2 5 . 0 deg C 0 3 0 . 5 deg C 0 4 1 . 2 deg C ";
    QTest::newRow("STATUS longest setting") << "Label25"
                                            << " Top/Bottom , Left/Right reversal";
}

// The line drawn at its designed size and 20 pixels taller: a black border
// all round, ink from the top-left corner, and none where the taller line
// shows what the designed one would cut off.
void TstTraceLine::textSitsWholeInTheBox()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QWidget* line = m_form.findChild<QWidget*>(name);
    QVERIFY(line && line->setProperty("text", text));
    QCOMPARE(line->property("text").toString(), text);
    const QImage boxed = line->grab().toImage();
    const int w = line->width();
    const int h = line->height();
    line->resize(w, h + 20);
    const QImage tall = line->grab().toImage();
    line->resize(w, h);
    QRect ink;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (x == 0 || y == 0 || x == w - 1 || y == h - 1)
                QCOMPARE(boxed.pixel(x, y), qRgb(0, 0, 0));
            else if (boxed.pixel(x, y) != qRgb(255, 255, 255))
                ink |= QRect(x, y, 1, 1);
        }
    for (int y = h - 1; y < tall.height() - 1; ++y)
        for (int x = 1; x < w - 1; ++x)
            QCOMPARE(tall.pixel(x, y), qRgb(255, 255, 255));
    const QFontMetrics metrics(line->font());
    QVERIFY(!ink.isEmpty());
    QVERIFY(ink.left() <= 2 + metrics.horizontalAdvance(' '));
    QVERIFY(ink.top() <= 2 + metrics.ascent() - metrics.capHeight());
}

QTEST_MAIN(TstTraceLine)
#include "tst_traceline.moc"
