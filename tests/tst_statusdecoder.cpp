#include "decode/statusdecoder.h"
#include "link/trace.h"

#include <QTest>

using orva::decodeStatus;
using orva::traceForm;

namespace
{

const QByteArray ack("\x06");
const QString lamp123 = QStringLiteral("     1 2 3   Hour Use");

// What the STATUS line shows after the reply has arrived whole.
std::optional<QString> decodeReply(const QByteArray& command, const QByteArray& reply,
                                   const QString& current)
{
    return decodeStatus(command, traceForm(reply), int(reply.size()), current);
}

} // namespace

class TstStatusDecoder : public QObject
{
    Q_OBJECT
  private slots:
    void decode_data();
    void decode();
    void splitArrival_data();
    void splitArrival();
};

void TstStatusDecoder::decode_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("decoded");
    QTest::addColumn<QString>("status");

    const auto row = [](const char* name, const char* command, const QByteArray& reply,
                        const QString& status, const QString& current = QString()) {
        QTest::newRow(name) << QByteArray(command) << reply << current << true << status;
    };
    const auto none = [](const char* name, const char* command, const QByteArray& reply) {
        QTest::newRow(name) << QByteArray(command) << reply << QStringLiteral(" Power ON") << false
                            << QString();
    };

    row("CR0 00", "CR0\r", "00\r", " Power ON");
    row("CR0 80", "CR0\r", "80\r", " Stand by");
    row("CR0 40", "CR0\r", "40\r", " Count down");
    row("CR0 20", "CR0\r", "20\r", " Cooling down");
    row("CR0 10", "CR0\r", "10\r", " Power abnormality");
    row("CR0 08", "CR0\r", "08\r", " Temperature abnormality");
    row("CR0 18", "CR0\r", "18\r", " Temperature abnormality");
    row("CR0 28", "CR0\r", "28\r", " Temperature abnormality");
    row("CR0 48", "CR0\r", "48\r", " Temperature abnormality");
    row("CR0 88", "CR0\r", "88\r", " Temperature abnormality");
    row("CR0 21", "CR0\r", "21\r", " Lamp Failure");
    row("CR0 81", "CR0\r", "81\r", " Lamp Failure");
    row("CR0 replaces the display", "CR0\r", "80\r", " Stand by", " Power ON");
    row("CR0 ignores what follows two characters", "CR0\r", "00xyz\r\n", " Power ON");
    none("CR0 99 unchanged", "CR0\r", "99\r");
    none("CR0 ACK prefix", "CR0\r", ack + "00\r");
    none("CR0 too short", "CR0\r", "0");
    none("CR0 question mark is no digit", "CR0\r", "?0\r");

    row("CR1 1", "CR1\r", "1\r", " Input 1");
    row("CR1 2", "CR1\r", "2\r", " Input 2");
    row("CR1 3", "CR1\r", "3\r", " Input 3");
    row("CR1 4", "CR1\r", "4\r", " Wired");
    row("CR1 5", "CR1\r", "5\r", " Wireless/Viewer");
    row("CR1 without CR", "CR1\r", "1", " Input 1");
    none("CR1 6", "CR1\r", "6\r");

    row("CR4 11", "CR4\r", "11\r", " Normally");
    row("CR4 10", "CR4\r", "10\r", " Top/Bottom reversal");
    row("CR4 01", "CR4\r", "01\r", " Left/Right reversal");
    row("CR4 00", "CR4\r", "00\r", " Top/Bottom , Left/Right reversal");
    none("CR4 one character", "CR4\r", "1");

    row("CR3 leading zeros blanked", "CR3\r", "00123\r", lamp123);
    row("CR3 no leading zero", "CR3\r", "12345\r", " 1 2 3 4 5   Hour Use");
    row("CR3 inner zeros kept", "CR3\r", "10200\r", " 1 0 2 0 0   Hour Use");
    row("CR3 00000", "CR3\r", "00000\r", QString(12, QLatin1Char(' ')) + " Hour Use");
    row("CR3 appended to Power ON", "CR3\r", "00123\r", " Power ON" + lamp123, " Power ON");
    row("CR3 six printable characters", "CR3\r", "001234", "     1 2 Hour Use");
    none("CR3 CR LF tail", "CR3\r", "00123\r\n");
    none("CR3 five characters", "CR3\r", "00123");
    none("CR3 two replies in one buffer", "CR3\r", "00123\r00123\r");

    row("CR6 three fields", "CR6\r", "025.0 030.5 041.2\r",
        " 0 2 5 . 0 deg C 0 3 0 . 5 deg C 0 4 1 . 2 deg C ");
    row("CR6 replaces the display", "CR6\r", "025.0 030.5 041.2\r",
        " 0 2 5 . 0 deg C 0 3 0 . 5 deg C 0 4 1 . 2 deg C ", " Power ON");
    row("CR6 separators not shown", "CR6\r", "025.0,030.5;041.2\r",
        " 0 2 5 . 0 deg C 0 3 0 . 5 deg C 0 4 1 . 2 deg C ");
    row("CR6 ACK shifts the fields", "CR6\r", ack + "25.0 030.5 041.2\r",
        "  [ACK] 2  deg C  0   0 3  deg C  5   0 4  deg C ");
    none("CR6 CR LF tail", "CR6\r", "025.0 030.5 041.2\r\n");
    none("CR6 seventeen characters", "CR6\r", "025.0 030.5 041.2");

    row("LAMPSTS on", "CR LAMPSTS\r", "000 1I\r", " Lamp is ON");
    row("LAMPSTS off", "CR LAMPSTS\r", "000 1O\r", " Lamp is OFF");
    row("LAMPSTS failure", "CR LAMPSTS\r", "000 1X\r", " Lamp is failure");
    row("LAMPSTS followed by anything", "CR LAMPSTS\r", "000 1Ixyz\r\n", " Lamp is ON");
    row("LAMPSTS without CR", "CR LAMPSTS\r", "000 1I", " Lamp is ON");
    none("LAMPSTS lower case", "CR LAMPSTS\r", "000 1i\r");
    none("LAMPSTS too short", "CR LAMPSTS\r", "000 1");
    none("LAMPSTS ACK prefix", "CR LAMPSTS\r", ack + "000 1I\r");

    row("LAMPMODE high", "CR LAMPMODE\r", "000 HIGH\r", " Lamp Mode is High");
    row("LAMPMODE normal", "CR LAMPMODE\r", "000 NORMAL\r", " Lamp Mode is NORMAL");
    row("LAMPMODE eco", "CR LAMPMODE\r", "000 ECO\r", " Lamp Mode is Eco");
    row("LAMPMODE three characters for CR", "CR LAMPMODE\r", "000 ECOabc", " Lamp Mode is Eco");
    none("LAMPMODE without CR", "CR LAMPMODE\r", "000 ECO");
    none("LAMPMODE CR LF", "CR LAMPMODE\r", "000 ECO\r\n");
    none("LAMPMODE blank before CR", "CR LAMPMODE\r", "000 ECO \r");
    none("LAMPMODE lone CR", "CR LAMPMODE\r", "\r");
    none("LAMPMODE shorter than seven", "CR LAMPMODE\r", "");

    none("CR7 never decoded", "CR7\r", "00\r");
    none("other read", "CR STATUS\r", "00\r");
    none("command without CR", "CR0", "00\r");
    none("command with CR LF", "CR0\r\n", "00\r");
    none("command with two CRs", "CR0\r\r", "00\r");
    none("lower-case command", "cr0\r", "00\r");

    row("longest CR0 buffer", "CR0\r", "00" + QByteArray(32765, 'x'), " Power ON");
    row("longest LAMPSTS buffer", "CR LAMPSTS\r", "000 1O" + QByteArray(32761, '\r'),
        " Lamp is OFF");
}

