#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>

#include "front_ends/qt/realtime_kit.h"

namespace quorvane {

namespace {

// The lowest real-time priority, as the thread would take it itself.
constexpr unsigned kPriority = 1;
// RealtimeKit grants a real-time class only to a process that caps the CPU
// time a real-time thread may take without blocking (RLIMIT_RTTIME), at
// most 200 ms by its default. An answer's thread spins at most its wake-up
// margin (1 ms) between two sleeps; 100 ms leaves room for a slow port
// write, and a thread gone wrong is stopped (SIGXCPU) instead of holding a
// core.
constexpr rlim_t kRealtimeBudgetUs = 100'000;

std::string CapRealtimeTime() {
  rlimit limit{};
  if (getrlimit(RLIMIT_RTTIME, &limit) == 0 && limit.rlim_max != RLIM_INFINITY &&
      limit.rlim_max <= kRealtimeBudgetUs)
    return "";
  limit.rlim_cur = limit.rlim_max = kRealtimeBudgetUs;
  if (setrlimit(RLIMIT_RTTIME, &limit) != 0) return "RealtimeKit: cannot cap RLIMIT_RTTIME";
  return "";
}

// "" when RealtimeKit made the calling thread real-time, else why not.
std::string AskRealtimeKit() {
  if (std::string capped = CapRealtimeTime(); !capped.empty()) return capped;
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected())
    return "RealtimeKit: no system bus (" + bus.lastError().message().toStdString() + ")";
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.RealtimeKit1"), QStringLiteral("/org/freedesktop/RealtimeKit1"),
      QStringLiteral("org.freedesktop.RealtimeKit1"), QStringLiteral("MakeThreadRealtime"));
  call << static_cast<qulonglong>(gettid()) << static_cast<quint32>(kPriority);
  // The answer waits for the reply before its first write; a broker that
  // hangs must not hold it long.
  const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
  if (reply.type() == QDBusMessage::ErrorMessage)
    return "RealtimeKit refused: " + reply.errorMessage().toStdString();
  return "";
}

}  // namespace

std::string RealtimeKitPriority::Raise() {
  std::string own = own_->Raise();
  if (own.empty()) return "";
  const int policy = sched_getscheduler(0);
  if (kitRefusal_.empty()) kitRefusal_ = AskRealtimeKit();
  if (!kitRefusal_.empty()) return own + "; " + kitRefusal_;
  previousPolicy_ = policy < 0 ? SCHED_OTHER : policy;
  viaKit_ = true;
  return "";
}

void RealtimeKitPriority::Restore() {
  own_->Restore();
  if (!viaKit_) return;
  viaKit_ = false;
  sched_param normal{};
  // Leaving a real-time class is always allowed.
  sched_setscheduler(0, previousPolicy_, &normal);
}

}  // namespace quorvane
