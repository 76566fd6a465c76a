// An event handler that fails outside the main window's own boundary (in a
// dialog, say) ends that one event: the user is told, and the program and
// its objects go on. (Widget input events take the same way through the
// application; unwinding through Qt's input handling leaks the event's few
// bytes, which a failure may cost but a test may not.)
#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/DynaArray.h"
#include "ui/EventBoundary.h"

namespace {

// An object whose own events fail the way the given work does.
class TFailingObject : public QObject {
 public:
  std::function<void()> Fail;
  int Events = 0;

 protected:
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    ++Events;
    Fail();
    return true;
  }
};

struct TFailureCase {
  const char* What;
  std::function<void()> Fail;
  std::string Told;
};

const std::vector<TFailureCase>& Cases() {
  static const std::vector<TFailureCase> cases = {
      {"running out of memory gives the memory message", [] { throw std::bad_alloc(); },
       kNoMemoryText},
      {"any other failure gives its own text",
       [] { throw std::runtime_error("Platte voll"); },
       "Der Befehl konnte nicht ausgeführt werden: Platte voll"},
      {"a failure that is no exception class still ends only the event", [] { throw 7; },
       "Der Befehl konnte nicht ausgeführt werden."},
  };
  return cases;
}

}  // namespace

class EventBoundaryTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    told_.clear();
    SetAllocFailureReporter([this](const std::string& message) { told_.push_back(message); });
  }
  void cleanup() { SetAllocFailureReporter(nullptr); }

  // A handler that fails is caught around the event it serves; the object
  // takes the next event as if nothing had happened.
  void aFailingHandlerEndsOnlyItsEvent() {
    for (const TFailureCase& c : Cases()) {
      told_.clear();
      TFailingObject object;
      object.Fail = c.Fail;
      QEvent first(QEvent::User);
      QEvent second(QEvent::User);
      QCoreApplication::sendEvent(&object, &first);
      QCoreApplication::sendEvent(&object, &second);
      QCOMPARE(object.Events, 2);
      QVERIFY2(told_ == std::vector<std::string>(2, c.Told), c.What);
    }
  }

 private:
  std::vector<std::string> told_;
};

int main(int argc, char** argv) {
  TGuardedApplication app(argc, argv);
  EventBoundaryTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "EventBoundaryTest.moc"
