// SPDX-License-Identifier: GPL-3.0-or-later
#include "form1.h"

#include "connecting.h"
#include "consoles/consolewindow.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "look/accessibility.h"
#include "look/look.h"
#include "look/traceline.h"
#include "look/twips.h"
#include "panel/holdrepeat.h"
#include "panel/panelbuilder.h"
#include "panel/widgettable.h"
#include "placement.h"
#include "settings/storedsettings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QPixmapCache>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <utility>

namespace orva
{

namespace
{

// Amber: the port needs the user, the black caption stays legible.
const QColor kTroubleFace(0xFF, 0xB0, 0x00);

int clientPixels(int outerTwips)
{
    return toPixels(outerTwips - Form1::kFrameTwips);
}

} // namespace

Form1::Form1() : Form1(Hooks{}) {}

Form1::Form1(Hooks hooks, QWidget* parent)
    : QWidget(parent), m_hooks(std::move(hooks)), m_comm(new MSComm(this)),
      m_exchange(new Exchange(m_comm, &m_values, this)), m_hold(new HoldRepeat(m_exchange, this)),
      m_connecting(new Connecting(m_comm, this))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("ORVA   MV-TR58  CONTROL  Ver.1.1"));
    m_comm->setObjectName(QStringLiteral("MSComm1"));
    setAutoFillBackground(true);
    installFontSubstitutes();
    QFont font = captionFont(7.5);
    font.setBold(false);
    holdDesignedLook(this, font, QColor(0xC0, 0xC0, 0xC0));
    setWindowIcon(QIcon(QStringLiteral(":/icons/orva-control.png")));
    // The window's one key, which nothing on it shows.
    setAccessibleDescription(
        QStringLiteral("Ctrl+H shows the whole window: the TxD and RxD trace, the status reads, "
                       "the STATUS line and the two console buttons."));

    m_widgets = buildMainWindow(this);
    for (const WidgetRow& row : mainWindowTable()) {
        auto* button = qobject_cast<QPushButton*>(m_widgets.value(row.name));
        if (!button)
            continue;
        if (row.action == ButtonAction::Click) {
            const QByteArray command = row.command;
            connect(button, &QPushButton::clicked, this,
                    [this, command] { m_exchange->send(command); });
        } else if (auto* hold = qobject_cast<HoldButton*>(button)) {
            const quint8 code = row.repeatCode;
            connect(hold, &HoldButton::held, this, [this, code] { m_hold->press(code); });
            connect(hold, &HoldButton::released_, m_hold, &HoldRepeat::Cont_M_up);
        }
    }
    if (auto* b = qobject_cast<QPushButton*>(widget(QStringLiteral("Command16"))))
        connect(b, &QPushButton::clicked, this, &Form1::Command16_Click);
    if (auto* b = qobject_cast<QPushButton*>(widget(QStringLiteral("Command33"))))
        connect(b, &QPushButton::clicked, this, &Form1::Command33_Click);
    if (auto* b = qobject_cast<QPushButton*>(widget(QStringLiteral("Command34"))))
        connect(b, &QPushButton::clicked, this, &Form1::Command34_Click);
    if (auto* b = qobject_cast<QPushButton*>(widget(QStringLiteral("Command74"))))
        connect(b, &QPushButton::clicked, this, &Form1::Command74_Click);
    if (auto* b = qobject_cast<QPushButton*>(widget(QStringLiteral("Command77"))))
        connect(b, &QPushButton::clicked, this, &Form1::Command77_Click);

    const auto bindLabel = [this](const char* name, auto signal) {
        if (auto* line = qobject_cast<TraceLine*>(widget(QLatin1String(name))))
            connect(m_exchange, signal, line, &TraceLine::setText);
    };
    bindLabel("Label11", &Exchange::txdChanged);
    bindLabel("Label12", &Exchange::rxdChanged);
    bindLabel("Label25", &Exchange::statusChanged);
    connect(m_exchange, &Exchange::notice, this, &Form1::showNotice);
    connect(m_exchange, &Exchange::troubleChanged, this, &Form1::showTrouble);

    setFixedSize(toPixels(kClientWidth), clientPixels(kCollapsedHeight));
    qApp->installEventFilter(this);
    if (QWidget* first = widget(QStringLiteral("Command17")))
        first->setFocus();
}

Form1::~Form1()
{
    qApp->removeEventFilter(this);
    // The dialogs are children; none of them may bring a dying window back.
    m_closing = true;
    delete m_form2;
    delete m_form3;
    delete m_form4;
}

void Form1::setStartChoice(std::optional<qint16> portNo, std::optional<quint8> baudCode)
{
    m_startPort = portNo;
    m_startBaud = baudCode;
}

void Form1::start()
{
    if (Form_Load()) {
        centreOnScreen();
        show();
    }
}

