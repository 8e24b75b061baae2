// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QPalette>
#include <QString>
#include <QWidget>

namespace orva
{

// The STATUS line spaces out every character of a number (" 0 2 5 . 0 deg C",
// "     1 2 3   Hour Use"); speech would spell it. The spoken form keeps the
// numbers whole: "025.0 deg C", "123 Hour Use".
QString spokenStatus(const QString& drawn);

// A reply as the RxD line traces it (" 0 0  [CR] "), in the characters that
// came: "00 CR"; the missing-reply mark as "no reply".
QString spokenReply(const QString& trace);

// A notification of a window's own with nothing to draw: say() tells a
// screen reader the words at once, without taking the focus. It reports
// itself as a notification and is shown anew, which Orca speaks as
// "notification …" whatever has the focus; Qt 6.4 has no announcement event
// of its own.
class Announcer : public QWidget
{
    Q_OBJECT
  public:
    explicit Announcer(QWidget* parent);

    QString spoken() const { return m_spoken; }
    void say(const QString& words);

  private:
    QString m_spoken;
};

// The light colours every window is designed on. The faces and the window
// colour are fixed, so the text on them must be too: a dark desktop palette
// would otherwise put light captions on the light faces.
QPalette designedPalette();

// Fixes every role of window's palette (on windowColour when given) and every
// attribute of its font, so neither the desktop's palette nor its font
// reaches the window; its widgets' own colours and fonts are set over it.
void holdDesignedLook(QWidget* window, const QFont& font, const QColor& windowColour = {});

// Before QApplication: with Qt's GTK platform theme, GTK's own accessibility
// bridge would take the program's place on the accessibility bus.
void keepGtkOffAccessibilityBus();

} // namespace orva
