#include "bench/benchmark/scheduling_grant.h"

#include <sys/resource.h>
#include <unistd.h>

#include <utility>

namespace quorvane::bench {

namespace {

// Root without CAP_SYS_NICE: a real-time class only within RLIMIT_RTPRIO,
// as for any user. setpriv drops it from the bounding set, so the program
// executed next never has it.
std::vector<std::string> WithoutNice(std::vector<std::string> wrapper) {
  for (const char* word : {"setpriv", "--inh-caps=-sys_nice", "--bounding-set=-sys_nice", "--"})
    wrapper.emplace_back(word);
  return wrapper;
}

}  // namespace

std::vector<std::string> AsAnOrdinaryUser() {
  if (::geteuid() != 0) return {};
  return WithoutNice({"prlimit", "--rtprio=0:0", "--"});
}

std::vector<std::string> AsTheService() {
  // The unit's LimitRTPRIO=1 and LimitRTTIME=100ms. The hard limit can be
  // raised only with CAP_SYS_RESOURCE (here, in the benchmark itself, whose
  // limits its children inherit); without it, none is set (see
  // ServiceGrantNote).
  rlimit limit{};
  if (::getrlimit(RLIMIT_RTPRIO, &limit) != 0) return {};
  if (limit.rlim_max < 1) {
    const rlimit raised{limit.rlim_cur, 1};
    if (::setrlimit(RLIMIT_RTPRIO, &raised) != 0) return {};
  }
  std::vector<std::string> wrapper{"prlimit", "--rtprio=1:1", "--rttime=100000:100000", "--"};
  return ::geteuid() == 0 ? WithoutNice(std::move(wrapper)) : wrapper;
}

std::string ServiceGrantNote(const std::vector<std::string>& wrapper) {
  if (!wrapper.empty()) return "";
  if (::geteuid() == 0)
    return "LimitRTPRIO=1 could not be set here (no CAP_SYS_RESOURCE): the service's program ran as root "
           "and took the same class, SCHED_FIFO 1, by CAP_SYS_NICE";
  return "LimitRTPRIO=1 could not be set here (a hard limit of 0, not root): the service's program ran "
         "with the benchmark's limits";
}

std::string ClassAnswered(const std::string& standardError, bool windows) {
  const std::string told = "answering in the normal scheduling class: ";
  const auto at = standardError.find(told);
  if (at == std::string::npos) return windows ? "time-critical thread priority" : "real-time";
  const auto end = standardError.find('\n', at);
  return "normal (" + standardError.substr(at + told.size(), end - at - told.size()) + ")";
}

}  // namespace quorvane::bench
