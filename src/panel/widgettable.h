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
    QString accessibleName;

    friend bool operator==(const WidgetRow&, const WidgetRow&) = default;
};

// Every frame, label, button and line of the main window, containers before
// their contents.
const QList<WidgetRow>& mainWindowTable();
const WidgetRow* findRow(const QString& name);

} // namespace orva