bool Form1::Form_Load()
{
    setOuterHeight(kCollapsedHeight);
    m_values.PortNo = m_startPort.value_or(storedPortNo());
    if (!isValidPort(m_values.PortNo)) {
        showComDialog(true);
        return false;
    }
    m_values.BaudCode = m_startBaud.value_or(storedBaudCode());
    try {
        m_comm->setSettings(settingsText(m_values.BaudCode));
        m_comm->setCommPort(m_values.PortNo);
        m_comm->setPortOpen(true);
    } catch (const SerialError& e) {
        // The dialog is the place to choose another port; it reports its own
        // failures. A port that made the user wait, or one named on the
        // command line, was asked for, so the user is told why it did not
        // open; one given up on was not.
        showComDialog(true);
        if (m_connecting->waited() && !m_connecting->gaveUp()) {
            m_connecting->showFailure(e.reason(), e.hint(), m_form2);
            connect(m_form2, &QObject::destroyed, m_connecting, &QWidget::hide);
        } else if (m_startPort && !m_connecting->waited())
            m_hooks.messageBox(m_form2, QStringLiteral("Retry Comport"), QStringLiteral("Error"),
                               e.hint().isEmpty() ? e.reason()
                                                  : e.reason() + QLatin1Char('\n') + e.hint());
        return false;
    }
    m_exchange->resetCollection();
    return true;
}

void Form1::Hyouji(const QByteArray& text, quint8 mode)
{
    m_exchange->Hyouji(text, mode);
}

Form2* Form1::comDialog() const
{
    return m_form2;
}
ConsoleWindow* Form1::basicConsole() const
{
    return m_form3;
}
ConsoleWindow* Form1::expandConsole() const
{
    return m_form4;
}

void Form1::Command74_Click()
{
    ConsoleWindow::showConsole(m_form3, ConsoleWindow::Kind::BasicCommand, this,
                               [this](const QByteArray& text) { sendConsoleCommand(text); });
}

void Form1::Command77_Click()
{
    ConsoleWindow::showConsole(m_form4, ConsoleWindow::Kind::ExpandRead, this,
                               [this](const QByteArray& text) { sendConsoleCommand(text); });
}

void Form1::sendConsoleCommand(const QByteArray& commandText)
{
    m_values.CommandText = commandText;
    Hyouji(m_values.CommandText, 1);
}

void Form1::Command16_Click()
{
    close();
    m_hooks.endProgram();
}

void Form1::Command33_Click()
{
    // The dialog is in charge of the port from here on.
    m_comm->stopReopening();
    if (m_comm->PortOpen())
        m_comm->setPortOpen(false);
    m_values.PrevBaudCode = m_values.BaudCode;
    m_values.PrevPortNo = m_values.PortNo;
    showComDialog(false);
}

void Form1::Command34_Click()
{
    // The caption first: it decides whether the button stays in reach when
    // the new view leaves it below the edge.
    const bool collapse = outerHeight() >= kHighThreshold;
    captionOpenClose(collapse ? QStringLiteral("OPEN") : QStringLiteral("CLOSE"));
    setOuterHeight(collapse ? kCollapsedHeight : kExpandedHeight);
}

void Form1::Form_KeyDown(int keyCode, int shift)
{
    constexpr int kKeyH = 72;
    constexpr int kCtrlMask = 2;
    if (keyCode != kKeyH || shift != kCtrlMask)
        return;
    captionOpenClose(QStringLiteral("CLOSE"));
    if (QWidget* button = widget(QStringLiteral("Command34")))
        button->show();
    setOuterHeight(kFullHeight);
}

void Form1::captionOpenClose(const QString& caption)
{
    auto* button = qobject_cast<QPushButton*>(widget(QStringLiteral("Command34")));
    if (!button)
        return;
    button->setText(caption);
    // OPEN lies below the collapsed window's edge: the keyboard is the way
    // to it (Tab, Space), so it keeps its place in the Tab order and says
    // what it does.
    const bool open = caption == QLatin1String("OPEN");
    button->setProperty(kReachableOutOfSight, open);
    button->setAccessibleDescription(
        open ? QStringLiteral("Below the window's edge. Shows the TxD and RxD trace, the status "
                              "reads and the STATUS line again.")
             : QStringLiteral("Hides the trace and all that lies below it."));
}

int Form1::outerHeight() const
{
    return height() * kTwipsPerPixel + kFrameTwips;
}

void Form1::setOuterHeight(int twips)
{
    // Still at the full view's height for the compositor: this view follows.
    if (m_heldHeight != 0) {
        m_heldHeight = twips;
        return;
    }
    setFixedSize(width(), clientPixels(twips));
    // A taller view must not reach below the screen.
    if (isVisible())
        if (const QScreen* s = screen()) {
            const QRect frame = frameGeometry();
            const QRect client = geometry();
            const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                                   frame.right() - client.right(),
                                   frame.bottom() - client.bottom());
            move(keepOnScreen(s->availableGeometry(), margins, size(), pos()));
        }
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A port coming back must not be reopened by a closing panel.
    m_comm->stopReopening();
    if (m_comm->PortOpen())
        m_comm->setPortOpen(false);
    // Closing the panel ends the program, whatever else is open.
    closeOtherWindows();
    event->accept();
}

