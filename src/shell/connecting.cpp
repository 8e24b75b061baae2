// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/connecting.h"

#include "link/mscomm.h"
#include "look/accessibility.h"
#include "look/look.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace orva
{

namespace
{

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

Connecting::Connecting(MSComm* comm, QWidget* parent) : QDialog(parent), m_comm(comm)
{
    setObjectName(QStringLiteral("Connecting"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    if (parent)
        setWindowIcon(parent->windowIcon());
    installFontSubstitutes();
    QFont font = captionFont(9);
    font.setBold(false);
    holdDesignedLook(this, font);

    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("ConnectingText"));
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("ConnectingHint"));
    // What a server said is shown as it came, never as markup.
    for (QLabel* label : {m_text, m_hint}) {
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    m_button = new QPushButton(this);
    m_button->setObjectName(QStringLiteral("ConnectingButton"));
    connect(m_button, &QPushButton::clicked, this, &Connecting::reject);
    m_announcer = new Announcer(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_hint);
    layout->addWidget(m_button, 0, Qt::AlignRight);
    setFixedWidth(fontMetrics().averageCharWidth() * 60);

    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(kShowDelay);
    connect(&m_showTimer, &QTimer::timeout, this, [this] {
        adjustSize();
        if (const QScreen* s = QGuiApplication::primaryScreen())
            move(s->availableGeometry().center() - rect().center());
        show();
        raise();
        activateWindow();
        m_button->setFocus();
        m_announcer->say(m_text->text());
    });
    connect(comm, &MSComm::opening, this, &Connecting::onOpening);
    connect(comm, &MSComm::opened, this, &QWidget::hide);
}

void Connecting::onOpening(const QString& what)
{
    m_connecting = !what.isEmpty();
    if (!m_connecting) {
        m_showTimer.stop();
        qApp->removeEventFilter(this);
        hide();
        return;
    }
    m_waited = true;
    m_gaveUp = false;
    say(QStringLiteral("Connecting"), QStringLiteral("Connecting to %1 …").arg(what),
        QStringLiteral("The server has up to 8 s to take the connection and set the port."));
    m_button->setText(QStringLiteral("Give up"));
    m_button->setAccessibleDescription(QStringLiteral("Stops connecting; COM PORT comes up."));
    qApp->installEventFilter(this);
    m_showTimer.start();
}

void Connecting::showFailure(const QString& reason, const QString& hint, const QWidget* beside)
{
    m_waited = false;
    say(QStringLiteral("Port not open"), reason, hint);
    m_button->setText(QStringLiteral("Close"));
    m_button->setAccessibleDescription({});
    adjustSize();
    // Above COM PORT when there is room, else below it.
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect screen = s->availableGeometry();
        QPoint at = screen.center() - rect().center();
        if (beside) {
            const QRect other = beside->frameGeometry();
            at = QPoint(other.center().x() - width() / 2, other.top() - height() - 40);
            if (at.y() < screen.top())
                at.setY(other.bottom() + 8);
        }
        move(at);
    }
    show();
    raise();
    m_announcer->say(reason + QStringLiteral(". ") + hint);
}

void Connecting::say(const QString& title, const QString& text, const QString& hint)
{
    setWindowTitle(title);
    m_text->setText(text);
    m_hint->setText(hint);
    setAccessibleName(title);
    setAccessibleDescription(text + QLatin1Char(' ') + hint);
}

void Connecting::reject()
{
    if (m_connecting) {
        m_gaveUp = true;
        m_comm->abortOpening();
        return;
    }
    hide();
}

bool Connecting::eventFilter(QObject* watched, QEvent* event)
{
    // The wait is modal: only this window takes input meanwhile, and what
    // was meant for another is dropped rather than done after the wait.
    if (m_connecting && isUserInput(event->type()) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() != this)
        return true;
    return QDialog::eventFilter(watched, event);
}

} // namespace orva
