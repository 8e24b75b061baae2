#include "traceline.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

#include <algorithm>

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
        const QString whole = static_cast<TraceLine*>(widget())->text();
        if (t == QAccessible::Value)
            return whole;
        // Like a label: named by its text, and while that is empty by its
        // caption.
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty() && !whole.isEmpty())
            return whole;
        return QAccessibleWidget::text(t);
    }
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
    m_text = text;
    update();
    if (!QAccessible::isActive())
        return;
    if (accessibleName().isEmpty()) {
        QAccessibleEvent named(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    }
    QAccessibleValueChangeEvent changed(this, text);
    QAccessible::updateAccessibility(&changed);
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
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    if (m_narrowest == 0) {
        const QFontMetrics metrics(font());
        m_narrowest = inside.width();
        for (char c = ' '; c <= '~'; ++c)
            m_narrowest = std::min(m_narrowest, metrics.horizontalAdvance(QLatin1Char(c)));
        m_narrowest = std::max(m_narrowest, 1);
    }
    // The texts are ASCII; a few characters more than the narrowest one
    // allows cover kerning.
    const QString shown = m_text.left(inside.width() / m_narrowest + 8);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(inside, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace orva
