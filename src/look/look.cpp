#include "look.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

namespace orva
{

namespace
{

QString captionFace()
{
    return QStringLiteral("ＭＳ Ｐゴシック");
}

} // namespace

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

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        focus.backgroundColor = face();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
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
