#include "front_ends/qt/icon.h"

// The images are compiled into a static library; registering them by hand
// keeps the linker from dropping them.
static void RegisterIconImages() { Q_INIT_RESOURCE(icon); }

namespace quorvane {

QIcon MeasuringScreenIcon() {
  RegisterIconImages();
  QIcon icon;
  icon.addFile(QStringLiteral(":/quorvane/measuring_screen_32.xpm"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/quorvane/measuring_screen_16.xpm"), QSize(16, 16));
  return icon;
}

}  // namespace quorvane
