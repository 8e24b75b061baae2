// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace orva
{

enum class WidgetKind { Frame, Label, Button, Line };
enum class Align { Left, Centre, Right };
// Click sends `command` once; Hold repeats it while a mouse button is down;
// Shell buttons act on windows and send nothing.
enum class ButtonAction { None, Click, Hold, Shell };

// One widget of the main window as designed. Geometry is in twips relative to
// the container (empty container: the window's client area); a Line holds its
// end points x1, y1, x2, y2 in left, top, width, height.
struct WidgetRow {
    QString name;
    WidgetKind kind = WidgetKind::Label;
    QString container;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    QString caption;
    Qt::ArrowType arrow = Qt::NoArrow;
    // "#RRGGBB"; empty for the platform default; "plain" for a standard push
    // button; "inactiveCaptionText" for that platform colour.
    QString colour;
    QString textColour;
    double fontSize = 9;
    int tab = 0;
    Align align = Align::Left;
    bool border = false;
    ButtonAction action = ButtonAction::None;
    QByteArray command; // without the carriage return
    quint8 repeatCode = 0;
    bool hidden = false;
    // What a picture button's picture says, spoken in place of a caption.
    QString accessibleName;
    // A label that titles its frame, or one that captions the widget named
    // in buddy.
    bool title = false;
    QString buddy;

    friend bool operator==(const WidgetRow&, const WidgetRow&) = default;
};

// Every frame, label, button and line of the main window, containers before
// their contents.
const QList<WidgetRow>& mainWindowTable();
const WidgetRow* findRow(const QString& name);

// A frame's title as a screen reader should speak it: its title labels'
// captions in one line, brackets read as word breaks. A frame without a
// title is named by its row captions.
QString groupTitle(const QString& frame);
// The name a frame or button is spoken by: a button's caption (or its
// picture's words) after its group's title, so that the six "OFF" buttons
// are told apart. Free-standing buttons keep their caption.
QString spokenName(const WidgetRow& row);
// What a button does beyond its name, for a screen reader: what a status read
// reads; for a hold button, the Basic Command console row that sends the same
// command from the keyboard. Empty for the other widgets.
QString spokenDescription(const WidgetRow& row);

} // namespace orva
