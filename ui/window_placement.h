#pragma once
// Where the window opens: at its designed position, moved just enough to
// keep the whole frame inside the screen's available area.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace varnox {

// A frame larger than the area is put at the area's top-left corner.
QPoint ClampToAvailable(QPoint wanted, QSize frame, const QRect& available);

}  // namespace varnox
