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

// The frame centred in available, then kept on it.
QPoint centreOnScreen(const QRect& available, const QMargins& frame, const QSize& client);

} // namespace orva
