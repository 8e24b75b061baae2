#include "consoles/consolewindow.h"
#include "link/catalogue.h"
#include "link/mscomm.h"
#include "shelltest.h"

#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace orva;
using Kind = ConsoleWindow::Kind;

Q_DECLARE_METATYPE(ConsoleWindow::Kind)

class TstConsoles : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { m_harness = std::make_unique<ShellHarness>(); }
    void init()
    {
        ShellHarness::clearStore();
        writeConfig("[StartUP]\nComPort=4\n");
        m_peer = ShellHarness::projectorAt(4);
        m_form = std::make_unique<Form1>(m_harness->hooks());
        m_form->start();
        QVERIFY(m_form->MSComm1()->PortOpen());
    }
    void cleanup()
    {
        m_form.reset();
        m_peer.reset();
    }
    void design_data();
    void design();
    void rows_data();
    void rows();
    void tabShowsAsSpacing();
    void send_data();
    void send();
    void reopenWhileOpenKeepsRow_data() { kindRows(); }
    void reopenWhileOpenKeepsRow();
    void endShowsMainAndReopensAtFirstRow_data() { kindRows(); }
    void endShowsMainAndReopensAtFirstRow();
    void closeBoxOnlyDestroys_data() { kindRows(); }
    void closeBoxOnlyDestroys();
    void bothOpenAtOnce();

  private:
    static void kindRows()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("Basic Command") << Kind::BasicCommand;
        QTest::newRow("Expand Read") << Kind::ExpandRead;
    }
    ConsoleWindow* open(Kind kind)
    {
        if (kind == Kind::BasicCommand) {
            m_form->Command74_Click();
            return m_form->basicConsole();
        }
        m_form->Command77_Click();
        return m_form->expandConsole();
    }
    static QComboBox* combo(QWidget* w) { return w->findChild<QComboBox*>("Combo1"); }
    static void press(QWidget* w, const char* button)
    {
        QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
    }

    std::unique_ptr<ShellHarness> m_harness;
    std::unique_ptr<orva::sim::PtyPeer> m_peer;
    std::unique_ptr<Form1> m_form;
};

void TstConsoles::design_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("fixed");
    // Client size, then Combo1, SEND and END.
    QTest::addColumn<QList<QRect>>("places");
    QTest::newRow("Form3 fixed dialog")
        << Kind::BasicCommand << "Form3"
        << "Basic  Command" << true
        << QList<QRect>{{0, 0, 510, 81}, {24, 27, 337, 20}, {376, 24, 57, 25}, {448, 24, 49, 25}};
    QTest::newRow("Form4 sizable")
        << Kind::ExpandRead << "Form4"
        << "Expand Read" << false
        << QList<QRect>{{0, 0, 605, 92}, {8, 48, 577, 20}, {456, 16, 57, 24}, {528, 16, 57, 24}};
}

