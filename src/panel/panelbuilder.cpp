// SPDX-License-Identifier: GPL-3.0-or-later
#include "panelbuilder.h"

#include "look/accessibility.h"
#include "look/look.h"
#include "look/traceline.h"
#include "look/twips.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <algorithm>

namespace orva
{

namespace
{

QColor designColour(const QString& colour)
{
    // Qt has no role for an inactive title bar's text; that text is drawn
    // greyed out, which is what disabled text is.
    if (colour == QLatin1String("inactiveCaptionText"))
        return designedPalette().color(QPalette::Disabled, QPalette::WindowText);
    return QColor(colour);
}

class LineLayer : public QWidget
{
  public:
    explicit LineLayer(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(0, 0, toPixels(kClientWidth), toPixels(kClientHeight));
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(QPen(QColor(0x80, 0x80, 0xFF), 2));
        for (const WidgetRow& r : mainWindowTable())
            if (r.kind == WidgetKind::Line)
                p.drawLine(toPixels(r.left), toPixels(r.top), toPixels(r.width),
                           toPixels(r.height));
    }
};

// A bare frame with a name is a group of buttons under a title; Qt would
// report it as a window frame.
QAccessibleInterface* groupFrameAccessible(const QString& classname, QObject* object)
{
    auto* frame = qobject_cast<QFrame*>(object);
    if (classname != QLatin1String("QFrame") || !frame || frame->accessibleName().isEmpty())
        return nullptr;
    return new QAccessibleWidget(frame, QAccessible::Grouping);
}

// The views cut the window short: what lies below its edge is out of sight
// and must not take the focus (nor a Space meant for something else), but
// for a way back to it.
class ShownAreaFocus : public QObject
{
  public:
    ShownAreaFocus(QWidget* form, const QHash<QString, QWidget*>& widgets) : QObject(form)
    {
        for (QWidget* w : widgets)
            if (w->focusPolicy() != Qt::NoFocus)
                m_designed.insert(w, w->focusPolicy());
        form->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            follow(static_cast<QWidget*>(watched));
        return QObject::eventFilter(watched, event);
    }

  private:
    void follow(QWidget* form)
    {
        QWidget* focused = form->focusWidget();
        for (auto it = m_designed.cbegin(); it != m_designed.cend(); ++it) {
            const QRect place(it.key()->mapTo(form, QPoint()), it.key()->size());
            const bool reach =
                form->rect().intersects(place) || it.key()->property(kReachableOutOfSight).toBool();
            it.key()->setFocusPolicy(reach ? it.value() : Qt::NoFocus);
        }
        if (focused && focused->focusPolicy() == Qt::NoFocus) {
            QWidget* next = focused->nextInFocusChain();
            while (next != focused && !(next->focusPolicy() & Qt::TabFocus && next->isVisible()))
                next = next->nextInFocusChain();
            next->setFocus(Qt::TabFocusReason);
        }
    }

