// What every text reader does around its own grammar: count the levels of
// the text's nesting, refuse a text over the limit before reading it, read
// on a stack deep enough for the nesting it may have, and build the formula
// line within the record budget.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "model/BlockBudget.h"
#include "textio/DeepStack.h"
#include "textio/FormulaText.h"
#include "textio/TextError.h"
#include "textio/TextTree.h"

// Counts the levels of the text's own nesting.
class TNestingGuard {
 public:
  explicit TNestingGuard(int& depth) : depth_(++depth) {}
  ~TNestingGuard() { --depth_; }
  TNestingGuard(const TNestingGuard&) = delete;
  TNestingGuard& operator=(const TNestingGuard&) = delete;

 private:
  int& depth_;
};

// Where and why a reader stopped: the first failure is the one the user sees.
struct TReadFailure {
  std::size_t Pos = 0;
  std::string Message;
};

// What the tree being read will hold, counted as it is read, so that a text
// of many small functions is refused before its record blocks are asked for.
class TTreeTally {
 public:
  // One entry more (a term between functions, a group): false past the cap.
  bool CountEntry() { return ++entries_ <= kMaxFormulaTextEntries; }
  // Counts a finished function with its sequences: the message that refuses
  // it, or nullptr.
  const char* TakeFunction(const TTextNode& node) {
    if (node.Levels > kMaxFormulaTextLevels) return kTextTooDeep;
    const auto count = [](const std::unique_ptr<TTextSeq>& seq) {
      return seq != nullptr ? seq->Entries.size() : 0;
    };
    if (!CountEntry() || !budget_.TakeSequence(count(node.First)) ||
        !budget_.TakeSequence(count(node.Second))) {
      return kFormulaTooLarge;
    }
    return nullptr;
  }
  // The formula's own top sequence.
  bool TakeTop(const TTextSeq& seq) { return budget_.TakeSequence(seq.Entries.size()); }

 private:
  std::size_t entries_ = 0;
  TBlockBudget budget_;
};

// `read` fills the sequence or says why not; `levels` bounds the nesting
// the text may have (a count of the characters that can open a level will
// do). On failure `out` is empty and `error` has the line and column.
inline bool ReadFormulaText(std::u16string_view text, std::size_t levels, TEntryCursor* cursor,
                            TOwnedLine& out, TTextError& error,
                            const std::function<bool(TTextSeq&, TReadFailure&)>& read) {
  out.reset();
  if (Utf8Length(text) > kMaxFormulaTextBytes) {
    error = TextErrorAt(text, 0, kTextTooLarge);
    return false;
  }
  bool done = false;
  const bool ran = RunOnDeepStack(levels, [&] {
    TTextSeq seq;
    TReadFailure failure;
    if (!read(seq, failure)) {
      error = TextErrorAt(text, failure.Pos, failure.Message);
      return;
    }
    TBuiltLine built = BuildCountedLine(seq, cursor);
    if (built.Problem != nullptr) {
      error = TextErrorAt(text, 0, built.Problem);
      return;
    }
    out = std::move(built.Line);
    done = true;
  });
  if (!ran) {
    out.reset();
    error = TTextError{kTextNoMemory, 0, 1, 1};
  }
  return done && ran;
}
