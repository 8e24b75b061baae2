// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace orva
{

// Where a window's frame goes (the position QWidget::move takes) so that the
// whole frame, the client size plus the frame margins, is within available.
// A frame larger than available keeps its top-left corner there, so the
// title bar can still be grabbed.
QPoint keepOnScreen(const QRect& available, const QMargins& frame, const QSize& client,
                    QPoint framePos);

// Where the client area of a window designed at a place on its screen goes
// (client.topLeft() measured from the screen's top-left corner): there when
// its whole frame fits available, otherwise moved in as keepOnScreen does.
QPoint designedPlace(const QRect& screen, const QRect& available, const QMargins& frame,
                     const QRect& client);

// The frame centred in available, then kept on it.
QPoint centreOnScreen(const QRect& available, const QMargins& frame, const QSize& client);

} // namespace orva
