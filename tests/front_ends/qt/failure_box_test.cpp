// The failure box shows its text as it is: a message may carry a name that
// another process chose, and markup in it must not restyle or hide a part.
#include "front_ends/qt/failure_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace quorvane {
namespace {

TEST(FailureBox, ShowsMarkupAsPlainText) {
  const std::string text =
      "port held by \"<b>x</b><br><font color=green>quorvane: all is well</font>\" (process 7)";
  QString shown;
  Qt::TextFormat format = Qt::AutoText;
  bool found = false;
  // The box runs its own event loop; it is read and closed from there. Every
  // window is closed after a while in any case, so a box that never came
  // cannot hold the test.
  QTimer look;
  int looks = 0;
  QObject::connect(&look, &QTimer::timeout, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
        found = true;
        shown = box->text();
        format = box->textFormat();
        box->done(0);
        return;
      }
    }
    if (++looks > 500) QApplication::closeAllWindows();
  });
  look.start(10);
  ShowFailureBox(text);
  look.stop();
  ASSERT_TRUE(found) << "no failure box was shown";
  EXPECT_EQ(format, Qt::PlainText);
  EXPECT_EQ(shown.toStdString(), text);
}

}  // namespace
}  // namespace quorvane