void Form1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A Wayland client cannot move its window: the compositor places it as
    // it maps, with the size it has then, and keeps its top-left corner as
    // it grows. So it maps at the full view's height, which is then found
    // room for, and takes its own height once shown; every view then fits
    // where the full one did.
    if (event->spontaneous() || m_heldHeight != 0 ||
        !QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    m_heldHeight = outerHeight();
    setFixedSize(width(), clientPixels(kFullHeight));
}

bool Form1::event(QEvent* event)
{
    // A release that never comes (another window took the mouse, a modal box
    // came up) must not leave a repeat running.
    const bool lostMouse =
        (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::WindowBlocked);
    if (lostMouse && m_hold->repeatCode() != 0)
        m_hold->Cont_M_up();
    return QWidget::event(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // Key preview: the window sees each key press once, at its first
    // receiver (the widget with the focus), and does not consume it.
    // Shown at the full view's height: the compositor has placed it.
    if (event->type() == QEvent::Expose && m_heldHeight != 0 &&
        watched == static_cast<QObject*>(windowHandle()) && windowHandle()->isExposed())
        QTimer::singleShot(0, this, [this] {
            if (m_heldHeight != 0)
                setOuterHeight(std::exchange(m_heldHeight, 0));
        });
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        QWidget* first = QApplication::focusWidget();
        if (!first || first->window() != this)
            first = this;
        if (watched == first) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const Qt::KeyboardModifiers mods = key->modifiers();
            const int shift = (mods & Qt::ShiftModifier ? 1 : 0) |
                              (mods & Qt::ControlModifier ? 2 : 0) |
                              (mods & Qt::AltModifier ? 4 : 0);
            Form_KeyDown(key->key(), shift);
            if (pressWithEnter(first, key))
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool Form1::pressWithEnter(QWidget* focused, const QKeyEvent* key)
{
    // Enter presses the focused command button, as Space does; a hold
    // button repeats only under the mouse, so the keyboard leaves it alone.
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    auto* button = qobject_cast<QPushButton*>(focused);
    if (!button || qobject_cast<HoldButton*>(button) || !button->isEnabled())
        return false;
    if (!key->isAutoRepeat())
        button->animateClick();
    return true;
}

void Form1::showComDialog(bool modal)
{
    if (m_form2) {
        m_form2->show();
        m_form2->raise();
        m_form2->activateWindow();
        return;
    }
    m_form2 = new Form2(this, m_comm, &m_values, m_hooks.messageBox);
    // After the start-up dialog, the panel comes up however the dialog ended.
    connect(m_form2, &QObject::destroyed, this, [this] {
        if (!isVisible() && !m_closing)
            show();
    });
    m_form2->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
    m_form2->show();
}

void Form1::showNotice(const QString& text)
{
    // In the collapsed view the STATUS line is out of sight.
    if (outerHeight() < kHighThreshold && isVisible())
        if (QWidget* com = widget(QStringLiteral("Command33")))
            QToolTip::showText(com->mapToGlobal(QPoint(0, com->height())),
                               Qt::convertFromPlainText(text.trimmed()), com);
}

void Form1::showTrouble(const QString& text)
{
    QWidget* com = widget(QStringLiteral("Command33"));
    if (!com)
        return;
    // The face only, within the button: the caption and its place stay.
    QPalette face;
    if (!text.isEmpty())
        face.setColor(QPalette::Button, kTroubleFace);
    com->setPalette(face);
    // Each palette set here is new to the style, which caches the faces it
    // draws by palette: without this, every loss and return left COM's old
    // faces in Qt's pixmap cache, 14 KiB a cycle up to its 10 MB limit. The
    // faces in use are drawn again at the next paint.
    QPixmapCache::clear();
    // The notice is short; the tooltip adds the whole path of the port.
    QString tip = text.trimmed();
    if (!tip.isEmpty() && m_comm->line())
        tip += QLatin1Char('\n') + m_comm->line()->describe();
    com->setToolTip(tip.isEmpty() ? QString() : Qt::convertFromPlainText(tip));
    // Heard too, not only seen: the notice in words, never its markup.
    com->setAccessibleName(text.isEmpty() ? QString() : QStringLiteral("COM, ") + text.trimmed());
    com->setAccessibleDescription(text.trimmed());
}

void Form1::closeOtherWindows()
{
    m_closing = true;
    for (QWidget* w : {static_cast<QWidget*>(m_form2), static_cast<QWidget*>(m_form3),
                       static_cast<QWidget*>(m_form4)})
        if (w)
            w->close();
}

void Form1::centreOnScreen()
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    // Before the window is shown its frame is unknown: the designed frame
    // height stands in for it.
    move(orva::centreOnScreen(s->availableGeometry(), QMargins(0, toPixels(kFrameTwips), 0, 0),
                              size()));
}

} // namespace orva
