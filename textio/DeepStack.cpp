#include "textio/DeepStack.h"

#include <pthread.h>

#include <exception>
#include <new>

namespace {

// A nesting level takes well under 4 KiB of stack, sanitizers included.
constexpr std::size_t kStackBytes = std::size_t{64} << 20;
// Levels that any caller's stack has room for.
constexpr std::size_t kShallowLevels = 1000;

struct TJob {
  const std::function<void()>* Work;
  bool Done = false;
  // Any other failure of the work, carried back to the caller's thread.
  std::exception_ptr Failure;
};

// Running out of memory ends the work like a thread that cannot start, and
// the reader says so. Any other failure goes to the caller as it is, on
// whichever thread the work ran: no exception may leave a thread of its own.
void RunCatching(TJob& job) {
  try {
    (*job.Work)();
    job.Done = true;
  } catch (const std::bad_alloc&) {
    job.Done = false;
  } catch (...) {
    job.Failure = std::current_exception();
  }
}

void* RunJob(void* job) {
  RunCatching(*static_cast<TJob*>(job));
  return nullptr;
}

bool StartAndJoin(TJob& job) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_t thread;
  const bool started = pthread_attr_setstacksize(&attributes, kStackBytes) == 0 &&
                       pthread_create(&thread, &attributes, RunJob, &job) == 0;
  pthread_attr_destroy(&attributes);
  return started && pthread_join(thread, nullptr) == 0;
}

}  // namespace

// A plain thread: a Qt thread would also set up an event dispatcher, which
// costs more than reading a formula of thousands of entries.
bool RunOnDeepStack(std::size_t levels, const std::function<void()>& work) {
  TJob job{&work, false, nullptr};
  if (levels <= kShallowLevels) {
    RunCatching(job);
  } else if (!StartAndJoin(job)) {
    return false;
  }
  if (job.Failure) std::rethrow_exception(job.Failure);
  return job.Done;
}
