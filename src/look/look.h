// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPushButton>

namespace orva
{

// A graphical button: the face is filled with its own colour (the platform's
// button colour when none is set) under a centred caption or picture, and
// sinks and darkens while down.
class FaceButton : public QPushButton
{
    Q_OBJECT
  public:
    using QPushButton::QPushButton;

    void setFace(const QColor& face);
    QColor face() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor m_face;
};

// The colour of the dotted focus rectangle on a face: black or white,
// whichever stands out more.
QColor focusCueColour(const QColor& face);

// A press-and-hold button: reports the press and release of every mouse
// button (QPushButton alone reacts to the left one only) and ignores the
// keyboard, which must not start a repeat. Screen readers are told so, and
// are offered no press action.
class HoldButton : public FaceButton
{
    Q_OBJECT
  public:
    explicit HoldButton(const QString& text, QWidget* parent = nullptr);

  signals:
    void held();
    void released_();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

// The caption face is rarely installed outside Japanese Windows; map it to
// the free Japanese Gothic faces, then to the platform default. Safe to call
// more than once.
void installFontSubstitutes();
QFont captionFont(double pointSize);

// The 17 x 9 picture of an arrow button: a black triangle on yellow.
QPixmap arrowPicture(Qt::ArrowType arrow);

} // namespace orva
