#include "tools/RenderBatch.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <atomic>
#include <new>
#include <span>
#include <thread>

#include "tools/CliPaint.h"

namespace {

constexpr const char* kOutOfMemory = "Nicht genug Arbeitsspeicher für das Bild.";

// The picture carries the document as it was read, before the paint filled
// in its layout fields.
TRenderResult RenderOne(const TRenderJob& job) {
  TRenderResult result;
  try {
    std::vector<std::uint8_t> document = EncodeDocument(*job.Document);
    TPicture picture = PaintAsEditor(*job.Document, job.Cursor);
    picture.Document = std::move(document);
    if (!EncodePicture(picture, job.Options, result.Bytes, result.Error)) result.Bytes.clear();
  } catch (const std::bad_alloc&) {
    result = {QByteArray(), kOutOfMemory};
  }
  return result;
}

}  // namespace

std::vector<TRenderResult> RenderPictures(const std::vector<TRenderJob>& jobs) {
  // Made once here, before the threads read them: the application's font
  // and palette (the system colours a document may name).
  (void)QGuiApplication::font();
  (void)QGuiApplication::palette();
  std::vector<TRenderResult> results(jobs.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < jobs.size(); i = next++) results[i] = RenderOne(jobs[i]);
  };
  const std::size_t threads =
      std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), jobs.size());
  std::vector<std::thread> workers;
  for (std::size_t t = 1; t < threads; ++t) workers.emplace_back(work);
  work();
  for (std::thread& worker : workers) worker.join();
  return results;
}

bool WritePictures(const std::vector<TRenderJob>& jobs, const std::vector<TRenderResult>& results,
                   const TWriteReport& report) {
  bool all = true;
  std::vector<TFileToWrite> files;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const QByteArray& bytes = results[i].Bytes;
    if (results[i].Error.empty()) {
      files.push_back({jobs[i].PicturePath,
                       {reinterpret_cast<const std::uint8_t*>(bytes.data()),
                        static_cast<std::size_t>(bytes.size())}});
    } else {
      report(jobs[i].PicturePath, results[i].Error);
      all = false;
    }
  }
  return WriteFilesTogether(files, report) && all;
}
