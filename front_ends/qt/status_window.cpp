#include "front_ends/qt/status_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "core/status_window/font_policy.h"
#include "core/status_window/window_description.h"
#include "front_ends/qt/failure_box.h"
#include "front_ends/qt/fonts.h"
#include "front_ends/qt/icon.h"
#include "front_ends/qt/stop_notifier.h"
#include "front_ends/qt/window_timer.h"

namespace quorvane {

namespace {

// The layout is laid out in Qt's device-independent pixels, 96 to the inch,
// so Qt's own scaling takes care of high-DPI screens.
constexpr int kPixelsPerInch = 96;

QRect Pixels(const status_window::Box& twips) {
  const status_window::Box box = status_window::BoxInPixels(twips, kPixelsPerInch);
  return QRect(box.left, box.top, box.width, box.height);
}

QWidget* MakeControl(QWidget* parent, const status_window::Control& control) {
  QWidget* widget = nullptr;
  const QString text = QString::fromLatin1(control.initialText);
  if (control.kind == status_window::ControlKind::kLabel) {
    widget = new QLabel(text, parent);
    widget->setFocusPolicy(Qt::NoFocus);
  } else {
    auto* button = new QPushButton(text, parent);
    button->setDefault(control.isDefaultButton);
    widget = button;
  }
  widget->setObjectName(QString::fromLatin1(control.name));
  widget->setGeometry(Pixels(control.twips));
  return widget;
}

}  // namespace

StatusWindow::StatusWindow(PortIo& port, const Clock& clock)
    : pollTimer_(new WindowTimer(status_window::kPollTimer.interval, this)),
      stop_(new StopNotifier(this)),
      life_(*this, *this, port, clock, *sleeper_, priority_) {
  setObjectName(QStringLiteral("statusWindow"));
  setWindowTitle(QString::fromLatin1(status_window::kCaption));
  setWindowIcon(MeasuringScreenIcon());
  setFixedSize(status_window::TwipsToPixels(status_window::kClientSize.width, kPixelsPerInch),
               status_window::TwipsToPixels(status_window::kClientSize.height, kPixelsPerInch));

  // Created in tab order: the focus chain follows the creation order.
  for (const status_window::Control& control : status_window::kControls)
    controls_.push_back(MakeControl(this, control));

  QWidget* statusLine = controls_[status_window::kStatusLine];
  QPalette palette = statusLine->palette();
  const status_window::Rgb colour = status_window::kStatusLineColour;
  palette.setColor(QPalette::WindowText, QColor(colour.red, colour.green, colour.blue));
  statusLine->setPalette(palette);

  pollTimer_->setObjectName(QString::fromLatin1(status_window::kPollTimer.name));
  connect(pollTimer_, &WindowTimer::timeout, this, &StatusWindow::OnPollTick);
  connect(pollTimer_, &WindowTimer::failed, this, &StatusWindow::OnPollTimerFailed);
  auto* ok = qobject_cast<QPushButton*>(controls_[status_window::DefaultButtonIndex()]);
  connect(ok, &QPushButton::clicked, this, &StatusWindow::OkClicked);
  connect(stop_, &StopNotifier::stopAsked, this, &StatusWindow::OnStopAsked);
}

void StatusWindow::showEvent(QShowEvent* event) {
  // The fonts are chosen when the window first shows, not when it is made:
  // fontconfig's first use and measuring the status line at some thirty
  // sizes took 10 to 18 ms, which, done in the constructor, came before the
  // start-up work and so before the first port write. Nothing is painted
  // before the window shows.
  if (!fontsChosen_) {
    fontsChosen_ = true;
    const font_policy::WindowFonts fonts =
        font_policy::Choose(QtTextMeasurer(), DesktopFont(), kPixelsPerInch);
    setFont(ToQFont(fonts.window));
    controls_[status_window::kStatusLine]->setFont(ToQFont(fonts.statusLine));
  }
  QWidget::showEvent(event);
}

void StatusWindow::StartTimer() { pollTimer_->start(); }
void StatusWindow::StopTimer() { pollTimer_->stop(); }
void StatusWindow::ShowWindow() { show(); }
void StatusWindow::MinimiseWindow() { setWindowState(windowState() | Qt::WindowMinimized); }

void StatusWindow::SetControlText(std::size_t control, const std::string& text) {
  QWidget* widget = controls_[control];
  const QString shown = QString::fromStdString(text);
  if (auto* label = qobject_cast<QLabel*>(widget))
    label->setText(shown);
  else if (auto* button = qobject_cast<QPushButton*>(widget))
    button->setText(shown);
  widget->repaint();
}

void StatusWindow::ShowFailureBox(const std::string& text) { quorvane::ShowFailureBox(text); }
int StatusWindow::RunEventLoop() { return QApplication::exec(); }
void StatusWindow::EndEventLoop(int status) { QCoreApplication::exit(status); }

void StatusWindow::keyPressEvent(QKeyEvent* event) {
  // Enter presses the default button wherever the focus is.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    qobject_cast<QPushButton*>(controls_[status_window::DefaultButtonIndex()])->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void StatusWindow::OnPollTick() { life_.OnPollTick(); }
void StatusWindow::OnPollTimerFailed(const std::string& message) { life_.FrontEndFailed(message); }
void StatusWindow::OkClicked() { life_.OkClicked(); }
void StatusWindow::OnStopAsked() { life_.StopAsked(); }

}  // namespace quorvane
