#include "link/trace.h"

#include <QTest>

class TstTrace : public QObject
{
    Q_OBJECT
  private slots:
    void traceForm_data();
    void traceForm();
    void printableCharacterSitsAtEvenPosition();
};

void TstTrace::traceForm_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("trace");

    QTest::newRow("empty text is one space") << QByteArray() << " ";
    QTest::newRow("command with CR") << QByteArray("C39\r") << " C 3 9  [CR] ";
    QTest::newRow("expanded read keeps its space")
        << QByteArray("CR LAMPSTS\r") << " C R   L A M P S T S  [CR] ";
    QTest::newRow("reply 00 CR") << QByteArray("00\r") << " 0 0  [CR] ";
    QTest::newRow("lone ACK") << QByteArray("\x06") << "  [ACK] ";
    QTest::newRow("LF has two trailing spaces") << QByteArray("\n") << "  [LF]  ";
    QTest::newRow("question mark looks like unknown") << QByteArray("?") << " ? ";
    QTest::newRow("control code 1") << QByteArray("\x01") << " ? ";
    QTest::newRow("NUL inside text") << QByteArray("A\0B", 3) << " A ? B ";
    QTest::newRow("space is two spaces") << QByteArray(" ") << "   ";
    QTest::newRow("z is the last printable") << QByteArray("z") << " z ";
    QTest::newRow("open brace is not printable") << QByteArray("{") << " ? ";
    QTest::newRow("tilde is not printable") << QByteArray("~") << " ? ";
    QTest::newRow("DEL") << QByteArray("\x7f") << " ? ";
    QTest::newRow("8-bit byte") << QByteArray("\xff\x80") << " ? ? ";
    QTest::newRow("lower case letters") << QByteArray("abc") << " a b c ";
    QTest::newRow("ACK before reply") << QByteArray("\x06"
                                                    "00\r")
                                      << "  [ACK] 0 0  [CR] ";
    QTest::newRow("CR LF tail") << QByteArray("1\r\n") << " 1  [CR]  [LF]  ";
}

void TstTrace::traceForm()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, trace);
    QCOMPARE(orva::traceForm(text), trace);
}

void TstTrace::printableCharacterSitsAtEvenPosition()
{
    // The status decoding matches on these positions, so check them over
    // every printable code rather than a few samples.
    QByteArray text;
    for (int c = 32; c <= 122; ++c)
        text += char(c);
    const QString trace = orva::traceForm(text);
    QCOMPARE(trace.size(), 1 + 2 * text.size());
    for (int k = 1; k <= text.size(); ++k) {
        QCOMPARE(trace.at(2 * k - 1), QLatin1Char(text.at(k - 1)));
        QCOMPARE(trace.at(2 * k), QLatin1Char(' '));
    }
}

QTEST_GUILESS_MAIN(TstTrace)
#include "tst_trace.moc"
