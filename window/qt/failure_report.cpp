#include "window/qt/failure_report.h"

#include <cstdio>

#include <QMessageBox>

namespace quorvane {

void ReportFailure(const QString& message) {
  QString line = message.simplified();
  std::fprintf(stderr, "quorvane: %s\n", line.toLocal8Bit().constData());
  std::fflush(stderr);

  // The failure texts start in lower case to read well after "quorvane: ".
  if (!line.isEmpty()) line[0] = line[0].toUpper();
  // No parent: the box must show even when the window is hidden or minimised.
  QMessageBox box(QMessageBox::Critical, kCaption, line, QMessageBox::Ok);
  box.setObjectName(kFailureBoxName);
  box.exec();
}

}  // namespace quorvane
