// What both readers build before the formula tree: rows of text, finished
// entries and groups, in which a following "^", "_" or a function sign still
// finds its base, its atom or its body. A finished row becomes a plain
// sequence of entries, which becomes a formula line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/FormulaTree.h"
#include "textio/FormulaText.h"

struct TTextSeq;

struct TTextNode {
  bool IsFunction = false;
  std::uint32_t Kind = 0;
  std::u16string Text1;
  std::u16string Text2;
  std::unique_ptr<TTextSeq> First;
  std::unique_ptr<TTextSeq> Second;
  int Levels = 0;  // functions nested in this entry, itself included
};

struct TTextSeq {
  std::vector<TTextNode> Entries;
  int Levels = 0;  // deepest nesting of functions inside
};

class TRow;

struct TRowItem {
  enum TType { Text, Entry, Group } Type = Text;
  std::u16string Chars;          // Text
  bool HasContent = false;       // Text: more than the blanks between symbols
  TTextNode Node;                // Entry
  std::unique_ptr<TRow> Inside;  // Group
};

// A row under construction. Text runs merge; a group keeps its text apart
// from the text around it, so "{a}{b}" stays two terms.
class TRow {
 public:
  // Blanks typed between symbols: they separate, but alone make no term.
  void AddRawBlanks(std::u16string_view blanks);
  // One atom: a character, a surrogate pair or what a symbol command stands for.
  void AddAtom(std::u16string_view chars);
  // Characters of the BMP, each an atom of its own, added at once.
  void AddAtoms(std::u16string_view chars);
  // Blanks asked for by a spacing command: content.
  void AddSpacing(std::u16string_view blanks);
  void AddOpenParen(std::u16string_view paren = u"(");
  void AddCloseParen(std::u16string_view paren = u")");
  void AddEntry(TTextNode node);
  void AddGroup(TRow row);
  // Appends another row's items: its text joins this row's text.
  void Splice(TRow row);

  bool Empty() const { return items_.empty(); }
  // More than blanks typed between symbols.
  bool HoldsContent() const;
  // Drops a "{}" that ends the row: it only carried the scripts after it.
  void DropEmptyGroup();
  std::size_t UnmatchedParens() const { return openParens_.size(); }
  // The row holds nothing but text (no entry, no group): its text.
  std::optional<std::u16string> PlainText() const;
  // A row of one fraction with its Second, blanks aside: read as a body
  // with a bar, its two parts are the body's First and Second.
  bool IsSingleFraction() const;
  TTextNode TakeSingleFraction();
  // Drops a "(" and ")" that enclose the whole row; false when they do not.
  bool StripParentheses();

  // What a "^" raises: the parenthesised block, group, entry or atom before it.
  TRow TakeBase();
  // Appends subscript characters to the last atom; false when the row does
  // not end in text.
  bool AppendToLastAtom(std::u16string_view chars);

  // The sequence of entries: texts become terms, groups open up.
  TTextSeq Finish() &&;

 private:
  void FinishInto(TTextSeq& seq) &&;
  // 32 bits each: a text of 16 MiB has fewer items and characters, and a
  // row of millions of "(" keeps a mark for each.
  struct TMark {
    std::uint32_t Item;
    std::uint32_t Offset;
  };
  TMark MarkAt(std::size_t offset) const;
  TRowItem& TextItem();
  void AddContent(std::u16string_view chars);
  void ForgetCloseParen() { lastClose_.reset(); }
  void TrimTrailingBlanks();
  void ForgetParensFrom(TMark cut);
  void MoveTailTo(TMark from, TRow& base);
  void EndConstruct();

  std::vector<TRowItem> items_;
  std::size_t atomStart_ = std::u16string::npos;  // in the last text item
  std::size_t trailingRaw_ = 0;                   // raw blanks ending the last text item
  std::vector<TMark> openParens_;
  std::optional<TMark> lastClose_;  // the "(" of a ")" that ends the row
};

// `Levels` of a function made of these sequences.
int LevelsOf(const TTextNode& node);
TTextNode MakeFunction(std::uint32_t kind, TTextSeq first, std::optional<TTextSeq> second);
// A fraction or power of two finished rows.
TTextNode MakeFunction(std::uint32_t kind, TRow first, TRow second);
// First and Second of every kind but the power: a row that is one fraction
// gives its two parts, any other row is First alone.
TTextNode MakeBodyFunction(std::uint32_t kind, TRow body);

// The formula line, or why there is none: Problem is kFormulaTooLarge when
// the line's record blocks would pass the budget (counted before anything is
// allocated) and kTextNoMemory when memory runs out while it fills.
struct TBuiltLine {
  TOwnedLine Line;
  const char* Problem = nullptr;
};
TBuiltLine BuildCountedLine(const TTextSeq& seq, TEntryCursor* cursor);
// nullptr when the budget refuses the line or memory runs out.
TFormulaLine* BuildLine(const TTextSeq& seq, TEntryCursor* cursor);

// Appends `text` as Unicode sub- or superscript characters to the row's last
// atom (a superscript may also stand alone). Returns the message when it
// cannot, empty on success; the message quotes `typed`, what the user wrote,
// when it is given.
std::string AddScript(TRow& row, std::u16string_view text, bool superscript,
                      std::optional<std::u16string_view> typed = std::nullopt);
// "Hochstellung von „typed“: nur Ziffern ..."
std::string ScriptProblem(std::u16string_view typed, bool superscript);

// Unicode sub- and superscript forms; empty when one character has none.
std::u16string Subscripted(std::u16string_view text);
std::u16string Superscripted(std::u16string_view text);
// The plain character of a sub- or superscript character; 0 for others.
char16_t Unscripted(char16_t c, bool superscript);
// How many characters from the start of `text` are superscript (or
// subscript) characters.
std::size_t ScriptRun(std::u16string_view text, bool superscript);
// Where the script characters that end `name` begin: 3 for "sin²₁";
// name.size() when it ends in none.
std::size_t ScriptsAtEnd(std::u16string_view name);
// The plain characters of a run of script characters: "²³" gives "23".
std::u16string UnscriptedText(std::u16string_view scripts, bool superscript);
