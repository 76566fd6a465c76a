// Reading and writing formula documents (.qmt): the formula tree in
// pre-order, the font block, the background colour and the margin, all
// little-endian, with no header. Plain C++ over bytes and files.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "model/BlockBudget.h"
#include "model/FontDesc.h"
#include "model/FormulaTree.h"

// Font face names are limited to this many ANSI bytes.
inline constexpr std::size_t kMaxFaceNameBytes = 31;

// The font block as a document stores it.
struct TStoredFont {
  std::uint8_t Charset = 0;
  std::uint32_t Color = kWindowTextColor;
  std::string Name = "Microsoft Sans Serif";  // ANSI bytes, at most 31
  std::uint8_t Pitch = 0;
  std::int32_t PixelsPerInch = kScreenPixelsPerInch;
  std::int32_t Size = 10;  // points
  std::uint8_t Style = 0;

  bool operator==(const TStoredFont&) const = default;
};

// Whether the editor could have written this font: a resolution above zero
// and a size whose pixel height fits the 32-bit arithmetic of the picture.
bool StoredFontDrawable(const TStoredFont& font);

// The font as the screen document uses it: same point size at 96 ppi.
TFontDesc FontFromStored(const TStoredFont& stored);
TStoredFont StoredFromFont(const TFontDesc& font);

// A whole document. Owns Root (release it with freetheline, or Release()).
struct TDocument {
  TFormulaLine* Root = nullptr;  // nullptr: the file's root presence word was 0
  TStoredFont Font;
  std::uint32_t Background = kWhite;
  double Margin = 20.0;

  void Release();
  // Hands the tree to the caller; a file without one gives an empty line
  // bound to `cursor`, as the editor always holds a formula.
  TFormulaLine* TakeRoot(TEntryCursor* cursor);
};

// Deeper documents are refused, on reading and by the CLI's build.
inline constexpr int kMaxNestingDepth = 1000;

// Message texts shown to the user.
inline constexpr const char* kCannotCreate = "Die Datei konnte nicht erzeugt werden!";
inline constexpr const char* kCannotOpen = "Die Datei konnte nicht geöffnet werden!";
inline constexpr const char* kReadBeyondEnd = "Read beyond end of file.";
inline constexpr const char* kTooDeep =
    "Die Datei ist zu tief verschachtelt (mehr als 1000 Ebenen).";
inline constexpr const char* kTooLarge = "Die Datei ist zu groß (mehr als 256 MiB).";
inline constexpr const char* kTooLargeToSave =
    "Das Dokument ist zu groß zum Speichern (mehr als 256 MiB).";
inline constexpr const char* kTooDeepToSave =
    "Das Dokument ist zu tief verschachtelt zum Speichern (mehr als 1000 Ebenen).";
inline constexpr const char* kOutOfMemory =
    "Die Datei konnte nicht gelesen werden: nicht genug Arbeitsspeicher.";
// The record blocks of its tree would pass the budget (model/BlockBudget.h).
inline constexpr const char* kTooManyBlocks = kBlockBudgetPassed;
inline constexpr const char* kNotStorable =
    "Das Dokument kann nicht gespeichert werden: sein Rand ist keine Zahl oder seine Schrift "
    "nicht darstellbar.";

// Larger files are refused before anything is allocated for them.
inline constexpr std::uint64_t kMaxDocumentFileBytes = 256ull << 20;

// The ten layout fields in the order of the record image and of the CLI's JSON.
inline constexpr std::array<std::int32_t TFormulaEntry::*, 10> kLayoutFields = {
    &TFormulaEntry::BottomInset, &TFormulaEntry::RightInset,  &TFormulaEntry::LeftInset,
    &TFormulaEntry::TopInset,    &TFormulaEntry::BoxWidth,    &TFormulaEntry::BoxHeight,
    &TFormulaEntry::FirstWidth,  &TFormulaEntry::SecondWidth, &TFormulaEntry::FirstHeight,
    &TFormulaEntry::SecondHeight};

