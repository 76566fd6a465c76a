// The pictures of a render call, made on every core and written together.
// Painting needs a QGuiApplication (TGuiSession) for the whole batch.
#pragma once

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

// Paints and encodes every job on every core, each picture's file staged
// as soon as it is made, then writes them all so that a crash at any moment
// leaves every target with its old content or its complete new one, at the
// cost of one sync for the whole batch instead of one per picture. `report`
// gets the path and message of each picture not made, then of each not
// written, each in the order of the jobs; false when there is one.
bool RenderAndWritePictures(const std::vector<TRenderJob>& jobs, const TWriteReport& report);
