// The pictures of a render call, made on every core and written together.
// Painting needs a QGuiApplication (TGuiSession) for the whole batch.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "docfile/DocFile.h"
#include "export/Export.h"

// One picture to make: the document and where and how its picture goes.
// The document's owner, when given, is let go as soon as the picture is
// made, on the thread that made it, so that freeing the documents is not
// left to the end of the batch on one thread.
struct TRenderJob {
  TDocument* Document = nullptr;
  TEntryCursor* Cursor = nullptr;
  std::string PicturePath;
  TExportOptions Options;
  std::shared_ptr<void> Owner;
};

// The pictures of one render call. Each job is painted and encoded as soon
// as it is added, on every core, while the caller still reads the documents
// of the next; each picture's file is staged as soon as it is made. Finish
// then writes them all so that a crash at any moment leaves every target
// with its old content or its complete new one, at the cost of one sync for
// the whole batch instead of one per picture.
class TRenderBatch {
 public:
  // At most `capacity` jobs are added; `report` gets the path and message of
  // each picture not made, then of each not written, each in the order of
  // the jobs.
  TRenderBatch(std::size_t capacity, TWriteReport report);
  ~TRenderBatch();
  TRenderBatch(const TRenderBatch&) = delete;
  TRenderBatch& operator=(const TRenderBatch&) = delete;

  // The job's document must stay as it is until Finish, or, when the job
  // owns it, until the job lets it go.
  void Add(TRenderJob job);
  // Waits for every picture (the calling thread paints too), writes them
  // and reports; false when one was not made or not written.
  bool Finish();

 private:
  struct TWork;
  void Close();

  std::unique_ptr<TWork> work_;
  TWriteReport report_;
  std::vector<std::thread> workers_;
  bool workersStarted_ = false;
};
