#include "window/qt/form1.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "window/font_policy.h"
#include "window/form1_description.h"
#include "window/qt/failure_box.h"
#include "window/qt/fonts.h"
#include "window/qt/icon.h"
#include "window/qt/stop_notifier.h"
#include "window/qt/window_timer.h"

namespace quorvane {

namespace {

// The layout is laid out in Qt's device-independent pixels, 96 to the inch,
// so Qt's own scaling takes care of high-DPI screens.
constexpr int kPixelsPerInch = 96;

QRect Pixels(const form1::Box& twips) {
  const form1::Box box = form1::BoxInPixels(twips, kPixelsPerInch);
  return QRect(box.left, box.top, box.width, box.height);
}

QWidget* MakeControl(QWidget* parent, const form1::Control& control) {
  QWidget* widget = nullptr;
  const QString text = QString::fromLatin1(control.initialText);
  if (control.kind == form1::ControlKind::kLabel) {
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

Form1::Form1(PortIo& port, const Clock& clock)
    : timer1_(new WindowTimer(form1::kTimer1.interval, this)),
      stop_(new StopNotifier(this)),
      life_(*this, port, clock) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromLatin1(form1::kCaption));
  setWindowIcon(MeasuringScreenIcon());
  setFixedSize(form1::TwipsToPixels(form1::kClientSize.width, kPixelsPerInch),
               form1::TwipsToPixels(form1::kClientSize.height, kPixelsPerInch));

  // Created in tab order: the focus chain follows the creation order.
  for (const form1::Control& control : form1::kControls) controls_.push_back(MakeControl(this, control));

  const font_policy::WindowFonts fonts = font_policy::Choose(QtTextMeasurer(), DesktopFont(), kPixelsPerInch);
  setFont(ToQFont(fonts.window));
  QWidget* statusLine = controls_[form1::kStatusLine];
  statusLine->setFont(ToQFont(fonts.statusLine));
  QPalette palette = statusLine->palette();
  const form1::Rgb colour = form1::kStatusLineColour;
  palette.setColor(QPalette::WindowText, QColor(colour.red, colour.green, colour.blue));
  statusLine->setPalette(palette);

  timer1_->setObjectName(QString::fromLatin1(form1::kTimer1.name));
  connect(timer1_, &WindowTimer::timeout, this, &Form1::Timer1_Timer);
  connect(timer1_, &WindowTimer::failed, this, &Form1::Timer1_Failed);
  auto* ok = qobject_cast<QPushButton*>(controls_[form1::DefaultButtonIndex()]);
  connect(ok, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(stop_, &StopNotifier::stopAsked, this, &Form1::Stop_Asked);
}

void Form1::StartTimer() { timer1_->start(); }
void Form1::StopTimer() { timer1_->stop(); }
void Form1::ShowWindow() { show(); }
void Form1::MinimiseWindow() { setWindowState(windowState() | Qt::WindowMinimized); }

void Form1::SetControlText(std::size_t control, const std::string& text) {
  QWidget* widget = controls_[control];
  const QString shown = QString::fromStdString(text);
  if (auto* label = qobject_cast<QLabel*>(widget))
    label->setText(shown);
  else if (auto* button = qobject_cast<QPushButton*>(widget))
    button->setText(shown);
  widget->repaint();
}

void Form1::ShowFailureBox(const std::string& text) { quorvane::ShowFailureBox(text); }
int Form1::RunEventLoop() { return QApplication::exec(); }
void Form1::EndEventLoop(int status) { QCoreApplication::exit(status); }

void Form1::keyPressEvent(QKeyEvent* event) {
  // Enter presses the default button wherever the focus is.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    qobject_cast<QPushButton*>(controls_[form1::DefaultButtonIndex()])->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void Form1::Timer1_Timer() { life_.Timer1_Timer(); }
void Form1::Timer1_Failed(const std::string& message) { life_.FrontEndFailed(message); }
void Form1::Command1_Click() { life_.Command1_Click(); }
void Form1::Stop_Asked() { life_.StopAsked(); }

}  // namespace quorvane
