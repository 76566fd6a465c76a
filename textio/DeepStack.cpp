#include "textio/DeepStack.h"

#include <pthread.h>

#include <new>

namespace {

// A nesting level takes well under 4 KiB of stack, sanitizers included.
constexpr std::size_t kStackBytes = std::size_t{64} << 20;
// Levels that any caller's stack has room for.
constexpr std::size_t kShallowLevels = 1000;

struct TJob {
  const std::function<void()>* Work;
  bool Done = false;
};

// Running out of memory ends the work like a thread that cannot start: no
// exception may leave a thread of its own, and the reader says so instead.
bool RunCatchingNoMemory(const std::function<void()>& work) {
  try {
    work();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void* RunJob(void* job) {
  auto* running = static_cast<TJob*>(job);
  running->Done = RunCatchingNoMemory(*running->Work);
  return nullptr;
}

}  // namespace

// A plain thread: a Qt thread would also set up an event dispatcher, which
// costs more than reading a formula of thousands of entries.
bool RunOnDeepStack(std::size_t levels, const std::function<void()>& work) {
  if (levels <= kShallowLevels) return RunCatchingNoMemory(work);
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  TJob job{&work};
  pthread_t thread;
  const bool started = pthread_attr_setstacksize(&attributes, kStackBytes) == 0 &&
                       pthread_create(&thread, &attributes, RunJob, &job) == 0;
  pthread_attr_destroy(&attributes);
  return started && pthread_join(thread, nullptr) == 0 && job.Done;
}
