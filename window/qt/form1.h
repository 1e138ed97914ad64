#pragma once

#include <string>

#include <QWidget>

#include "common/clock.h"
#include "common/form_variables.h"
#include "common/status_display.h"
#include "port/port_io.h"
#include "responder/responder.h"

class QLabel;
class QPushButton;
class QTimer;

namespace quorvane {

// The program's one window. It owns the window-level variables and the texts
// of its controls for the life of the process, shows the three status texts,
// and hosts Timer1, whose ticks run the poll of the request line.
//
// It is created hidden with Timer1 already running; its ticks are handled
// once an event loop runs. The start-up work is the caller's, between
// creating the window and showing it.
class Form1 final : public QWidget, public StatusDisplay {
  Q_OBJECT

 public:
  // `port` and `clock` are kept by reference and must outlive the window.
  Form1(PortIo& port, const Clock& clock);

  FormVariables& Variables() { return variables_; }

  // The status display: status line = Label1, last restart = Label4, last
  // request = Label5. Each text is painted at once, since a tick that
  // answers a request keeps the event loop away for three seconds.
  void SetStatusLine(const std::string& text) override;
  void SetLastRestartText(const std::string& text) override;
  void SetLastRequestText(const std::string& text) override;

  // The controls, created in tab order; each object name is its own name.
  QLabel* const Label1;
  QLabel* const Label2;
  QPushButton* const Command1;
  QLabel* const Label3;
  QLabel* const Label4;
  QLabel* const Label5;
  QLabel* const Label6;
  QTimer* const Timer1;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private slots:
  void Timer1_Timer();
  void Command1_Click();

 private:
  void Show(QLabel* label, const std::string& text);
  void Fail(const QString& message);

  FormVariables variables_;
  Responder responder_;
  bool ticking_ = false;
};

}  // namespace quorvane
