// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgettable.h"

#include <QHash>
#include <QString>

class QWidget;

namespace orva
{

// A widget below the window's edge takes no focus unless this property is
// true on it: the keyboard's way back to what the view cuts off. Set it
// before the view changes.
inline constexpr char kReachableOutOfSight[] = "reachableOutOfSight";

// Creates the main window's widgets from its widget table as children of
// form, each named after its row, and returns them by name. The lines are
// painted by an unnamed layer below all of them.
QHash<QString, QWidget*> buildMainWindow(QWidget* form);

} // namespace orva
