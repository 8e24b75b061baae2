#include "link/mscomm.h"
#include "settings/storedsettings.h"
#include "shelltest.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace orva;

class TstComDialog : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { m_harness = std::make_unique<ShellHarness>(); }
    void init();
    void cleanup() { m_form.reset(); }
    void highPortShowsNowhereButOpens();
    void lastChoiceWins_data();
    void lastChoiceWins();
    void otherBoxKeystrokes_data();
    void otherBoxKeystrokes();
    void okStoresTheRate_data();
    void okStoresTheRate();
    void startupCancelThenChoose();
    void cancelFromComRestoresPrevious();
    void okOnDeadPortThenWorkingOne();
    void closeBoxKeepsEdits();
    void optionsSayWhereTheyLead();

  private:
    Form2* openFromCom(qint16 portNo, quint8 baud);
    Form2* dialog() { return m_form->comDialog(); }
    template <typename T> T* child(const char* name)
    {
        T* w = dialog()->findChild<T*>(QLatin1String(name));
        Q_ASSERT(w);
        return w;
    }
    QString stored(const char* key)
    {
        return SettingsStore::get(QStringLiteral("StartUP"), QLatin1String(key),
                                  QStringLiteral("-"));
    }

    std::unique_ptr<ShellHarness> m_harness;
    std::unique_ptr<Form1> m_form;
};

void TstComDialog::init()
{
    ShellHarness::clearStore();
    m_harness->messages.clear();
    m_form = std::make_unique<Form1>(m_harness->hooks());
}

Form2* TstComDialog::openFromCom(qint16 portNo, quint8 baud)
{
    m_form->values().PortNo = portNo;
    m_form->values().BaudCode = baud;
    m_form->show();
    m_form->Command33_Click();
    return dialog();
}

void TstComDialog::highPortShowsNowhereButOpens()
{
    auto peer = ShellHarness::projectorAt(9);
    QVERIFY(openFromCom(9, 96));
    for (const char* name : {"Option3", "Option4", "Option5", "Option6", "Option7"})
        QVERIFY2(!child<QRadioButton>(name)->isChecked(), name);
    QVERIFY(child<QRadioButton>("Option1")->isChecked());
    QCOMPARE(child<QLineEdit>("Text1")->text(), QStringLiteral("0"));
    QCOMPARE(QApplication::focusWidget() == child<QLineEdit>("Text1") ||
                 !dialog()->isActiveWindow(),
             true);
    QPointer<Form2> d = dialog();
    child<QPushButton>("Command1")->click();
    QVERIFY(m_harness->messages.isEmpty());
    QVERIFY(m_form->MSComm1()->PortOpen());
    QCOMPARE(stored("ComPort"), QStringLiteral("9"));
    QTRY_VERIFY(!d);
}

void TstComDialog::lastChoiceWins_data()
{
    QTest::addColumn<bool>("optionFirst");
    QTest::addColumn<int>("opened");
    QTest::newRow("COM3 then typing 12") << true << 12;
    QTest::newRow("typing 12 then COM3") << false << 3;
}

void TstComDialog::lastChoiceWins()
{
    QFETCH(bool, optionFirst);
    QFETCH(int, opened);
    auto peer = ShellHarness::projectorAt(opened);
    openFromCom(1, 192);
    auto* text = child<QLineEdit>("Text1");
    text->setFocus();
    if (optionFirst) {
        child<QRadioButton>("Option5")->click();
        QTest::keyClicks(text, "12");
    } else {
        QTest::keyClicks(text, "12");
        child<QRadioButton>("Option5")->click();
    }
    QCOMPARE(text->text(), QStringLiteral("12"));
    QVERIFY(child<QRadioButton>("Option5")->isChecked());
    child<QPushButton>("Command1")->click();
    QVERIFY(m_form->MSComm1()->PortOpen());
    QCOMPARE(int(m_form->MSComm1()->CommPort()), opened);
    QCOMPARE(stored("ComPort"), QString::number(opened));
}

void TstComDialog::otherBoxKeystrokes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("portNo");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1 then 2 is 12") << "12" << 12 << "12";
    QTest::newRow("1 then 6 falls back to 0") << "16" << 1 << "0";
    QTest::newRow("letters are refused") << "x" << 4 << "0";
    QTest::newRow("15 is the last") << "15" << 15 << "15";
    QTest::newRow("zero refused") << "0" << 4 << "0";
}

void TstComDialog::otherBoxKeystrokes()
{
    QFETCH(QString, typed);
    QFETCH(int, portNo);
    QFETCH(QString, shown);
    openFromCom(4, 96);
    auto* text = child<QLineEdit>("Text1");
    text->setFocus();
    QTest::keyClicks(text, typed);
    QCOMPARE(int(m_form->values().PortNo), portNo);
    QCOMPARE(text->text(), shown);
}

void TstComDialog::okStoresTheRate_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("settings");
    QTest::newRow("9600") << "Option1"
                          << "96"
                          << "9600,N,8,1";
    QTest::newRow("19200") << "Option2"
                           << "192"
                           << "19200,N,8,1";
}

