// SPDX-License-Identifier: GPL-3.0-or-later
#include "traceline.h"

#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

#include <algorithm>
#include <limits>

namespace orva
{

namespace
{

class TraceLineAccessible : public QAccessibleWidget
{
  public:
    explicit TraceLineAccessible(TraceLine* line) : QAccessibleWidget(line, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const QString whole = line()->text();
        if (t == QAccessible::Value)
            return whole;
        // Like a label: named by its text, and while that is empty by its
        // caption.
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty() && !whole.isEmpty())
            return line()->announced() ? spokenStatus(whole) : whole;
        return QAccessibleWidget::text(t);
    }

  private:
    TraceLine* line() const { return static_cast<TraceLine*>(widget()); }
};

QAccessibleInterface* traceLineInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String(TraceLine::staticMetaObject.className()))
        if (auto* line = qobject_cast<TraceLine*>(object))
            return new TraceLineAccessible(line);
    return nullptr;
}

} // namespace

TraceLine::TraceLine(QWidget* parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(traceLineInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

void TraceLine::setText(const QString& text)
{
    // The decoding writes the STATUS line again at every arrival that still
    // matches; a screen reader should hear a change only once.
    if (text == m_text)
        return;
    // A stream that runs on past the line's end changes nothing that shows.
    const qsizetype shown = shownLength();
    if (QStringView(text).left(shown) != QStringView(m_text).left(shown))
        update();
    m_text = text;
    if (m_announcer && !text.isEmpty())
        m_announcer->say(spokenStatus(text));
    // A line has no value interface: screen readers hear its text as its
    // name, so a name change is what tells it.
    if (QAccessible::isActive() && accessibleName().isEmpty()) {
        QAccessibleEvent named(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    }
}

void TraceLine::setAnnounced()
{
    if (!m_announcer)
        m_announcer = new Announcer(this);
}

qsizetype TraceLine::shownLength()
{
    const int width = std::max(this->width() - 2, 0);
    if (m_narrowest == 0) {
        const QFontMetrics metrics(font());
        m_narrowest = std::numeric_limits<int>::max();
        for (char c = ' '; c <= '~'; ++c)
            m_narrowest = std::min(m_narrowest, metrics.horizontalAdvance(QLatin1Char(c)));
        m_narrowest = std::max(m_narrowest, 1);
    }
    // The texts are ASCII; a few characters more than the narrowest one
    // allows cover kerning.
    return width / m_narrowest + 8;
}

void TraceLine::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        m_narrowest = 0;
    QWidget::changeEvent(event);
}

void TraceLine::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect().adjusted(1, 1, -1, -1), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
               m_text.left(shownLength()));
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace orva
