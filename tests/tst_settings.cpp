#include "link/portmap.h"
#include "link/program.h"
#include "settings/numbers.h"
#include "settings/storedsettings.h"
#include "testenv.h"

#include <QFile>
#include <QTest>

using namespace orva;

class TstSettings : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { isolatedConfigHome(); }
    void storedPort_data();
    void storedPort();
    void storedBaud_data();
    void storedBaud();
    void otherBox_data();
    void otherBox();
    void storeWritesPlainDigits();
    void portLinkWinsOverDefault();
    void defaultDevices_data();
    void defaultDevices();
};

void TstSettings::storedPort_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("port");

    QTest::newRow("no file at all") << QByteArray() << 0;
    QTest::newRow("no ComPort key") << QByteArray("[StartUP]\nBaudRate=96\n") << 0;
    QTest::newRow("15 is the last valid") << QByteArray("[StartUP]\nComPort=15\n") << 15;
    QTest::newRow("16 reads as 16") << QByteArray("[StartUP]\nComPort=16\n") << 16;
    QTest::newRow("zero") << QByteArray("[StartUP]\nComPort=0\n") << 0;
    QTest::newRow("negative") << QByteArray("[StartUP]\nComPort=-1\n") << -1;
    QTest::newRow("COM3 is not a number") << QByteArray("[StartUP]\nComPort=COM3\n") << 0;
    QTest::newRow("empty text") << QByteArray("[StartUP]\nComPort=\n") << 0;
    QTest::newRow("3.5 rounds to even 4") << QByteArray("[StartUP]\nComPort=3.5\n") << 4;
    QTest::newRow("2.5 rounds to even 2") << QByteArray("[StartUP]\nComPort=2.5\n") << 2;
    QTest::newRow("leading blanks skipped") << QByteArray("[StartUP]\nComPort=\"  7\"\n") << 7;
    QTest::newRow("number then words") << QByteArray("[StartUP]\nComPort=3 (usb)\n") << 3;
    QTest::newRow("too large for 16 bits") << QByteArray("[StartUP]\nComPort=40000\n") << 0;
    QTest::newRow("32767 still fits") << QByteArray("[StartUP]\nComPort=32767\n") << 32767;
    QTest::newRow("huge exponent") << QByteArray("[StartUP]\nComPort=1e300\n") << 0;
    QTest::newRow("comma makes a list") << QByteArray("[StartUP]\nComPort=\"5,6\"\n") << 5;
    QTest::newRow("other section ignored") << QByteArray("[Other]\nComPort=3\n") << 0;
}

void TstSettings::storedPort()
{
    QFETCH(QByteArray, file);
    QFETCH(int, port);
    QFile::remove(configFile());
    if (!file.isEmpty())
        writeConfig(file);
    QCOMPARE(int(storedPortNo()), port);
}

void TstSettings::storedBaud_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("settings");

    QTest::newRow("96 is 9600") << QByteArray("[StartUP]\nBaudRate=96\n") << 96 << "9600,N,8,1";
    QTest::newRow("192") << QByteArray("[StartUP]\nBaudRate=192\n") << 192 << "19200,N,8,1";
    QTest::newRow("abc") << QByteArray("[StartUP]\nBaudRate=abc\n") << 192 << "19200,N,8,1";
    QTest::newRow("9600 is not the code")
        << QByteArray("[StartUP]\nBaudRate=9600\n") << 192 << "19200,N,8,1";
    QTest::newRow("absent") << QByteArray("[StartUP]\nComPort=1\n") << 192 << "19200,N,8,1";
    QTest::newRow("96.4 rounds to 96")
        << QByteArray("[StartUP]\nBaudRate=96.4\n") << 96 << "9600,N,8,1";
    QTest::newRow("352 does not fit a byte")
        << QByteArray("[StartUP]\nBaudRate=352\n") << 192 << "19200,N,8,1";
}

void TstSettings::storedBaud()
{
    QFETCH(QByteArray, file);
    QFETCH(int, code);
    QFETCH(QString, settings);
    writeConfig(file);
    QCOMPARE(int(storedBaudCode()), code);
    QCOMPARE(settingsText(storedBaudCode()), settings);
}

void TstSettings::otherBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // -1: not a number from 0 to 255

    QTest::newRow("digit") << "7" << 7;
    QTest::newRow("blanks around") << " 12 " << 12;
    QTest::newRow("half to even") << "12.5" << 12;
    QTest::newRow("half up to even") << "13.5" << 14;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("trailing letters") << "12a" << -1;
    QTest::newRow("negative") << "-3" << -1;
    QTest::newRow("above a byte") << "256" << -1;
    QTest::newRow("255 fits") << "255" << 255;
    QTest::newRow("lone dot") << "." << -1;
    QTest::newRow("inner blank") << "1 2" << -1;
}

void TstSettings::otherBox()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    const auto parsed = wholeTextByte(text);
    QCOMPARE(parsed.has_value() ? int(*parsed) : -1, value);
}

void TstSettings::storeWritesPlainDigits()
{
    QFile::remove(configFile());
    storeChoice(12, 96);
    QFile f(configFile());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray content = f.readAll();
    QVERIFY2(content.contains("[StartUP]\nBaudRate=96\nComPort=12\n"), content.constData());
    QCOMPARE(int(storedPortNo()), 12);
    QCOMPARE(int(storedBaudCode()), 96);
}

void TstSettings::portLinkWinsOverDefault()
{
    const QString link = PortMap::linkPath(5);
    QCOMPARE(PortMap::devicePath(5), QStringLiteral("/dev/ttyUSB0"));
    QDir().mkpath(PortMap::portsFolder());
    QVERIFY(QFile::link("/dev/null", link));
    QCOMPARE(PortMap::devicePath(5), link);
    QVERIFY(PortMap::describe(5).contains("/dev/null"));
    QFile::remove(link);
    // A dangling link still names the user's choice, so opening it can say why.
    QVERIFY(QFile::link("/nonexistent/tty", link));
    QCOMPARE(PortMap::devicePath(5), link);
    QVERIFY(PortMap::describe(5).contains("not present"));
    QFile::remove(link);
}

void TstSettings::defaultDevices_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1 first UART") << 1 << "/dev/ttyS0";
    QTest::newRow("COM4 last UART") << 4 << "/dev/ttyS3";
    QTest::newRow("COM5 first USB adapter") << 5 << "/dev/ttyUSB0";
    QTest::newRow("COM10") << 10 << "/dev/ttyUSB5";
    QTest::newRow("COM11 first ACM") << 11 << "/dev/ttyACM0";
    QTest::newRow("COM15") << 15 << "/dev/ttyACM4";
    QTest::newRow("COM16 has none") << 16 << "";
    QTest::newRow("COM0 has none") << 0 << "";
}

void TstSettings::defaultDevices()
{
    QFETCH(int, port);
    QFETCH(QString, device);
    QCOMPARE(PortMap::defaultDevice(port), device);
}

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