void TstStatusDecoder::decode()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(QString, current);
    QFETCH(bool, decoded);
    QFETCH(QString, status);

    const std::optional<QString> result = decodeReply(command, reply, current);
    QCOMPARE(result.has_value(), decoded);
    if (decoded)
        QCOMPARE(*result, status);
}

void TstStatusDecoder::splitArrival_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("displays");

    const QString temps = " 0 2 5 . 0 deg C 0 3 0 . 5 deg C 0 4 1 . 2 deg C ";
    QTest::newRow("CR0 matches at second character")
        << QByteArray("CR0\r") << QByteArray("00\r") << QStringList{"", " Power ON", " Power ON"};
    QTest::newRow("CR1 matches at first character")
        << QByteArray("CR1\r") << QByteArray("1\r") << QStringList{" Input 1", " Input 1"};
    QTest::newRow("CR3 only at six characters") << QByteArray("CR3\r") << QByteArray("00123\r")
                                                << QStringList(5, "") + QStringList{lamp123};
    QTest::newRow("CR3 second reply not decoded")
        << QByteArray("CR3\r") << QByteArray("00123\r00123\r")
        << QStringList(5, "") + QStringList(7, lamp123);
    QTest::newRow("CR6 only at eighteen characters")
        << QByteArray("CR6\r") << QByteArray("025.0 030.5 041.2\r\n")
        << QStringList(17, "") + QStringList(2, temps);
    QTest::newRow("LAMPSTS from sixth character")
        << QByteArray("CR LAMPSTS\r") << QByteArray("000 1I\r")
        << QStringList(5, "") + QStringList(2, " Lamp is ON");
    QTest::newRow("LAMPMODE kept after LF")
        << QByteArray("CR LAMPMODE\r") << QByteArray("000 ECO\r\n")
        << QStringList(7, "") + QStringList(2, " Lamp Mode is Eco");
}

void TstStatusDecoder::splitArrival()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, displays);
    QCOMPARE(displays.size(), reply.size());

    // The whole buffer is decoded again at each arrival; a result replaces
    // the display, no result leaves it.
    QString display;
    for (qsizetype n = 1; n <= reply.size(); ++n) {
        const QByteArray buffer = reply.left(n);
        display = decodeStatus(command, traceForm(buffer), int(n), display).value_or(display);
        QCOMPARE(display, displays.at(n - 1));
    }
}

QTEST_GUILESS_MAIN(TstStatusDecoder)
#include "tst_statusdecoder.moc"