void TstConsoles::design()
{
    QFETCH(Kind, kind);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, fixed);
    QFETCH(QList<QRect>, places);
    open(kind);
    auto* w = m_form->findChild<ConsoleWindow*>(name);
    QVERIFY(w && w->isWindow());
    QCOMPARE(w->windowTitle(), caption);
    QCOMPARE(w->size(), places[0].size());
    QCOMPARE(w->minimumSize() == w->maximumSize(), fixed);
    // A dialog with an owner keeps out of the task bar.
    QCOMPARE(w->windowType() != Qt::Window, fixed);
    QVERIFY(!(w->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
    QCOMPARE(combo(w)->geometry(), places[1]);
    QVERIFY(!combo(w)->isEditable());
    QCOMPARE(w->focusWidget(), combo(w));
    QWidget* previous = combo(w);
    for (const char* text : {"SEND", "END"}) {
        auto* button = qobject_cast<QPushButton*>(previous->nextInFocusChain());
        QVERIFY(button);
        QCOMPARE(button->objectName(), previous == combo(w) ? "Command1" : "Command2");
        QCOMPARE(button->text(), QLatin1String(text));
        QCOMPARE(button->geometry(), places[previous == combo(w) ? 2 : 3]);
        QCOMPARE(button->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
        QVERIFY(button->font().bold());
        QCOMPARE(button->font().pointSizeF(), 9.75);
        previous = button;
    }
}

void TstConsoles::rows_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("Basic 60 rows") << Kind::BasicCommand << 60 << "C00[CR]     :POWER ON"
                                   << "CR7[CR]     :Lamp Mode Read";
    QTest::newRow("Expand 82 rows, tab kept")
        << Kind::ExpandRead << 82 << "CR STATUS[CR] \t:Get setting status of Projector behavior"
        << " ";
}

void TstConsoles::rows()
{
    QFETCH(Kind, kind);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QComboBox* c = combo(open(kind));
    const QStringList& catalogue =
        kind == Kind::BasicCommand ? basicCommandRows() : expandReadRows();
    QCOMPARE(c->count(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(c->itemText(i), catalogue.at(i));
    QCOMPARE(c->currentIndex(), 0);
    QCOMPARE(c->currentText(), first);
    QCOMPARE(c->itemText(count - 1), last);
}

void TstConsoles::tabShowsAsSpacing()
{
    // A menu-style popup would move the text after the tab to the far right.
    QComboBox* c = combo(open(Kind::ExpandRead));
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 2000, 24);
    option.font = c->font();
    option.palette = c->palette();
    option.state = QStyle::State_Enabled;
    QImage image(option.rect.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    c->itemDelegate()->paint(&painter, option, c->model()->index(0, 0));
    painter.end();
    int rightmostInk = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                rightmostInk = qMax(rightmostInk, x);
    QVERIFY(rightmostInk > 200);
    QVERIFY2(rightmostInk < 1000, qPrintable(QString::number(rightmostInk)));
}

void TstConsoles::send_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("presses");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("Basic first row") << Kind::BasicCommand << 0 << 1 << QByteArray("C00\r");
    QTest::newRow("[CR] in C0F description")
        << Kind::BasicCommand << 12 << 1 << QByteArray("C0F\r");
    QTest::newRow("[CR] in C10 description")
        << Kind::BasicCommand << 13 << 1 << QByteArray("C10\r");
    QTest::newRow("Basic last row") << Kind::BasicCommand << 59 << 1 << QByteArray("CR7\r");
    QTest::newRow("Expand first row, tab row")
        << Kind::ExpandRead << 0 << 1 << QByteArray("CR STATUS\r");
    QTest::newRow("Expand long name, one blank")
        << Kind::ExpandRead << 5 << 1 << QByteArray("CR TEMPWARN\r");
    QTest::newRow("Expand blank row has no [") << Kind::ExpandRead << 81 << 1 << QByteArray(" \r");
    QTest::newRow("SEND twice sends twice")
        << Kind::ExpandRead << 31 << 2 << QByteArray("CR LAMPSTS\r");
}

void TstConsoles::send()
{
    QFETCH(Kind, kind);
    QFETCH(int, row);
    QFETCH(int, presses);
    QFETCH(QByteArray, command);
    ConsoleWindow* w = open(kind);
    combo(w)->setCurrentIndex(row);
    QSignalSpy received(m_peer.get(), &orva::sim::PtyPeer::commandReceived);
    for (int i = 0; i < presses; ++i) {
        press(w, "Command1");
        QCOMPARE(m_form->values().CommandText, command);
        QTRY_COMPARE(received.count(), i + 1);
    }
    QCOMPARE(m_peer->commands(), QList<QByteArray>(presses, command));
    QVERIFY(w->isVisible());
    QCOMPARE(combo(w)->currentIndex(), row);
}

void TstConsoles::reopenWhileOpenKeepsRow()
{
    QFETCH(Kind, kind);
    ConsoleWindow* w = open(kind);
    combo(w)->setCurrentIndex(7);
    w->hide();
    QCOMPARE(open(kind), w);
    QVERIFY(w->isVisible());
    QCOMPARE(combo(w)->currentIndex(), 7);
    QCOMPARE(m_form->findChildren<ConsoleWindow*>().size(), 1);
}

void TstConsoles::endShowsMainAndReopensAtFirstRow()
{
    QFETCH(Kind, kind);
    ConsoleWindow* w = open(kind);
    combo(w)->setCurrentIndex(7);
    m_form->hide();
    QSignalSpy destroyed(w, &QObject::destroyed);
    press(w, "Command2");
    QVERIFY(m_form->isVisible());
    QTRY_COMPARE(destroyed.count(), 1);
    ConsoleWindow* again = open(kind);
    QVERIFY(again->isVisible());
    QCOMPARE(combo(again)->currentIndex(), 0);
    QVERIFY(m_peer->commands().isEmpty());
}

void TstConsoles::closeBoxOnlyDestroys()
{
    QFETCH(Kind, kind);
    ConsoleWindow* w = open(kind);
    ConsoleWindow* other = open(kind == Kind::BasicCommand ? Kind::ExpandRead : Kind::BasicCommand);
    m_form->hide();
    QSignalSpy destroyed(w, &QObject::destroyed);
    QVERIFY(w->close());
    QTRY_COMPARE(destroyed.count(), 1);
    QVERIFY(!m_form->isVisible());
    QVERIFY(other->isVisible());
    QVERIFY(m_peer->commands().isEmpty());
}

void TstConsoles::bothOpenAtOnce()
{
    ConsoleWindow* basic = open(Kind::BasicCommand);
    ConsoleWindow* expand = open(Kind::ExpandRead);
    QVERIFY(basic != expand);
    QVERIFY(basic->isVisible() && expand->isVisible() && m_form->isVisible());
    QSignalSpy received(m_peer.get(), &orva::sim::PtyPeer::commandReceived);
    press(expand, "Command1");
    QTRY_COMPARE(received.count(), 1);
    press(basic, "Command1");
    QTRY_COMPARE(received.count(), 2);
    QCOMPARE(m_peer->commands(), (QList<QByteArray>{"CR STATUS\r", "C00\r"}));
}

QTEST_MAIN(TstConsoles)
#include "tst_consoles.moc"