void TstComDialog::okStoresTheRate()
{
    QFETCH(QString, option);
    QFETCH(QString, stored);
    QFETCH(QString, settings);
    auto peer = ShellHarness::projectorAt(2);
    openFromCom(2, option == "Option1" ? 192 : 96);
    dialog()->findChild<QRadioButton*>(option)->click();
    child<QPushButton>("Command1")->click();
    QCOMPARE(this->stored("BaudRate"), stored);
    QCOMPARE(m_form->MSComm1()->Settings(), settings);
}

void TstComDialog::startupCancelThenChoose()
{
    auto peer = ShellHarness::projectorAt(2);
    m_form->start();
    QVERIFY(dialog());
    QCOMPARE(dialog()->windowModality(), Qt::ApplicationModal);
    child<QPushButton>("Command2")->click();
    QCOMPARE(m_harness->messages, QStringList{"Error: Retry Comport"});
    QVERIFY(dialog());
    QCOMPARE(m_form->values().PortNo, qint16(0));
    child<QPushButton>("Command1")->click();
    QCOMPARE(m_harness->messages.size(), 2);
    QCOMPARE(stored("ComPort"), QStringLiteral("-"));
    child<QRadioButton>("Option4")->click();
    child<QPushButton>("Command1")->click();
    QCOMPARE(m_harness->messages.size(), 2);
    QVERIFY(m_form->MSComm1()->PortOpen());
    QCOMPARE(stored("ComPort"), QStringLiteral("2"));
    QCOMPARE(stored("BaudRate"), QStringLiteral("192"));
    QTRY_VERIFY(m_form->isVisible());
}

void TstComDialog::cancelFromComRestoresPrevious()
{
    auto previous = ShellHarness::projectorAt(3);
    auto other = ShellHarness::projectorAt(5);
    storeChoice(3, 96);
    openFromCom(3, 96);
    QVERIFY(!m_form->MSComm1()->PortOpen());
    child<QRadioButton>("Option7")->click();
    child<QRadioButton>("Option2")->click();
    QCOMPARE(m_form->values().PortNo, qint16(5));
    QCOMPARE(m_form->values().BaudCode, quint8(192));
    child<QPushButton>("Command2")->click();
    QVERIFY(m_harness->messages.isEmpty());
    QCOMPARE(m_form->values().PortNo, qint16(3));
    QCOMPARE(m_form->values().BaudCode, quint8(96));
    QVERIFY(m_form->MSComm1()->PortOpen());
    QCOMPARE(int(m_form->MSComm1()->CommPort()), 3);
    QCOMPARE(m_form->MSComm1()->Settings(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(stored("ComPort"), QStringLiteral("3"));
    QCOMPARE(stored("BaudRate"), QStringLiteral("96"));
}

void TstComDialog::okOnDeadPortThenWorkingOne()
{
    auto peer = ShellHarness::projectorAt(4);
    QVERIFY(QFile::link("/nonexistent/ttyUSB0", PortMap::linkPath(5)));
    storeChoice(4, 192);
    openFromCom(4, 192);
    child<QRadioButton>("Option7")->click();
    child<QPushButton>("Command1")->click();
    QCOMPARE(m_harness->messages, QStringList{"Error: Retry Comport"});
    QVERIFY(dialog());
    QCOMPARE(m_form->values().PortNo, qint16(5));
    QCOMPARE(stored("ComPort"), QStringLiteral("4"));
    child<QRadioButton>("Option6")->click();
    child<QPushButton>("Command1")->click();
    QCOMPARE(m_harness->messages.size(), 1);
    QVERIFY(m_form->MSComm1()->PortOpen());
}

void TstComDialog::closeBoxKeepsEdits()
{
    storeChoice(1, 96);
    openFromCom(1, 96);
    child<QRadioButton>("Option6")->click();
    child<QRadioButton>("Option2")->click();
    QPointer<Form2> d = dialog();
    d->close();
    QTRY_VERIFY(!d);
    QCOMPARE(m_form->values().PortNo, qint16(4));
    QCOMPARE(m_form->values().BaudCode, quint8(192));
    QVERIFY(!m_form->MSComm1()->PortOpen());
    QCOMPARE(stored("ComPort"), QStringLiteral("1"));
    // The rate reached the control when the dialog opened, not later.
    QCOMPARE(m_form->MSComm1()->Settings(), QStringLiteral("9600,N,8,1"));
    // A fresh dialog starts from its design values again.
    m_form->Command33_Click();
    QCOMPARE(child<QLineEdit>("Text1")->text(), QStringLiteral("0"));
    QVERIFY(child<QRadioButton>("Option6")->isChecked());
}

void TstComDialog::optionsSayWhereTheyLead()
{
    auto peer = ShellHarness::projectorAt(2);
    openFromCom(1, 96);
    QVERIFY(child<QRadioButton>("Option3")->toolTip().contains("/dev/ttyS0"));
    QVERIFY(child<QRadioButton>("Option4")->toolTip().contains(peer->slavePath()));
    QVERIFY(child<QRadioButton>("Option7")->toolTip().contains("/dev/ttyUSB0"));
}

QTEST_MAIN(TstComDialog)
#include "tst_comdialog.moc"
