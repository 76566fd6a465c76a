// Formulas as text: LaTeX and MathML written from a formula tree and read
// back into one. Writing never fails; reading either gives a whole new
// sequence or a German message with the position of what it could not read.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "model/BlockBudget.h"
#include "model/FormulaTree.h"
#include "model/Utf.h"

// Longer input is refused before it is read (bytes of UTF-8 or of the file).
inline constexpr std::size_t kMaxFormulaTextBytes = std::size_t{16} << 20;
// Formula levels, as in a document: functions nested in functions.
inline constexpr int kMaxFormulaTextLevels = 1000;
// The text's own nesting (braces, elements) may go this deep: a formula of
// the deepest allowed nesting needs no more than three per level.
inline constexpr int kMaxTextNesting = 4 * kMaxFormulaTextLevels;

inline constexpr const char* kTextTooLarge = "Der Text ist zu groß (mehr als 16 MiB).";
// Entries (terms and functions) a text may make. While a text is read, an
// entry costs several times its record, so this bounds the reading as the
// record budget bounds the formula.
inline constexpr std::size_t kMaxFormulaTextEntries = 300000;
inline constexpr const char* kFormulaTooLarge = kBlockBudgetPassed;
inline constexpr const char* kTextNoMemory = "Für die Formel reicht der Arbeitsspeicher nicht.";
inline constexpr const char* kTextTooDeep =
    "Die Formel ist zu tief verschachtelt (mehr als 1000 Ebenen).";

struct TTextError {
  std::string Message;     // German, UTF-8, ends with a full stop
  std::size_t Offset = 0;  // UTF-16 code units from the start of the text
  int Line = 1;
  int Column = 1;  // in code units, from 1
  // "Zeile 1, Spalte 7: Unbekannter Befehl „\foo“."
  std::string Describe() const;
};

struct TLineReleaser {
  void operator()(TFormulaLine* line) const { freetheline(line); }
};
using TOwnedLine = std::unique_ptr<TFormulaLine, TLineReleaser>;

// The parentheses go where the picture draws them; an entry that is neither
// term nor function is left out, an unknown kind is written as a fraction.
std::u16string LatexFromFormula(const TFormulaLine* line);
// One <math> element with the LaTeX as its annotation and the spoken formula
// (SpeechFromFormula) as its alttext.
std::u16string MathMLFromFormula(const TFormulaLine* line);
// LibreOffice Math's command language, as its formula editor shows it.
std::u16string StarMathFromFormula(const TFormulaLine* line);

// The formula in German words, as a teacher reads it aloud: every
// construct named, with its start and end where nesting needs them, the
// operators as the picture draws them ("mal", "minus", "ist gleich").
// For screen readers and for the text alternative of exported pictures.
// Never empty: a formula without entries is "leere Formel".
std::u16string SpeechFromFormula(const TFormulaLine* line);
// A part of a function (a numerator, a root's content) in the same words;
// an empty one is "leer", as it is inside the whole formula's words.
std::u16string SpeechFromPart(const TFormulaLine* line);
// One entry alone, in the same words: the entry list's rows and the
// picture's parts. Empty only for an entry that is neither term nor function.
std::u16string SpeechFromEntry(const TFormulaEntry& entry);

// On success `out` is a new sequence bound to `cursor`. On failure `out` is
// empty and `error` says what and where.
bool FormulaFromLatex(std::u16string_view text, TEntryCursor* cursor, TOwnedLine& out,
                      TTextError& error);
// `xml` as bytes; the XML declaration or a byte order mark names the encoding.
bool FormulaFromMathML(std::string_view xml, TEntryCursor* cursor, TOwnedLine& out,
                       TTextError& error);
bool FormulaFromStarMath(std::u16string_view text, TEntryCursor* cursor, TOwnedLine& out,
                         TTextError& error);
// A text without a backslash that holds one of StarMath's own words (over,
// sqrt, nroot, from, to, abs, func, lline), as LibreOffice Math copies it.
bool LooksLikeStarMath(std::u16string_view text);
