#include "tools/RenderBatch.h"

#include <QByteArray>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <span>
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

// As many workers as can be started, up to `wanted`; the caller's thread
// works too, so none at all still makes every picture.
void StartWorkers(std::vector<std::thread>& workers, std::size_t wanted,
                  const std::function<void()>& work) {
  try {
    while (workers.size() < wanted) workers.emplace_back(work);
  } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch): fewer workers will do
  }
}

// Every job on every core; the results in the order of the jobs. Pictures
// are independent: each has its own tree; each thread paints them on a
// canvas of its own, as the editor paints on one.
std::vector<TRenderResult> RenderPictures(const std::vector<TRenderJob>& jobs, TWriteBatch& batch) {
  // Made once here, before the threads read them: the application's font
  // and palette (the system colours a document may name).
  (void)QGuiApplication::font();
  (void)QGuiApplication::palette();
  std::vector<TRenderResult> results(jobs.size());
  // No jobs, no workers (one less than none would be all there can be).
  if (jobs.empty()) return results;
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    std::unique_ptr<TQImageCanvas> canvas;
    for (std::size_t i = next++; i < jobs.size(); i = next++)
      RenderOne(jobs[i], i, results[i], batch, canvas);
  };
  const std::size_t threads =
      std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), jobs.size());
  std::vector<std::thread> workers;
  workers.reserve(threads);
  StartWorkers(workers, threads - 1, work);
  work();
  for (std::thread& worker : workers) worker.join();
  for (TRenderResult& result : results) {
    if (result.Failure) result.Error = FailureText(std::exchange(result.Failure, nullptr));
  }
  return results;
}

}  // namespace

bool RenderAndWritePictures(const std::vector<TRenderJob>& jobs, const TWriteReport& report) {
  TWriteBatch batch(jobs.size());
  const std::vector<TRenderResult> results = RenderPictures(jobs, batch);
  bool all = true;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (results[i].Error.empty()) continue;
    report(jobs[i].PicturePath, results[i].Error);
    all = false;
  }
  return batch.Finish(report) && all;
}
