#include "tools/RenderBatch.h"

#include <QByteArray>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "docfile/SafeWrite.h"
#include "tools/CliPaint.h"

namespace {

constexpr const char* kOutOfMemory = "Nicht genug Arbeitsspeicher für das Bild.";
constexpr const char* kPaintFailed = "Das Bild konnte nicht erstellt werden.";

// What a job made: the picture file's bytes, or the message why not.
struct TRenderResult {
  QByteArray Bytes;
  std::string Error;
  // While the batch runs: the failure a worker carries back, turned into
  // Error on the calling thread.
  std::exception_ptr Failure;
};

// Paints on the thread's canvas and encodes the picture and stages its
// file, so that the kernel's work of writing it overlaps the painting of
// others. The picture carries the document as it was read, before the
// paint filled in its layout fields. No exception may leave a worker
// thread: any failure is carried back with the result, and the canvas it
// may have left half-painted is replaced.
void RenderOne(const TRenderJob& job, std::size_t slot, TRenderResult& result, TWriteBatch& batch,
               std::unique_ptr<TQImageCanvas>& canvas) {
  try {
    std::vector<std::uint8_t> document = EncodeDocument(*job.Document);
    if (canvas == nullptr) canvas = std::make_unique<TQImageCanvas>();
    TPicture picture = PaintAsEditor(*canvas, *job.Document, job.Cursor);
    picture.Document = std::move(document);
    if (!EncodePicture(picture, job.Options, result.Bytes, result.Error)) {
      result.Bytes.clear();
      return;
    }
    batch.Stage(slot, job.PicturePath,
                {reinterpret_cast<const std::uint8_t*>(result.Bytes.constData()),
                 static_cast<std::size_t>(result.Bytes.size())});
  } catch (...) {
    result = {QByteArray(), std::string(), std::current_exception()};
    canvas.reset();
  }
}

// The message for a failure carried back from a worker, made on the
// calling thread.
std::string FailureText(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (const std::exception& e) {
    return std::string(kPaintFailed) + " (" + e.what() + ")";
  } catch (...) {
    return kPaintFailed;
  }
}

}  // namespace

struct TRenderBatch::TWork {
  explicit TWork(std::size_t capacity) : Jobs(capacity), Results(capacity), Writes(capacity) {}

  std::vector<TRenderJob> Jobs;  // the first Added of them
  std::vector<TRenderResult> Results;
  TWriteBatch Writes;
  std::mutex Mutex;
  std::condition_variable Waiting;
  std::size_t Added = 0;  // under Mutex, as are the two below
  std::size_t Next = 0;
  bool Closed = false;

  // Takes jobs as they come until the batch is closed and none is left.
  void Work() noexcept {
    std::unique_ptr<TQImageCanvas> canvas;
    for (;;) {
      std::size_t job = 0;
      try {
        std::unique_lock lock(Mutex);
        Waiting.wait(lock, [this] { return Next < Added || Closed; });
        if (Next == Added) return;
        job = Next++;
      } catch (const std::system_error&) {  // a lock that fails: the calling thread does the rest
        return;
      }
      RenderOne(Jobs[job], job, Results[job], Writes, canvas);
      Jobs[job].Document = nullptr;
      Jobs[job].Cursor = nullptr;
      Jobs[job].Owner.reset();
    }
  }
};

TRenderBatch::TRenderBatch(std::size_t capacity, TWriteReport report)
    : work_(std::make_unique<TWork>(capacity)), report_(std::move(report)) {
  // Made once here, before the threads read them: the application's font
  // and palette (the system colours a document may name).
  (void)QGuiApplication::font();
  (void)QGuiApplication::palette();
}

// Left without Finish (an exception while adding): the jobs not yet taken
// are dropped, the workers end their current one.
TRenderBatch::~TRenderBatch() {
  {
    const std::lock_guard lock(work_->Mutex);
    work_->Closed = true;
    work_->Next = work_->Added;
  }
  work_->Waiting.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

// Workers start with the first job: a call whose documents all fail starts
// none. As many as can be started, up to one less than the cores (the
// calling thread works too once it has added every job).
void TRenderBatch::Add(TRenderJob job) {
  {
    const std::lock_guard lock(work_->Mutex);
    if (work_->Added == work_->Jobs.size()) throw std::length_error("render batch full");
    work_->Jobs[work_->Added] = std::move(job);
    ++work_->Added;
  }
  work_->Waiting.notify_one();
  if (workersStarted_) return;
  workersStarted_ = true;
  const std::size_t threads =
      std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), work_->Jobs.size());
  try {
    while (workers_.size() + 1 < threads) workers_.emplace_back([this] { work_->Work(); });
  } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch): fewer workers will do
  }
}

void TRenderBatch::Close() {
  {
    const std::lock_guard lock(work_->Mutex);
    work_->Closed = true;
  }
  work_->Waiting.notify_all();
  work_->Work();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}

bool TRenderBatch::Finish() {
  Close();
  bool all = true;
  for (std::size_t i = 0; i < work_->Added; ++i) {
    TRenderResult& result = work_->Results[i];
    if (result.Failure) result.Error = FailureText(std::exchange(result.Failure, nullptr));
    if (result.Error.empty()) continue;
    report_(work_->Jobs[i].PicturePath, result.Error);
    all = false;
  }
  return work_->Writes.Finish(report_) && all;
}
