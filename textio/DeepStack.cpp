#include "textio/DeepStack.h"

#include <pthread.h>

namespace {

// A nesting level takes well under 4 KiB of stack, sanitizers included.
constexpr std::size_t kStackBytes = std::size_t{64} << 20;
// Levels that any caller's stack has room for.
constexpr std::size_t kShallowLevels = 1000;

void* RunWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return nullptr;
}

}  // namespace

// A plain thread: a Qt thread would also set up an event dispatcher, which
// costs more than reading a formula of thousands of entries.
bool RunOnDeepStack(std::size_t levels, const std::function<void()>& work) {
  if (levels <= kShallowLevels) {
    work();
    return true;
  }
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_t thread;
  const bool started =
      pthread_attr_setstacksize(&attributes, kStackBytes) == 0 &&
      pthread_create(&thread, &attributes, RunWork, const_cast<std::function<void()>*>(&work)) == 0;
  pthread_attr_destroy(&attributes);
  return started && pthread_join(thread, nullptr) == 0;
}
