#include "ui/window_placement.h"

#include <algorithm>

namespace varnox {

QPoint ClampToAvailable(QPoint wanted, QSize frame, const QRect& available)
{
    const int right_most = available.left() + available.width() - frame.width();
    const int bottom_most = available.top() + available.height() - frame.height();
    const int x = std::max(available.left(), std::min(wanted.x(), right_most));
    const int y = std::max(available.top(), std::min(wanted.y(), bottom_most));
    return {x, y};
}

}  // namespace varnox
