// The reader: builds a fresh tree and hands it over only when the whole
// document has been read, so a damaged file never leaves half a formula.
#include <cmath>
#include <memory>
#include <new>
#include <utility>

#include "docfile/ByteStream.h"
#include "docfile/DocFile.h"
#include "model/BlockBudget.h"

namespace {

// The reader goes through the bytes twice. The first pass checks the whole
// document and counts the record blocks its tree will hold, allocating
// nothing, so that a damaged or too large document is refused before any of
// it is built; the second pass builds it.
enum class TPass { Check, Build };

class TDocumentDecoder {
 public:
  TDocumentDecoder(std::span<const std::uint8_t> bytes, TEntryCursor* cursor, TLayoutImage layout,
                   TPass pass)
      : in_(bytes),
        cursor_(cursor),
        layout_(layout),
        imageBytes_(RecordImageBytes(layout)),
        building_(pass == TPass::Build) {}
  ~TDocumentDecoder() { freetheline(root_); }
  TDocumentDecoder(const TDocumentDecoder&) = delete;
  TDocumentDecoder& operator=(const TDocumentDecoder&) = delete;

  const std::string& Error() const { return error_; }
  TFormulaLine* ReleaseRoot() { return std::exchange(root_, nullptr); }

  bool ReadDocument(TDocument& document) {
    return ReadLine(root_, 0) && ReadFont(document.Font) &&
           ReadColorAndMargin(document.Background, document.Margin);
  }

 private:
  // The new sequence goes into `slot` at once, so that whatever has been
  // read is always one tree that a single freetheline releases.
  bool ReadLine(TFormulaLine*& slot, int depth) {
    std::uint32_t presence = 0;
    if (!in_.U32(presence)) return Fail(kReadBeyondEnd);
    if (presence == 0) return true;
    if (depth > kMaxNestingDepth) return Fail(kTooDeep);
    std::int32_t count = 0;
    // The writer never writes a negative count: such a file is damaged.
    if (!in_.I32(count) || count < 0) return Fail(kReadBeyondEnd);
    // A count the rest of the file cannot hold is refused before anything
    // grows, so a forged count costs neither memory nor time.
    // The smallest entry block: the record image and two empty texts.
    if (static_cast<std::size_t>(count) > in_.Remaining() / (imageBytes_ + 8)) {
      return Fail(kReadBeyondEnd);
    }
    if (!budget_.TakeSequence(static_cast<std::uint32_t>(count))) return Fail(kTooManyBlocks);
    if (building_ && !MakeLine(slot, static_cast<std::uint32_t>(count))) return false;
    for (std::int32_t i = 0; i < count; ++i) {
      if (!ReadEntry(slot, depth)) return false;
    }
    return true;
  }

  // The whole block at once: growing it step by step would copy a long
  // line over and over.
  bool MakeLine(TFormulaLine*& slot, std::uint32_t count) {
    slot = CreateLine(cursor_);
    if (slot == nullptr || !slot->Reserve(count)) return Fail(kOutOfMemory);
    return true;
  }

  bool ReadFont(TStoredFont& font) {
    std::uint8_t nameBytes = 0;
    if (!in_.U8(font.Charset) || !in_.U32(font.Color) || !in_.U8(nameBytes) ||
        !in_.Bytes(nameBytes, font.Name) || !in_.U8(font.Pitch) || !in_.I32(font.PixelsPerInch) ||
        !in_.I32(font.Size) || !in_.U8(font.Style)) {
      return Fail(kReadBeyondEnd);
    }
    if (font.Name.size() > kMaxFaceNameBytes) font.Name.resize(kMaxFaceNameBytes);
    return StoredFontDrawable(font) || Fail(kReadBeyondEnd);
  }

  bool ReadColorAndMargin(std::uint32_t& background, double& margin) {
    if (!in_.U32(background) || !in_.F64(margin)) return Fail(kReadBeyondEnd);
    return std::isfinite(margin) || Fail(kReadBeyondEnd);
  }

  // The first pass reads each record into a scratch entry: nothing of it is kept.
  bool ReadEntry(TFormulaLine* line, int depth) {
    TFormulaEntry scratch{};
    TFormulaEntry* entry = building_ ? AsEntry(line->Append()) : &scratch;
    if (entry == nullptr) return Fail(kOutOfMemory);
    if (!ReadRecordImage(*entry) || !ReadText(entry->Text1) || !ReadText(entry->Text2)) {
      return false;
    }
    // Only the value 1 announces sub-sequences; the entry stays where it is
    // while they are read, since they live in storage of their own.
    if (entry->IsFunction != 1) return true;
    return ReadLine(entry->First, depth + 1) && ReadLine(entry->Second, depth + 1);
  }

  // Texts and sub-sequences come from the blocks that follow, not from the slots.
  bool ReadRecordImage(TFormulaEntry& entry) {
    std::uint32_t slots[4];
    if (in_.Remaining() < imageBytes_) return Fail(kReadBeyondEnd);
    in_.U32(entry.IsFunction);
    in_.U32(entry.Kind);
    for (std::uint32_t& slot : slots) in_.U32(slot);
    if (layout_ == TLayoutImage::AsLaidOut) {
      for (const auto field : kLayoutFields) in_.I32(entry.*field);
    }
    return true;
  }

  bool ReadText(std::u16string*& slot) {
    std::int32_t length = 0;
    if (!in_.I32(length)) return Fail(kReadBeyondEnd);
    if (length <= 0) return true;
    const auto units = static_cast<std::size_t>(length);
    if (!building_) return in_.Skip(2 * std::uint64_t{units}) || Fail(kReadBeyondEnd);
    auto text = std::make_unique<std::u16string>();
    if (!in_.Utf16(units, *text)) return Fail(kReadBeyondEnd);
    slot = text.release();
    return true;
  }

  bool Fail(const char* message) {
    error_ = message;
    return false;
  }

  TByteReader in_;
  TEntryCursor* cursor_;
  TLayoutImage layout_;
  std::size_t imageBytes_;
  bool building_;
  TBlockBudget budget_;
  TFormulaLine* root_ = nullptr;  // owned until handed over
  std::string error_;
};

}  // namespace

bool CommitDocument(TEntryCursor* cursor, TDocument& out, std::string& error,
                    const std::function<bool(TDocument& fresh, std::string& error)>& build) {
  const TEntryCursor cursorBefore = *cursor;
  TDocument fresh;
  bool built = false;
  try {
    built = build(fresh, error);
  } catch (const std::bad_alloc&) {
    error = kOutOfMemory;
  }
  if (!built) {
    // Releasing the partial tree left the cursor in it; the open document's
    // own tree is still the one it belongs to.
    *cursor = cursorBefore;
    return false;
  }
  out.Release();
  out = fresh;
  return true;
}

bool DecodeDocument(std::span<const std::uint8_t> bytes, TEntryCursor* cursor, TDocument& out,
                    std::string& error, TLayoutImage layout) {
  return CommitDocument(cursor, out, error, [&](TDocument& fresh, std::string& message) {
    for (const TPass pass : {TPass::Check, TPass::Build}) {
      TDocumentDecoder decoder(bytes, cursor, layout, pass);
      if (!decoder.ReadDocument(fresh)) {
        message = decoder.Error();
        return false;
      }
      fresh.Root = decoder.ReleaseRoot();
    }
    return true;
  });
}
