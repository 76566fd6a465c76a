#include "textio/DeepStack.h"

#include <QThread>
#include <memory>

namespace {

// A nesting level takes well under 4 KiB of stack, sanitizers included.
constexpr uint kStackBytes = 64u << 20;
// Levels that any caller's stack has room for.
constexpr std::size_t kShallowLevels = 1000;

}  // namespace

void RunOnDeepStack(std::size_t levels, const std::function<void()>& work) {
  if (levels <= kShallowLevels) return work();
  std::unique_ptr<QThread> thread(QThread::create(work));
  thread->setStackSize(kStackBytes);
  thread->start();
  thread->wait();
}