    QHash<QWidget*, Qt::FocusPolicy> m_designed;
};

void fillBackground(QWidget* w, const QString& colour, const QString& textColour)
{
    QPalette p = w->palette();
    if (!colour.isEmpty()) {
        w->setAutoFillBackground(true);
        p.setColor(QPalette::Window, designColour(colour));
    }
    if (!textColour.isEmpty())
        p.setColor(QPalette::WindowText, designColour(textColour));
    w->setPalette(p);
}

QWidget* makeLabel(const WidgetRow& r, QWidget* parent)
{
    // The bordered labels are the TxD, RxD and STATUS lines.
    if (r.border) {
        auto* line = new TraceLine(parent);
        line->setText(r.caption);
        fillBackground(line, r.colour, r.textColour);
        return line;
    }
    auto* l = new QLabel(r.caption, parent);
    // Bytes from the line are shown, never interpreted as markup.
    l->setTextFormat(Qt::PlainText);
    fillBackground(l, r.colour, r.textColour);
    // Top-aligned as designed: a label lower than its font loses only the
    // descenders, not the tops of its capitals.
    l->setAlignment(Qt::AlignTop | (r.align == Align::Centre  ? Qt::AlignHCenter
                                    : r.align == Align::Right ? Qt::AlignRight
                                                              : Qt::AlignLeft));
    return l;
}

QWidget* makeButton(const WidgetRow& r, QWidget* parent)
{
    QPushButton* b;
    if (r.action == ButtonAction::Hold) {
        b = new HoldButton(r.caption, parent);
    } else if (r.colour == QLatin1String("plain")) {
        b = new QPushButton(r.caption, parent);
    } else {
        b = new FaceButton(r.caption, parent);
    }
    if (auto* face = qobject_cast<FaceButton*>(b); face && !r.colour.isEmpty())
        face->setFace(designColour(r.colour));
    if (r.arrow != Qt::NoArrow) {
        b->setIcon(arrowPicture(r.arrow));
        b->setIconSize(QSize(17, 9));
    }
    // A button whose name is its caption keeps none of its own, so the name
    // follows a caption that changes (CLOSE/OPEN).
    if (const QString name = spokenName(r); name != r.caption)
        b->setAccessibleName(name);
    if (const QString more = spokenDescription(r); !more.isEmpty())
        b->setAccessibleDescription((b->accessibleDescription() + u' ' + more).trimmed());
    b->setAutoDefault(false);
    return b;
}

QWidget* makeWidget(const WidgetRow& r, QWidget* parent)
{
    switch (r.kind) {
    case WidgetKind::Frame: {
        auto* f = new QFrame(parent);
        f->setFrameStyle(QFrame::Box | QFrame::Sunken);
        fillBackground(f, r.colour, {});
        f->setAccessibleName(spokenName(r));
        return f;
    }
    case WidgetKind::Label:
        return makeLabel(r, parent);
    case WidgetKind::Button:
        return makeButton(r, parent);
    case WidgetKind::Line:
        return nullptr;
    }
    return nullptr;
}

} // namespace

QHash<QString, QWidget*> buildMainWindow(QWidget* form)
{
    installFontSubstitutes();
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(groupFrameAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    (new LineLayer(form))->lower();

    QHash<QString, QWidget*> widgets;
    QList<const WidgetRow*> buttons;
    for (const WidgetRow& r : mainWindowTable()) {
        QWidget* parent = r.container.isEmpty() ? form : widgets.value(r.container, form);
        QWidget* w = makeWidget(r, parent);
        if (!w)
            continue;
        w->setObjectName(r.name);
        w->setGeometry(twipsRect(r.left, r.top, r.width, r.height));
        if (r.kind != WidgetKind::Frame)
            w->setFont(captionFont(r.fontSize));
        if (r.hidden)
            w->hide();
        if (r.kind == WidgetKind::Button)
            buttons.append(&r);
        widgets.insert(r.name, w);
    }

    // A caption label names the line beside it for screen readers, which
    // then read "RxD" with the line's text.
    for (const WidgetRow& r : mainWindowTable())
        if (auto* l = qobject_cast<QLabel*>(widgets.value(r.name)); l && !r.buddy.isEmpty()) {
            l->setBuddy(widgets.value(r.buddy));
            // The STATUS line carries the answers and the port notices.
            if (auto* line = qobject_cast<TraceLine*>(l->buddy()); line && r.title)
                line->setAnnounced();
        }

    std::stable_sort(buttons.begin(), buttons.end(),
                     [](const WidgetRow* a, const WidgetRow* b) { return a->tab < b->tab; });
    for (qsizetype i = 1; i < buttons.size(); ++i)
        QWidget::setTabOrder(widgets.value(buttons[i - 1]->name), widgets.value(buttons[i]->name));
    new ShownAreaFocus(form, widgets);
    return widgets;
}

} // namespace orva
