#pragma once
// Processor seconds, user and system, of the process (RUSAGE_SELF) or of
// its children that ended (RUSAGE_CHILDREN): on a machine shared with
// other work the wall clock measures the neighbours too.

#include <sys/resource.h>

namespace kowaki::bench {

inline double ProcessorSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace kowaki::bench
