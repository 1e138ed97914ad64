#pragma once

#include <memory>

#include <QObject>

class QSocketNotifier;

namespace quorvane {

class StopSignals;

// The stop signals (SIGTERM, SIGINT, SIGHUP) heard through the window's
// event loop: `stopAsked` comes when the loop runs after one arrived, so
// never while a tick handler holds the loop.
class StopNotifier final : public QObject {
  Q_OBJECT

 public:
  // Throws Failure when the signals cannot be watched.
  explicit StopNotifier(QObject* parent);
  ~StopNotifier() override;
  Q_DISABLE_COPY_MOVE(StopNotifier)

 signals:
  void stopAsked();

 private:
  void Take();

  std::unique_ptr<StopSignals> signals_;
  QSocketNotifier* notifier_;
};

}  // namespace quorvane
