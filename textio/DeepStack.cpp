#include "textio/DeepStack.h"

#include <QThread>
#include <memory>

namespace {

// A nesting level takes well under 4 KiB of stack, sanitizers included.
constexpr uint kStackBytes = 64u << 20;

}  // namespace

void RunOnDeepStack(const std::function<void()>& work) {
  std::unique_ptr<QThread> thread(QThread::create(work));
  thread->setStackSize(kStackBytes);
  thread->start();
  thread->wait();
}
