// The stop signals' pipe watched by the window's event loop, as Qt's own
// pattern for Unix signals has it: a socket notifier on its read end.

#include <QSocketNotifier>

#include "core/life/stop_signals_posix.h"
#include "front_ends/qt/stop_notifier.h"

namespace quorvane {

StopNotifier::StopNotifier(QObject* parent)
    : QObject(parent),
      signals_(std::make_unique<StopSignals>()),
      notifier_(new QSocketNotifier(signals_->Descriptor(), QSocketNotifier::Read, this)) {
  connect(notifier_, &QSocketNotifier::activated, this, &StopNotifier::Take);
}

StopNotifier::~StopNotifier() = default;

void StopNotifier::Take() {
  if (signals_->Take()) emit stopAsked();
}

}  // namespace quorvane
