// SPDX-License-Identifier: GPL-3.0-or-later
#include "consolewindow.h"

#include "link/catalogue.h"
#include "link/exchange.h"
#include "look/accessibility.h"
#include "look/look.h"
#include "look/twips.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QPushButton>
#include <QStyledItemDelegate>

namespace orva
{

namespace
{

struct Twips {
    int left, top, width, height;
};

struct ConsoleDesign {
    const char* name;
    const char* caption;
    Twips client; // left and top unused: the window system places the console
    bool fixedBorder;
    Twips combo, send, end;
    const QStringList& (*rows)();
};

// In the order of ConsoleWindow::Kind.
// clang-format off
constexpr ConsoleDesign designs[] = {
    {"Form3", "Basic  Command", {0, 0, 7650, 1215}, true,
     {360, 405, 5055, 300}, {5640, 360, 855, 375}, {6720, 360, 735, 375}, &basicCommandRows},
    {"Form4", "Expand Read", {0, 0, 9075, 1380}, false,
     {120, 720, 8655, 300}, {6840, 240, 855, 360}, {7920, 240, 855, 360}, &expandReadRows},
};
// clang-format on

const ConsoleDesign& designOf(ConsoleWindow::Kind kind)
{
    return designs[int(kind)];
}

QRect pixels(const Twips& t)
{
    return twipsRect(t.left, t.top, t.width, t.height);
}

Qt::WindowFlags flagsOf(const ConsoleDesign& d)
{
    // A title and a close box only: neither console can be maximized or
    // minimized.
    const Qt::WindowFlags common =
        Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    // A dialog with an owner stays out of the task bar.
    return d.fixedBorder ? Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | common
                         : Qt::Window | common;
}

QPushButton* makeButton(const char* name, const char* caption, const Twips& twips, QWidget* parent)
{
    auto* button = new QPushButton(QLatin1String(caption), parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(pixels(twips));
    button->setFont(captionFont(9.75));
    button->setAutoDefault(false);
    return button;
}

} // namespace

ConsoleWindow::ConsoleWindow(Kind kind, QWidget* owner, Sender sender)
    : QWidget(owner, flagsOf(designOf(kind))), m_owner(owner), m_send(std::move(sender)),
      m_combo1(new QComboBox(this)), m_announcer(new Announcer(this))
{
    const ConsoleDesign& d = designOf(kind);
    installFontSubstitutes();
    QFont font = captionFont(9);
    font.setBold(false);
    holdDesignedLook(this, font);
    setObjectName(QLatin1String(d.name));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QLatin1String(d.caption));
    const QSize client = pixels(d.client).size();
    if (d.fixedBorder)
        setFixedSize(client);
    else
        resize(client);

    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setEditable(false);
    m_combo1->addItems(d.rows());
    // The menu-like popup of some styles takes a tab for a shortcut column and
    // pushes the description to the right edge; an item view delegate lays it
    // out as a tab stop.
    m_combo1->setItemDelegate(new QStyledItemDelegate(m_combo1));
    m_combo1->setGeometry(pixels(d.combo));
    QPushButton* send = makeButton("Command1", "SEND", d.send, this);
    QPushButton* end = makeButton("Command2", "END", d.end, this);
    connect(send, &QPushButton::clicked, this, &ConsoleWindow::Command1_Click);
    connect(end, &QPushButton::clicked, this, &ConsoleWindow::Command2_Click);
    setTabOrder(m_combo1, send);
    setTabOrder(send, end);
    m_combo1->setFocus();

    Form_Load();
    connect(m_combo1, &QComboBox::currentIndexChanged, this, &ConsoleWindow::tellRow);
    // The answer comes through the panel's exchange, which its window owns.
    if (auto* exchange = owner ? owner->findChild<Exchange*>() : nullptr)
        connect(exchange, &Exchange::answered, this, &ConsoleWindow::tellAnswer);
}

ConsoleWindow* ConsoleWindow::showConsole(QPointer<ConsoleWindow>& slot, Kind kind, QWidget* owner,
                                          const Sender& send)
{
    if (!slot)
        slot = new ConsoleWindow(kind, owner, send);
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot;
}

void ConsoleWindow::Form_Load()
{
    m_combo1->setCurrentIndex(0);
}

void ConsoleWindow::Command1_Click()
{
    m_awaitingAnswer = true;
    m_send(commandOfRow(m_combo1->currentText()));
}

void ConsoleWindow::tellAnswer(const QString& rxd)
{
    if (!m_awaitingAnswer)
        return;
    m_awaitingAnswer = false;
    m_announcer->say(spokenReply(rxd));
}

void ConsoleWindow::tellRow()
{
    // The open list is read by the screen reader itself.
    if (m_combo1->view()->isVisible())
        return;
    const QString row = m_combo1->currentText();
    const QString words =
        QString::fromLatin1(commandOfRow(row).chopped(1)) + u' ' + row.mid(row.indexOf(u':') + 1);
    m_announcer->say(words.simplified().isEmpty() ? QStringLiteral("blank") : words.simplified());
}

void ConsoleWindow::Command2_Click()
{
    close();
    if (m_owner) {
        m_owner->show();
        m_owner->raise();
        m_owner->activateWindow();
    }
}

} // namespace orva
