// SPDX-License-Identifier: GPL-3.0-or-later
#include "placement.h"

#include <algorithm>

namespace orva
{

namespace
{

QSize frameSize(const QMargins& frame, const QSize& client)
{
    return client.grownBy(frame);
}

} // namespace

QPoint keepOnScreen(const QRect& available, const QMargins& frame, const QSize& client,
                    QPoint framePos)
{
    const QSize outer = frameSize(frame, client);
    // The far edges first, then the near ones, so the top-left corner wins.
    const int x =
        std::max(available.left(),
                 std::min(framePos.x(), available.x() + available.width() - outer.width()));
    const int y =
        std::max(available.top(),
                 std::min(framePos.y(), available.y() + available.height() - outer.height()));
    return {x, y};
}

QPoint designedPlace(const QRect& screen, const QRect& available, const QMargins& frame,
                     const QRect& client)
{
    const QPoint corner(frame.left(), frame.top());
    const QPoint designed = screen.topLeft() + client.topLeft() - corner;
    return keepOnScreen(available, frame, client.size(), designed) + corner;
}

QPoint centreOnScreen(const QRect& available, const QMargins& frame, const QSize& client)
{
    const QSize outer = frameSize(frame, client);
    const QPoint centred(available.x() + (available.width() - outer.width()) / 2,
                         available.y() + (available.height() - outer.height()) / 2);
    return keepOnScreen(available, frame, client, centred);
}

} // namespace orva
