#include "ui/EventBoundary.h"

#include <new>
#include <string>

#include "model/DynaArray.h"

namespace {

std::string FailureText(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return kNoMemoryText;
  } catch (const std::exception& e) {
    return "Der Befehl konnte nicht ausgeführt werden: " + std::string(e.what());
  } catch (...) {
    return "Der Befehl konnte nicht ausgeführt werden.";
  }
}

}  // namespace

// The message goes where the allocation messages go; without memory even
// for that, nothing more can be done.
void TellOfFailure(const std::exception_ptr& failure) noexcept {
  try {
    ReportFailureText(FailureText(failure));
  } catch (...) {  // NOLINT(bugprone-empty-catch)
  }
}

bool TGuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    TellOfFailure(std::current_exception());
    return false;
  }
}
