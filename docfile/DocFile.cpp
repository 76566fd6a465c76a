#include "docfile/DocFile.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// The size is read as a whole pixel height at the stored resolution and
// then taken back to points. At 72 pixels per inch or more that gives the
// stored size again; below, where a point is less than a pixel, the height
// rounds and the size with it: 1 point at 48 ppi is 1 pixel, that is 2 points.
std::int32_t StoredPointSize(const TStoredFont& stored) {
  const std::int32_t ppi = stored.PixelsPerInch;
  if (ppi <= 0 || ppi >= 72) return stored.Size;
  return PointSizeFromHeight(HeightFromPointSize(stored.Size, ppi), ppi);
}

}  // namespace

bool StoredFontDrawable(const TStoredFont& font) {
  constexpr std::int64_t kLargestHeight = std::numeric_limits<std::int32_t>::max();
  const std::int64_t size = std::llabs(std::int64_t{font.Size});
  return font.PixelsPerInch > 0 && size * kScreenPixelsPerInch / 72 <= kLargestHeight;
}

TFontDesc FontFromStored(const TStoredFont& stored) {
  TFontDesc font;
  font.Name = stored.Name.substr(0, kMaxFaceNameBytes);
  font.Charset = stored.Charset;
  font.Color = stored.Color;
  font.Pitch = stored.Pitch;
  // The point size is kept, not the pixel height: a document saved on a
  // screen of another resolution opens in the same point size.
  font.Height = HeightFromPointSize(StoredPointSize(stored), kScreenPixelsPerInch);
  font.Style = stored.Style;
  return font;
}

TStoredFont StoredFromFont(const TFontDesc& font) {
  TStoredFont stored;
  stored.Charset = font.Charset;
  stored.Color = font.Color;
  stored.Name = font.Name.substr(0, kMaxFaceNameBytes);
  stored.Pitch = font.Pitch;
  stored.PixelsPerInch = kScreenPixelsPerInch;
  stored.Size = PointSizeFromHeight(font.Height, kScreenPixelsPerInch);
  stored.Style = font.Style;
  return stored;
}

void TDocument::Release() {
  freetheline(Root);
  Root = nullptr;
}

TFormulaLine* TDocument::TakeRoot(TEntryCursor* cursor) {
  TFormulaLine* root = Root != nullptr ? Root : CreateLine(cursor);
  Root = nullptr;
  return root;
}

std::int32_t MarginFromStored(double stored) {
  if (std::isnan(stored) || stored <= 0) return 0;
  if (stored >= 1000) return 1000;
  return RoundHalfEven(stored);
}

std::string IoErrorText(int errnum) {
  switch (errnum) {
    case ENOENT:
      return "File not found.";
    case ENOTDIR:
    case ENAMETOOLONG:
      return "Invalid filename.";
    case EMFILE:
    case ENFILE:
      return "Too many open files.";
    case EACCES:
    case EPERM:
    case EROFS:
      return "File access denied.";
    case ENOSPC:
    case EDQUOT:
      return "Disk full.";
    default:
      return "I/O error " + std::to_string(errnum) + ".";
  }
}
