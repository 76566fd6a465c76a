// Running out of memory at any allocation of the program's own code, one at a
// time: the Nth allocation fails, for every N, while the window opens the
// start-up document, pastes a LaTeX formula, undoes, redoes and paints. Each
// run ends with the message or with success, and the document is either as
// it was or as the command makes it. The sanitizers report a leak or a
// use after free of any of these runs when the executable ends.
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include "tests/ui/Program.h"
#include "ui/ProgramSettings.h"

// The program's own code is this executable; Qt's and the C++ library's
// are shared libraries, whose allocations are left alone: they are not ours
// to make safe.
extern "C" char __executable_start;  // NOLINT: set by the linker
extern "C" char etext;               // NOLINT: set by the linker

namespace {

// Allocations left before the one that fails; negative: none fails.
std::atomic<long> gLeft{-1};
std::atomic<bool> gFailed{false};

bool FromOwnCode(const void* caller) {
  const auto* at = static_cast<const char*>(caller);
  return at >= &__executable_start && at < &etext;
}

bool FailsNow(const void* caller) {
  if (gLeft.load(std::memory_order_relaxed) < 0 || !FromOwnCode(caller)) return false;
  if (gLeft.fetch_sub(1) != 0) return false;
  gFailed = true;
  return true;
}

void* Allocate(std::size_t bytes, const void* caller) {
  if (FailsNow(caller)) return nullptr;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void* AllocateOrThrow(std::size_t bytes, const void* caller) {
  void* block = Allocate(bytes, caller);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

// Record blocks come from the same count.
void* AllocateBlock(std::size_t bytes) {
  if (FailsNow(reinterpret_cast<const void*>(&AllocateBlock))) return nullptr;
  return std::calloc(1, bytes);
}

}  // namespace

void* operator new(std::size_t bytes) {
  return AllocateOrThrow(bytes, __builtin_return_address(0));
}
void* operator new[](std::size_t bytes) {
  return AllocateOrThrow(bytes, __builtin_return_address(0));
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  return Allocate(bytes, __builtin_return_address(0));
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  return Allocate(bytes, __builtin_return_address(0));
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

using namespace DialogDriver;

namespace {

// Counting stops while the test itself looks at what happened.
class TNoFailure {
 public:
  TNoFailure() : left_(gLeft.exchange(-1)) {}
  ~TNoFailure() { gLeft = left_; }
  TNoFailure(const TNoFailure&) = delete;
  TNoFailure& operator=(const TNoFailure&) = delete;

 private:
  long left_;
};

// Every message the user gets: those of the record arrays and of the
// boundary, and the message boxes, which it closes at once.
class TMessages : public QObject {
 public:
  int Count = 0;
  QStringList Texts;

  TMessages() {
    SetAllocFailureReporter([this](const std::string& text) {
      const TNoFailure pause;
      Note(QString::fromStdString(text));
    });
    qApp->installEventFilter(this);
  }
  ~TMessages() override {
    SetAllocFailureReporter([](const std::string&) {});
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = qobject_cast<QMessageBox*>(watched);
    if (box != nullptr && event->type() == QEvent::Show) {
      const TNoFailure pause;
      Note(box->text());
      QMetaObject::invokeMethod(box, &QDialog::reject, Qt::QueuedConnection);
    }
    return false;
  }

  void Note(const QString& text) {
    ++Count;
    const TNoFailure pause;
    if (Texts.size() < 5) Texts << text;
  }
};

struct TCommand {
  const char* Name;
  std::function<void(TMainForm&)> Run;
  // Brings the document back to where it was before a run that succeeded;
  // none for a paint, which changes no document and ends with its picture
  // or the message.
  std::function<void(TMainForm&)> Revert;
};

void Paste(TMainForm& main) { main.PasteAction->trigger(); }
void Undo(TMainForm& main) { main.UndoAction->trigger(); }
void Redo(TMainForm& main) { main.RedoAction->trigger(); }
void New(TMainForm& main) { main.NewBtn->click(); }
void Paint(TMainForm& main) { main.PaintBox1->repaint(); }

}  // namespace

class AllocationFailureTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  // Runs `command` with the Nth allocation failing, for N from 0 until a run
  // passes all its allocations. Returns the number of runs.
  int FailEachAllocationOf(TMainForm& main, const TCommand& command, TMessages& messages) {
    const TDocumentState before = main.CurrentState();
    const QString nameBefore = main.FileName;
    command.Run(main);
    const TDocumentState after = main.CurrentState();
    const QString nameAfter = main.FileName;
    if (command.Revert) command.Revert(main);
    if (!(main.CurrentState() == before)) {
      Problems() << QString("%1: cannot be taken back").arg(command.Name);
      return 0;
    }
    const QImage picture = SettledPicture(main);
    for (long n = 0; n < 100000; ++n) {
      main.statusBar()->clearMessage();
      const int told = messages.Count;
      gFailed = false;
      gLeft = n;
      command.Run(main);
      gLeft = -1;
      if (!gFailed) return static_cast<int>(n);
      QCoreApplication::processEvents();
      const TDocumentState now = main.CurrentState();
      // The file name goes with the document it names.
      const bool unchanged = now == before && main.FileName == nameBefore;
      const bool whole = now == after && main.FileName == nameAfter;
      const bool toldOrDone = messages.Count > told || (whole && !unchanged) ||
                              (!command.Revert && SettledPicture(main) == picture);
      if ((!unchanged && !whole) || !toldOrDone) {
        Problems() << QString("%1, allocation %2 failing: %3 %4")
                          .arg(command.Name)
                          .arg(n)
                          .arg(unchanged ? "unchanged"
                               : whole   ? "changed"
                                         : "half changed")
                          .arg(toldOrDone ? "" : "without a message");
        return static_cast<int>(n);
      }
      if (whole && !unchanged && command.Revert) command.Revert(main);
      // A paint that failed is told once; the next one starts afresh.
      Paint(main);
    }
    Problems() << QString("%1 never ran to its end").arg(command.Name);
    return 0;
  }

 private slots:
  void everyAllocationMayFailAndOnlyTheCommandEnds() {
    KeepNoSettings();
    TMessages messages;
    SetBlockAllocator(AllocateBlock, std::free);
    {
      TProgram program;
      TMainForm& main = program.MainForm;
      main.show();
      QVERIFY(QTest::qWaitForWindowExposed(&main));
      SettledPicture(main);
      const QString startUp = dir_.filePath("start.qmt");
      QFile file(startUp);
      const std::vector<std::uint8_t> bytes = main.DocumentBytes();
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
      file.close();
      // The readers tell of their own failures in the status bar.
      QObject::connect(main.statusBar(), &QStatusBar::messageChanged, &messages,
                       [&messages](const QString& text) {
                         if (!text.isEmpty()) messages.Note(text);
                       });
      New(main);
      QGuiApplication::clipboard()->setText("\\frac{1}{x^2} + \\sqrt[3]{y} - \\int_0^1 t\\,dt");

      const auto open = [startUp](TMainForm& form) {
        form.OpenFromOutside(startUp);
        QCoreApplication::sendPostedEvents(&form, QEvent::MetaCall);
      };
      const TCommand commands[] = {
          {"opening the start-up document", open, New},
          {"pasting a LaTeX formula", Paste, Undo},
          {"undo", Undo, Redo},
          {"redo", Redo, Undo},
          {"a paint", Paint, nullptr},
      };
      QElapsedTimer clock;
      clock.start();
      // Each command starts from the document the one before made in its
      // last run, the one without a failure.
      for (const TCommand& command : commands) {
        const int runs = FailEachAllocationOf(main, command, messages);
        qInfo("%s: %d allocations", command.Name, runs);
        QVERIFY2(runs > 0 && Problems().isEmpty(), qPrintable(Problems().join("; ")));
      }
      qInfo("all runs: %lld ms, %d messages", static_cast<long long>(clock.elapsed()),
            messages.Count);
      QVERIFY(messages.Count > 0);
      main.Changed = false;
    }
    ResetBlockAllocator();
    QM_VERIFY_NO_PROBLEMS();
  }
};

QTEST_MAIN(AllocationFailureTest)
#include "AllocationFailureTest.moc"
