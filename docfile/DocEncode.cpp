// The writer: the whole document into memory, so that the file gets it in
// one write.
#include <algorithm>
#include <cmath>

#include "docfile/ByteStream.h"
#include "docfile/DocFile.h"
#include "model/BlockBudget.h"

namespace {

class TDocumentEncoder {
 public:
  TDocumentEncoder(std::vector<std::uint8_t>& out, TLayoutImage layout)
      : out_(out), layout_(layout) {}

  // Reads entries by index, so the shared cursor of the open tree stays where it is.
  void WriteLine(const TFormulaLine* line) {
    if (line == nullptr) {
      out_.U32(0);
      return;
    }
    out_.U32(1);
    out_.U32(line->Count());
    for (std::uint32_t i = 0; i < line->Count(); ++i) WriteEntry(*EntryAt(*line, i));
  }

  void WriteFont(const TStoredFont& font) {
    const std::size_t nameBytes = std::min(font.Name.size(), kMaxFaceNameBytes);
    out_.U8(font.Charset);
    out_.U32(font.Color);
    out_.U8(static_cast<std::uint8_t>(nameBytes));
    out_.Bytes(font.Name.data(), nameBytes);
    out_.U8(font.Pitch);
    out_.I32(font.PixelsPerInch);
    out_.I32(font.Size);
    out_.U8(font.Style);
  }

  void WriteColorAndMargin(std::uint32_t background, double margin) {
    out_.U32(background);
    out_.F64(margin);
  }

 private:
  void WriteEntry(const TFormulaEntry& entry) {
    WriteRecordImage(entry);
    WriteText(entry.Text1);
    WriteText(entry.Text2);
    if (entry.IsFunction == 1) {
      WriteLine(entry.First);
      WriteLine(entry.Second);
    }
  }

  // The four pointer slots only say whether something is there.
  void WriteRecordImage(const TFormulaEntry& entry) {
    out_.U32(entry.IsFunction);
    out_.U32(entry.Kind);
    out_.U32(TextOf(entry.Text1).empty() ? 0 : 1);
    out_.U32(TextOf(entry.Text2).empty() ? 0 : 1);
    out_.U32(entry.First != nullptr ? 1 : 0);
    out_.U32(entry.Second != nullptr ? 1 : 0);
    if (layout_ == TLayoutImage::Omitted) return;
    for (const auto field : kLayoutFields) out_.I32(entry.*field);
  }

  void WriteText(const std::u16string* text) {
    const std::u16string_view units = TextOf(text);
    out_.U32(static_cast<std::uint32_t>(units.size()));
    out_.Utf16(units);
  }

  TByteWriter out_;
  TLayoutImage layout_;
};

// Sizes as the encoder above writes them.
constexpr std::uint64_t kAbsentLineBytes = 4;
constexpr std::uint64_t kLineHeadBytes = 8;
constexpr std::uint64_t kTextLengthBytes = 4;
constexpr std::uint64_t kFontFixedBytes = 16;
constexpr std::uint64_t kColorAndMarginBytes = 12;

// Depth as the reader counts it: the root sequence is 0. Returns false at
// the first present sequence the reader would refuse as too deep. The
// blocks are counted as the reader counts them.
bool MeasureLine(const TFormulaLine* line, int depth, TLayoutImage layout, std::uint64_t& bytes,
                 TBlockBudget& blocks) {
  if (line == nullptr) {
    bytes += kAbsentLineBytes;
    return true;
  }
  if (depth > kMaxNestingDepth) return false;
  bytes += kLineHeadBytes;
  blocks.TakeSequence(line->Count());
  for (std::uint32_t i = 0; i < line->Count(); ++i) {
    const TFormulaEntry& entry = *EntryAt(*line, i);
    bytes += RecordImageBytes(layout) + 2 * kTextLengthBytes +
             2 * (TextOf(entry.Text1).size() + TextOf(entry.Text2).size());
    if (entry.IsFunction == 1 && (!MeasureLine(entry.First, depth + 1, layout, bytes, blocks) ||
                                  !MeasureLine(entry.Second, depth + 1, layout, bytes, blocks))) {
      return false;
    }
  }
  return true;
}

TDocumentMeasure Measure(const TFormulaLine* root, const TStoredFont& font, TLayoutImage layout) {
  TDocumentMeasure measure;
  TBlockBudget blocks;
  measure.TooDeep = !MeasureLine(root, 0, layout, measure.Bytes, blocks);
  measure.TooManyBlocks = blocks.Exhausted();
  measure.Bytes +=
      kFontFixedBytes + std::min(font.Name.size(), kMaxFaceNameBytes) + kColorAndMarginBytes;
  return measure;
}

}  // namespace

TDocumentMeasure MeasureDocument(const TDocument& document) {
  return Measure(document.Root, document.Font, TLayoutImage::AsLaidOut);
}

bool CheckDocumentForWriting(const TDocument& document, std::string& error) {
  const TDocumentMeasure measure = MeasureDocument(document);
  if (measure.TooDeep) {
    error = kTooDeepToSave;
  } else if (measure.Bytes > kMaxDocumentFileBytes || measure.TooManyBlocks) {
    error = kTooLargeToSave;
  } else if (!std::isfinite(document.Margin) || !StoredFontDrawable(document.Font)) {
    error = kNotStorable;
  } else {
    return true;
  }
  return false;
}

std::vector<std::uint8_t> EncodeDocument(const TFormulaLine* root, const TStoredFont& font,
                                         std::uint32_t background, double margin,
                                         TLayoutImage layout) {
  std::vector<std::uint8_t> bytes;
  // One block for the whole file: a long document is not copied as it grows.
  bytes.reserve(static_cast<std::size_t>(Measure(root, font, layout).Bytes));
  TDocumentEncoder encoder(bytes, layout);
  encoder.WriteLine(root);
  encoder.WriteFont(font);
  encoder.WriteColorAndMargin(background, margin);
  return bytes;
}

std::vector<std::uint8_t> EncodeDocument(const TDocument& document) {
  return EncodeDocument(document.Root, document.Font, document.Background, document.Margin);
}