// The system's input/output error text for an errno value, full stop included.
std::string IoErrorText(int errnum);

// Whether the ten layout fields are part of each record image. Files keep
// what the last layout left. Snapshots of the open document (undo) leave them
// out: every paint recomputes them, they would make two equal formulas
// differ, and they are 40 of an entry's 64 bytes. Such bytes are read back
// only with the same choice.
enum class TLayoutImage { AsLaidOut, Omitted };

// The bytes of an entry's record image: six words, then the layout fields
// unless they are left out. Reader and writer both count with it.
constexpr std::size_t RecordImageBytes(TLayoutImage layout) {
  return 4 * (6 + (layout == TLayoutImage::AsLaidOut ? kLayoutFields.size() : 0));
}

// Serialises a document; `root` may be nullptr (written as presence word 0).
// A face name longer than 31 bytes is cut to 31.
std::vector<std::uint8_t> EncodeDocument(const TFormulaLine* root, const TStoredFont& font,
                                         std::uint32_t background, double margin,
                                         TLayoutImage layout = TLayoutImage::AsLaidOut);
std::vector<std::uint8_t> EncodeDocument(const TDocument& document);

// The length of the file EncodeDocument would make, found without making
// it, whether a sequence lies deeper than the reader accepts (the walk
// stops there, so Bytes is then only a lower bound), and whether its record
// blocks pass the reader's budget.
struct TDocumentMeasure {
  std::uint64_t Bytes = 0;
  bool TooDeep = false;
  bool TooManyBlocks = false;
};
TDocumentMeasure MeasureDocument(const TDocument& document);
// The writer refuses what the reader would refuse (size, blocks, depth, a
// margin that is no finite number, a font that cannot be drawn), before
// anything is encoded or written: kTooLargeToSave, kTooDeepToSave or
// kNotStorable.
bool CheckDocumentForWriting(const TDocument& document, std::string& error);

// Parses a whole file's bytes. On success `out` owns a new tree bound to
// `cursor` (a tree `out` held before is released: the document owns it); on
// failure nothing is allocated that outlives the call, `out` and `*cursor` are
// untouched and `error` holds the message to show.
bool DecodeDocument(std::span<const std::uint8_t> bytes, TEntryCursor* cursor, TDocument& out,
                    std::string& error, TLayoutImage layout = TLayoutImage::AsLaidOut);

// Runs `build` on a fresh document and hands the result to `out` only when
// it succeeds; otherwise `out` and `*cursor` stay as they were. `build`
// releases whatever it made when it fails, and sets `error`. For readers of
// documents from any source.
bool CommitDocument(TEntryCursor* cursor, TDocument& out, std::string& error,
                    const std::function<bool(TDocument& fresh, std::string& error)>& build);

// Writes safely (TSafeWrite's Stage and Commit, SafeWrite.h): the previous
// file stays intact unless the whole new content reached the disk. `error`
// gets the message to show.
bool WriteDocumentFile(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error);
// Several files written as WriteDocumentFile writes one, for the price of
// one sync: every new content goes to its temporary file, one sync per file
// system makes them all durable, then each replaces its target. A crash at
// any moment leaves each target with its old content or its complete new
// one. `report` gets the path and message of each file not written; false
// when there is one.
struct TFileToWrite {
  std::string Path;
  std::span<const std::uint8_t> Bytes;
};
using TWriteReport = std::function<void(const std::string& path, const std::string& message)>;
bool WriteFilesTogether(const std::vector<TFileToWrite>& files, const TWriteReport& report);

// Reads the whole file; `bytes` is only replaced on success.
bool ReadDocumentFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                      std::string& error);

// Whether a file just read may be opened as the document: it must be
// writable, unless it is a picture that only lends its formula
// (kCannotOpen in `error` when not).
bool WritableUnlessPicture(const std::string& path, bool fromPicture, std::string& error);

// The margin as the editor takes it over: into 0..1000, halves to even.
std::int32_t MarginFromStored(double stored);
