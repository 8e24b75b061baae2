// SPDX-License-Identifier: GPL-3.0-or-later
#include "look.h"

#include <cmath>

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

namespace orva
{

namespace
{

QString captionFace()
{
    return QStringLiteral("ＭＳ Ｐゴシック");
}

double relativeLuminance(const QColor& c)
{
    const auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// QAccessibleButton would offer a Press action, which a hold button cannot
// honour: it repeats only under a mouse button.
class HoldButtonAccessible : public QAccessibleWidget
{
  public:
    explicit HoldButtonAccessible(HoldButton* button)
        : QAccessibleWidget(button, QAccessible::Button)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return static_cast<HoldButton*>(widget())->text();
        return own;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = static_cast<HoldButton*>(widget())->isDown();
        return s;
    }
};

QAccessibleInterface* holdButtonAccessible(const QString&, QObject* object)
{
    // Asked for every class of every object; only hold buttons get this one.
    if (auto* button = qobject_cast<HoldButton*>(object))
        return new HoldButtonAccessible(button);
    return nullptr;
}

} // namespace

QColor focusCueColour(const QColor& face)
{
    const double l = relativeLuminance(face);
    const double againstBlack = (l + 0.05) / 0.05;
    const double againstWhite = 1.05 / (l + 0.05);
    return againstBlack >= againstWhite ? QColor(Qt::black) : QColor(Qt::white);
}

void FaceButton::setFace(const QColor& face)
{
    m_face = face;
    update();
}

QColor FaceButton::face() const
{
    return m_face.isValid() ? m_face : palette().color(QPalette::Button);
}

void FaceButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool sunken = isDown();
    const QPalette bevel(sunken ? face().darker(125) : face());
    qDrawWinButton(&p, rect(), bevel, sunken, &bevel.brush(QPalette::Button));

    const QRect inner = rect().adjusted(2, 2, -2, -2).translated(sunken ? 1 : 0, sunken ? 1 : 0);
    if (!icon().isNull()) {
        const QPixmap picture = icon().pixmap(iconSize());
        QRect target(QPoint(), iconSize());
        target.moveCenter(inner.center());
        p.drawPixmap(target, picture);
    } else {
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                 QPalette::ButtonText));
        p.drawText(inner, Qt::AlignCenter, text());
    }

    // Shown whenever the button has the focus, from the start, not only
    // after a Tab: the style's own ring is too faint on these faces.
    if (hasFocus()) {
        QPen dots(focusCueColour(bevel.color(QPalette::Button)), 1);
        dots.setDashPattern({1, 1});
        p.setPen(dots);
        p.setBrush(Qt::NoBrush);
        p.drawRect(inner.adjusted(1, 1, -2, -2));
    }
}

HoldButton::HoldButton(const QString& text, QWidget* parent) : FaceButton(text, parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(holdButtonAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    setAccessibleDescription(
        tr("Repeats while a mouse button is held down on it; the keyboard does not press it."));
}

void HoldButton::mousePressEvent(QMouseEvent* event)
{
    setDown(true);
    emit held();
    event->accept();
}

void HoldButton::mouseReleaseEvent(QMouseEvent* event)
{
    setDown(false);
    emit released_();
    event->accept();
}

void HoldButton::keyPressEvent(QKeyEvent* event)
{
    event->ignore();
}
void HoldButton::keyReleaseEvent(QKeyEvent* event)
{
    event->ignore();
}

void installFontSubstitutes()
{
    static const bool installed = [] {
        QFont::insertSubstitutions(captionFace(),
                                   {QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic")});
        return true;
    }();
    Q_UNUSED(installed);
}

QFont captionFont(double pointSize)
{
    QFont f(captionFace());
    f.setPointSizeF(pointSize);
    f.setBold(true);
    return f;
}

QPixmap arrowPicture(Qt::ArrowType arrow)
{
    QPixmap picture(17, 9);
    picture.fill(QColor(0xFF, 0xFF, 0x00));
    QPainter p(&picture);
    // Sides at 45 degrees inside a one-pixel yellow margin: up and down are
    // 13 x 7, left and right 4 x 7.
    for (int i = 0; i < 7; ++i) {
        switch (arrow) {
        case Qt::UpArrow:
            p.fillRect(8 - i, 1 + i, 2 * i + 1, 1, Qt::black);
            break;
        case Qt::DownArrow:
            p.fillRect(8 - i, 7 - i, 2 * i + 1, 1, Qt::black);
            break;
        case Qt::LeftArrow:
            if (i < 4)
                p.fillRect(6 + i, 4 - i, 1, 2 * i + 1, Qt::black);
            break;
        case Qt::RightArrow:
            if (i < 4)
                p.fillRect(10 - i, 4 - i, 1, 2 * i + 1, Qt::black);
            break;
        case Qt::NoArrow:
            break;
        }
    }
    return picture;
}

} // namespace orva
