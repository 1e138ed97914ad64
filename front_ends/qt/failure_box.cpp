#include "front_ends/qt/failure_box.h"

#include <QMessageBox>

#include "core/status_window/window_description.h"

namespace quorvane {

void ShowFailureBox(const std::string& text) {
  // No parent: the box must show even when the window is hidden or minimised.
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(status_window::kCaption),
                  QString::fromLocal8Bit(text.c_str()), QMessageBox::Ok);
  box.setObjectName(QString::fromLatin1(status_window::kFailureBoxName));
  // The text may carry names other processes chose (a port's holder): it is
  // shown as it is, never read as markup that could restyle or hide a part.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace quorvane
