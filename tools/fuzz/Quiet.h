// Every fuzz target makes allocations fail on purpose now and then: the
// message the program shows for that would only flood the fuzzer's output.
#pragma once

#include <string>

#include "model/DynaArray.h"

inline void QuietAllocFailures() {
  static const bool quiet = [] {
    SetAllocFailureReporter([](const std::string&) {});
    return true;
  }();
  (void)quiet;
}
