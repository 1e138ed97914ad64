#include "front_ends/qt/failure_box.h"

#include <QMessageBox>

#include "core/status_window/window_description.h"

namespace quorvane {

void ShowFailureBox(const std::string& text) {
  // No parent: the box must show even when the window is hidden or minimised.
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(status_window::kCaption),
                  QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok);
  box.setObjectName(QString::fromLatin1(status_window::kFailureBoxName));
  box.exec();
}

}  // namespace quorvane
