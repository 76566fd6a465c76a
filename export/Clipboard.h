// What "In die Zwischenablage kopieren" offers: the picture in every form a
// receiving program may take, and the document itself for the editor.
#pragma once

#include <QMimeData>
#include <memory>
#include <string>

#include "export/Export.h"

inline constexpr const char* kDocumentMimeType = "application/x-quillmora";

// In this order: the bitmap as an image, a PNG and an SVG that carry the
// document, and the .qmt bytes (when the picture has a document). The caller
// hands it to the clipboard, which takes it over.
std::unique_ptr<QMimeData> MakeClipboardData(const TPicture& picture, std::string& error);
