// The pictures of a render call, made on every core and written together.
// Painting needs a QGuiApplication (TGuiSession) for the whole batch.
#pragma once

#include <QByteArray>
#include <exception>
#include <string>
#include <vector>

#include "docfile/DocFile.h"
#include "export/Export.h"

// One picture to make: the document (opened, owned by the caller) and where
// and how its picture goes.
struct TRenderJob {
  TDocument* Document = nullptr;
  TEntryCursor* Cursor = nullptr;
  std::string PicturePath;
  TExportOptions Options;
};

// What a job made: the picture file's bytes, or the message why not.
struct TRenderResult {
  QByteArray Bytes;
  std::string Error;
  // While the batch runs: the failure a worker carries back, turned into
  // Error on the calling thread.
  std::exception_ptr Failure;
};

// Paints and encodes every job, each document on a core of its own; the
// results in the order of the jobs. Pictures are independent: each has its
// own tree, canvas and fonts.
std::vector<TRenderResult> RenderPictures(const std::vector<TRenderJob>& jobs);

// Writes the pictures that were made so that a crash at any moment leaves
// every target with its old content or its complete new one, at the cost of
// one sync for the whole batch instead of one per picture. `report` gets the
// path and message of each picture not made or not written; false when
// there is one.
bool WritePictures(const std::vector<TRenderJob>& jobs, const std::vector<TRenderResult>& results,
                   const TWriteReport& report);
