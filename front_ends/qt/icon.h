#pragma once

#include <QIcon>

namespace quorvane {

// The window's icon, a measuring screen, at 32x32 and 16x16 in 16 colours.
QIcon MeasuringScreenIcon();

}  // namespace quorvane
