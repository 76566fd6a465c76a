// The program's last boundary. The main window runs its commands inside a
// boundary of their own, which also puts the document back; an event handler
// that fails anywhere else (inside an editing dialog, say) is caught here,
// so that the failure ends that one event, never the program.
#pragma once

#include <QApplication>
#include <exception>

// Tells the user of a failure nothing handled: the memory message, or the
// failure's own text. Never throws.
void TellOfFailure(const std::exception_ptr& failure) noexcept;

class TGuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override;
};
