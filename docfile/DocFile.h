// Reading and writing formula documents (.qmt): the formula tree in
// pre-order, the font block, the background colour and the margin, all
// little-endian, with no header. Plain C++ over bytes and files.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/FontDesc.h"
#include "model/FormulaTree.h"

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
};

// Deeper documents are refused, on reading and by the CLI's build.
inline constexpr int kMaxNestingDepth = 1000;

// Message texts shown to the user.
inline constexpr const char* kCannotCreate = "Die Datei konnte nicht erzeugt werden!";
inline constexpr const char* kCannotOpen = "Die Datei konnte nicht geöffnet werden!";
inline constexpr const char* kReadBeyondEnd = "Read beyond end of file.";

// Serialises a document; `root` may be nullptr (written as presence word 0).
std::vector<std::uint8_t> EncodeDocument(const TFormulaLine* root, const TStoredFont& font,
                                         std::uint32_t background, double margin);

// Parses a whole file's bytes. On success `out` owns a new tree bound to
// `cursor`; on failure nothing is allocated that outlives the call, `out` is
// untouched and `error` holds the message to show.
bool DecodeDocument(std::span<const std::uint8_t> bytes, TEntryCursor* cursor, TDocument& out,
                    std::string& error);

// Writes atomically: the previous file stays intact unless the whole new
// content reached the disk. `error` gets the message to show.
bool WriteDocumentFile(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error);
bool ReadDocumentFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// The margin as the editor takes it over: into 0..1000, halves to even.
std::int32_t MarginFromStored(double stored);
