#include "window/qt/form1.h"

#include <exception>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

#include "responder/status_texts.h"
#include "window/qt/failure_report.h"
#include "window/qt/icon.h"
#include "window/qt/status_font.h"
#include "window/qt/twips.h"

namespace quorvane {

namespace {

// The client area, 4680 x 1635 twips.
constexpr int kClientWidth = 4680;
constexpr int kClientHeight = 1635;

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, QRect box) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(box);
  label->setFocusPolicy(Qt::NoFocus);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, QRect box) {
  auto* button = new QPushButton(QString::fromLatin1(text), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(box);
  return button;
}

QTimer* MakeTimer(QObject* parent) {
  auto* timer = new QTimer(parent);
  timer->setObjectName(QStringLiteral("Timer1"));
  timer->setTimerType(Qt::PreciseTimer);
  timer->setInterval(1000);
  return timer;
}

// The widest texts each fixed-size label must hold in the window's font: the
// last-restart and last-request stamps are measured with the widest digit.
QFont WindowFont(const Form1& form) {
  QFont font = QApplication::font();
  const QFontMetricsF metrics(font);
  QChar widest = QLatin1Char('0');
  for (char digit = '1'; digit <= '9'; ++digit)
    if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widest))
      widest = QLatin1Char(digit);
  const QString d(widest);
  const QString date = d.repeated(2) + '-' + d.repeated(2) + '-' + d.repeated(4);
  const QString time = d.repeated(2) + ':' + d.repeated(2) + ':' + d.repeated(2);
  const struct {
    QLabel* label;
    QString widest;
  } boxes[] = {{form.Label2, form.Label2->text()},
               {form.Label3, form.Label3->text()},
               {form.Label4, date + ' ' + time},
               {form.Label5, time},
               {form.Label6, form.Label6->text()}};
  for (const auto& box : boxes) font = ShrinkToFit(font, {box.widest}, box.label->size());
  return font;
}

}  // namespace

Form1::Form1(PortIo& port, const Clock& clock)
    : Label1(MakeLabel(this, "Label1", "Active...", TwipsRect(840, 480, 2895, 495))),
      Label2(MakeLabel(this, "Label2", "Status", TwipsRect(840, 240, 615, 255))),
      Command1(MakeButton(this, "Command1", "OK", TwipsRect(3840, 1320, 735, 255))),
      Label3(MakeLabel(this, "Label3", "Last Restart:", TwipsRect(120, 1320, 975, 255))),
      Label4(MakeLabel(this, "Label4", "", TwipsRect(1080, 1320, 1695, 255))),
      Label5(MakeLabel(this, "Label5", "", TwipsRect(1200, 1080, 735, 255))),
      Label6(MakeLabel(this, "Label6", "Last Request:", TwipsRect(120, 1080, 1095, 255))),
      Timer1(MakeTimer(this)),
      responder_(variables_, port, *this, clock) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowIcon(MeasuringScreenIcon());
  setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));

  // The window's font is the desktop's, made smaller only when the fixed
  // boxes cannot hold their texts in it; the status line has its own.
  setFont(WindowFont(*this));
  Label1->setFont(ChooseStatusFont(
      {QString::fromLatin1(status_texts::kWaitingForRequest),
       QString::fromLatin1(status_texts::kSendingSequence), Label1->text()},
      Label1->size()));
  QPalette palette = Label1->palette();
  palette.setColor(QPalette::WindowText, QColor(255, 0, 255));
  Label1->setPalette(palette);

  // The labels never take focus, so the button is the only stop of the tab
  // order; it follows the creation order above.
  Command1->setDefault(true);
  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
  Timer1->start();
}

void Form1::SetStatusLine(const std::string& text) { Show(Label1, text); }
void Form1::SetLastRestartText(const std::string& text) { Show(Label4, text); }
void Form1::SetLastRequestText(const std::string& text) { Show(Label5, text); }

void Form1::Show(QLabel* label, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  // Every idle poll writes the same status text again: repainting it each
  // second would be the program's main cost while nothing happens.
  if (label->text() == shown) return;
  label->setText(shown);
  // Paints without servicing the event loop (a hidden window skips it), so
  // "Sending Sequence..." and the request's time are seen while it runs.
  label->repaint();
}

void Form1::keyPressEvent(QKeyEvent* event) {
  // OK is the default button: Enter presses it wherever the focus is.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Command1->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void Form1::Timer1_Timer() {
  // Nothing inside a tick services events, with one exception: the failure
  // box runs its own event loop, and no poll may start from within it.
  if (ticking_) return;
  ticking_ = true;
  try {
    responder_.Timer1_Timer();
  } catch (const std::exception& failure) {
    Fail(QString::fromLocal8Bit(failure.what()));
  } catch (...) {
    Fail(QStringLiteral("the poll of the request line failed for an unknown reason"));
  }
  ticking_ = false;
}

void Form1::Command1_Click() { setWindowState(windowState() | Qt::WindowMinimized); }

void Form1::Fail(const QString& message) {
  Timer1->stop();
  ReportFailure(message);
  QCoreApplication::exit(1);
}

}  // namespace quorvane
