// Formula to German words, as a teacher reads it aloud. A construct whose
// parts are single numbers or letters is said briefly ("a durch b",
// "x Quadrat", "Quadratwurzel aus 2"); one with a longer part says where that
// part ends ("Bruch mit Zähler x plus 1 und Nenner 2 Ende Bruch"), so that
// the listener knows what belongs inside. The brackets the picture draws
// around a body are not said where the construct's words already delimit
// it; around a power's base they are, as a teacher reads (a + b)².
//
// The walk keeps its own stack of what is still to be said, so a formula of
// any depth costs heap, never the caller's stack, and each line is looked at
// a fixed number of times.
#include <deque>
#include <string>
#include <vector>

#include "textio/FormulaText.h"
#include "textio/SpeechWords.h"
#include "textio/TextTree.h"

namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) ||
         c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Control characters, invisible operators and joiners: nothing to say.
bool IsSilent(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xAD || (c >= 0x200C && c <= 0x200F) ||
         (c >= 0x2060 && c <= 0x2064) || c == 0xFEFF || c == 0xFFFD;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Letters that make words; Greek letters are named one by one instead.
bool IsWordLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
         (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x400 && c <= 0x4FF) ||
         (c >= 0x1E00 && c <= 0x1EFF);
}

// A lone surrogate says nothing either; a pair does.
bool SaysNothing(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) return false;
    if (!IsBlank(c) && !IsSilent(c) && !IsSurrogate(c)) return false;
  }
  return true;
}

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::size_t NumberRun(std::u16string_view text) {
  std::size_t run = 0;
  while (run < text.size() &&
         (IsDigit(text[run]) || (run > 0 && (text[run] == u',' || text[run] == u'.') &&
                                 run + 1 < text.size() && IsDigit(text[run + 1])))) {
    ++run;
  }
  return run;
}

// The mathematical letters of U+1D400 to U+1D6A3 (𝑥, 𝐀), as a pair.
constexpr char32_t kFirstMathLetter = 0x1D400;
constexpr char32_t kLastMathLetter = 0x1D6A3;

char32_t CodeOfPair(char16_t high, char16_t low) {
  return 0x10000 + ((char32_t{high} - 0xD800) << 10) + (char32_t{low} - 0xDC00);
}

bool IsMathLetter(std::u16string_view pair) {
  if (pair.size() != 2 || !IsHighSurrogate(pair[0]) || !IsLowSurrogate(pair[1])) return false;
  const char32_t code = CodeOfPair(pair[0], pair[1]);
  return code >= kFirstMathLetter && code <= kLastMathLetter;
}

// A single number or letter, perhaps negative: what can stand in a short
// form ("a durch b", "x hoch n") without hiding where it ends.
bool IsAtomText(std::u16string_view text) {
  text = Trimmed(text);
  if (!text.empty() && (text.front() == u'-' || text.front() == u'\u2212')) text.remove_prefix(1);
  if (text.empty()) return false;
  if (IsDigit(text.front())) return NumberRun(text) == text.size();
  if (text.size() == 2) return IsMathLetter(text);
  return text.size() == 1 &&
         (IsWordLetter(text[0]) || IsGreekLetter(text[0]) || text[0] == u'\u221E');
}

// "dx", "dt": the differential of an integrand, said as "d x"; "da", "du"
// stay German words.
bool IsDifferential(std::u16string_view word) {
  constexpr std::u16string_view kVowels = u"aeiouAEIOU";
  return word.size() == 2 && word[0] == u'd' && word[1] < 0x80 &&
         kVowels.find(word[1]) == std::u16string_view::npos;
}

// No one listens to more: a screen reader takes hours for a million
// characters. A sign's name can be fifty times the sign, so without a limit a
// long text would grow to gigabytes.
constexpr std::size_t kMaxSpeechUnits = std::size_t{1} << 20;

// The words of a text, one after another with single blanks, up to the limit.
class TSpeech {
 public:
  void Say(std::u16string_view words) {
    if (words.empty() || Full()) return;
    if (!out_.empty()) out_ += u' ';
    out_ += words;
    if (out_.size() > kMaxSpeechUnits) out_ += u" … gekürzt";
  }
  bool Full() const { return out_.size() > kMaxSpeechUnits; }
  std::u16string Take() { return std::move(out_); }

  void SayText(std::u16string_view text, TSignPlace place);

 private:
  std::size_t SayWord(std::u16string_view text, bool& afterLog);
  void SayScripts(std::u16string_view scripts, bool superscript, bool afterLog);
  void SaySupplementary(char32_t code, std::u16string_view pair);
  void SaySign(std::u16string_view text, std::size_t at, TSignPlace place);

  std::u16string out_;
};

void TSpeech::SayText(std::u16string_view text, TSignPlace place) {
  bool afterLog = false;  // "log₂" is "Logarithmus zur Basis 2"
  for (std::size_t i = 0; i < text.size() && !Full();) {
    const char16_t c = text[i];
    const bool superscript = Unscripted(c, true) != 0;
    if (IsBlank(c) || IsSilent(c)) {
      ++i;
      continue;
    }
    if (superscript || Unscripted(c, false) != 0) {
      const std::size_t run = ScriptRun(text.substr(i), superscript);
      SayScripts(text.substr(i, run), superscript, afterLog);
      i += run;
    } else if (IsDigit(c)) {
      const std::size_t run = NumberRun(text.substr(i));
      Say(text.substr(i, run));
      i += run;
    } else if (IsWordLetter(c)) {
      i += SayWord(text.substr(i), afterLog);
      continue;
    } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      SaySupplementary(CodeOfPair(c, text[i + 1]), text.substr(i, 2));
      i += 2;
    } else {
      if (!IsSurrogate(c)) SaySign(text, i, place);
      ++i;
    }
    afterLog = false;
  }
}

// A run of letters: a function's name in German, any other word as written.
std::size_t TSpeech::SayWord(std::u16string_view text, bool& afterLog) {
  std::size_t run = 0;
  while (run < text.size() && IsWordLetter(text[run])) ++run;
  const std::u16string_view word = text.substr(0, run);
  const std::u16string_view function = WordsOfFunctionName(word);
  if (IsDifferential(word)) {
    Say(word.substr(0, 1));
    Say(word.substr(1));
  } else {
    Say(function.empty() ? word : function);
  }
  afterLog = word == u"log";
  return run;
}

// ² is "Quadrat", other raised characters an exponent, lowered ones an
// index; one longer than a number or letter says where it ends.
void TSpeech::SayScripts(std::u16string_view scripts, bool superscript, bool afterLog) {
  const std::u16string plain = UnscriptedText(scripts, superscript);
  if (superscript && plain == u"2") return Say(u"Quadrat");
  Say(superscript ? u"hoch" : afterLog ? u"zur Basis" : u"Index");
  const bool atom = IsAtomText(plain);
  if (!atom) Say(superscript ? u"Anfang Exponent" : u"Anfang Index");
  // The plain characters hold no scripts, so this goes one level down only.
  SayText(plain, TSignPlace::Term);
  if (!atom) Say(superscript ? u"Ende Exponent" : u"Ende Index");
}

// Mathematical letters and digits (𝑥, 𝐀, 𝟙) are said as the plain ones.
void TSpeech::SaySupplementary(char32_t code, std::u16string_view pair) {
  if (code >= kFirstMathLetter && code <= kLastMathLetter) {
    const char32_t letter = (code - kFirstMathLetter) % 52;
    const char16_t plain = letter < 26 ? u'A' + letter : u'a' + (letter - 26);
    return Say({&plain, 1});
  }
  if (code >= 0x1D7CE && code <= 0x1D7FF) {
    const char16_t digit = u'0' + (code - 0x1D7CE) % 10;
    return Say({&digit, 1});
  }
  Say(pair);
}

void TSpeech::SaySign(std::u16string_view text, std::size_t at, TSignPlace place) {
  const char16_t c = text[at];
  // "12 : 4" is a division as German schools write it.
  if (c == u':') {
    // Only the blanks next to it are passed, so a text of many stays linear.
    std::size_t before = at;
    while (before > 0 && IsBlank(text[before - 1])) --before;
    std::size_t after = at + 1;
    while (after < text.size() && IsBlank(text[after])) ++after;
    if (before > 0 && IsDigit(text[before - 1]) && after < text.size() && IsDigit(text[after])) {
      return Say(u"geteilt durch");
    }
  }
  const std::u16string_view words = WordsOfSign(c, place);
  Say(words.empty() ? std::u16string_view(&c, 1) : words);
}

enum class TShape { Empty, Atom, Complex };

struct TLineShape {
  TShape Shape = TShape::Empty;
  std::u16string_view Atom;  // the text of an atom, blanks trimmed
};

// Stops at the second thing to say, so a line is read whole only when it
// holds little more than blanks.
TLineShape ShapeOf(const TFormulaLine* line) {
  if (line == nullptr) return {};
  const TFormulaEntry* only = nullptr;
  for (std::uint32_t i = 0; i < line->Count(); ++i) {
    const TFormulaEntry& entry = *EntryAt(*line, i);
    if (entry.IsFunction == 1) return {TShape::Complex, {}};
    if (entry.IsFunction != 0 || SaysNothing(TextOf(entry.Text1))) continue;
    if (only != nullptr) return {TShape::Complex, {}};
    only = &entry;
  }
  if (only == nullptr) return {};
  const std::u16string_view text = TextOf(only->Text1);
  if (!IsAtomText(text)) return {TShape::Complex, {}};
  return {TShape::Atom, Trimmed(text)};
}

bool IsShort(const TFormulaLine* line) { return ShapeOf(line).Shape != TShape::Complex; }

// What is still to be said; the stack holds these in reverse order.
enum class TSay { Words, Term, Bound, Line, Part, Entry };

struct TTask {
  TSay Type;
  std::u16string_view Words;  // Words, Term, Bound
  const TFormulaLine* Line = nullptr;
  const TFormulaEntry* Entry = nullptr;
  std::uint32_t Next = 0;  // Line: the entry to say next
};

class TSpeechWriter {
 public:
  std::u16string Speak(TTask first) {
    stack_.push_back(first);
    while (!stack_.empty() && !speech_.Full()) {
      const TTask task = stack_.back();
      stack_.pop_back();
      Do(task);
    }
    return speech_.Take();
  }

 private:
  void Do(const TTask& task) {
    switch (task.Type) {
      case TSay::Words:
        return speech_.Say(task.Words);
      case TSay::Term:
        return speech_.SayText(task.Words, TSignPlace::Term);
      case TSay::Bound:
        return speech_.SayText(task.Words, TSignPlace::Bound);
      case TSay::Part:
        if (ShapeOf(task.Line).Shape == TShape::Empty) return speech_.Say(u"leer");
        return SayFrom(task.Line, 0);
      case TSay::Line:
        return SayFrom(task.Line, task.Next);
      case TSay::Entry:
        plan_.clear();
        PlanEntry(*task.Entry);
        stack_.insert(stack_.end(), plan_.rbegin(), plan_.rend());
        return;
    }
  }

  // One entry at a time, with the rest of its line below it on the stack, so
  // the stack grows with the depth, not with the length of a line. An entry
  // that is neither term nor function is left out.
  void SayFrom(const TFormulaLine* line, std::uint32_t index) {
    if (line == nullptr || index >= line->Count()) return;
    stack_.push_back({TSay::Line, {}, line, nullptr, index + 1});
    const TFormulaEntry& entry = *EntryAt(*line, index);
    if (entry.IsFunction == 0) speech_.SayText(TextOf(entry.Text1), TSignPlace::Term);
    if (entry.IsFunction == 1) stack_.push_back({TSay::Entry, {}, nullptr, &entry});
  }

  void Words(std::u16string_view words) { plan_.push_back({TSay::Words, words}); }
  void Text(std::u16string_view text, TSignPlace place) {
    plan_.push_back({place == TSignPlace::Bound ? TSay::Bound : TSay::Term, text});
  }
  void Part(const TFormulaLine* line) { plan_.push_back({TSay::Part, {}, line}); }
  void Line(const TFormulaLine* line) { plan_.push_back({TSay::Line, {}, line}); }

  void PlanEntry(const TFormulaEntry& entry) {
    if (entry.IsFunction == 0) return Text(TextOf(entry.Text1), TSignPlace::Term);
    switch (entry.Kind) {
      case fkWurzel:
        return PlanRoot(entry);
      case fkSumme:
        return PlanBigOperator(u"die Summe", entry, u"Ende Summe");
      case fkIntegral:
        return PlanBigOperator(u"das Integral", entry, u"Ende Integral");
      case fkPotenz:
        return PlanPower(entry);
      case fkBetrag:
        Words(u"der Betrag von");
        return PlanBody(entry, u"Ende Betrag");
      case fkUser:
        return PlanNamed(entry);
      default:
        return PlanFraction(entry);  // unknown kinds are drawn as fractions
    }
  }

  // Without a Second a fraction draws its First alone, and so it is said.
  void PlanFraction(const TFormulaEntry& entry) {
    if (entry.Second == nullptr) return Line(entry.First);
    PlanFractionOf(entry.First, entry.Second);
  }

  void PlanFractionOf(const TFormulaLine* numerator, const TFormulaLine* denominator) {
    if (IsShort(numerator) && IsShort(denominator)) {
      Part(numerator);
      Words(u"durch");
      return Part(denominator);
    }
    Words(u"Bruch mit Zähler");
    Part(numerator);
    Words(u"und Nenner");
    Part(denominator);
    Words(u"Ende Bruch");
  }

  // First, or First over Second; `end` after a body that is not short.
  void PlanBody(const TFormulaEntry& entry, std::u16string_view end) {
    entry.Second != nullptr ? PlanFractionOf(entry.First, entry.Second) : Part(entry.First);
    if (!IsShortBody(entry)) Words(end);
  }

  static bool IsShortBody(const TFormulaEntry& entry) {
    return IsShort(entry.First) && (entry.Second == nullptr || IsShort(entry.Second));
  }

  void PlanRoot(const TFormulaEntry& entry) {
    const std::u16string_view index = Trimmed(TextOf(entry.Text1));
    if (SaysNothing(index) || index == u"2") {
      Words(u"Quadratwurzel aus");
    } else if (std::u16string ordinal = OrdinalOfIndex(index); !ordinal.empty()) {
      Words(owned_.emplace_back(std::move(ordinal.append(u" Wurzel aus"))));
    } else {
      Words(u"Wurzel mit Index");
      Text(index, TSignPlace::Term);
      Words(u"aus");
    }
    PlanBody(entry, u"Ende Wurzel");
  }

  void PlanBigOperator(std::u16string_view name, const TFormulaEntry& entry,
                       std::u16string_view end) {
    Words(name);
    if (const std::u16string_view lower = TextOf(entry.Text1); !SaysNothing(lower)) {
      Words(u"von");
      Text(lower, TSignPlace::Bound);
    }
    if (const std::u16string_view upper = TextOf(entry.Text2); !SaysNothing(upper)) {
      Words(u"bis");
      Text(upper, TSignPlace::Bound);
    }
    Words(u"über");
    PlanBody(entry, end);
  }

  // First is the exponent, Second the base, which the picture puts in
  // brackets.
  void PlanPower(const TFormulaEntry& entry) {
    if (IsShort(entry.Second)) {
      Part(entry.Second);
    } else {
      Words(u"Klammer auf");
      Line(entry.Second);
      Words(u"Klammer zu");
    }
    const TLineShape exponent = ShapeOf(entry.First);
    if (exponent.Shape == TShape::Atom && exponent.Atom == u"2") return Words(u"Quadrat");
    if (exponent.Shape != TShape::Complex) {
      Words(u"hoch");
      return Part(entry.First);
    }
    Words(u"hoch Anfang Exponent");
    Line(entry.First);
    Words(u"Ende Exponent");
  }

  // "Sinus x", "f von x"; the name is said as written, a known function's
  // name in German, scripts after it included ("Sinus Quadrat von x").
  void PlanNamed(const TFormulaEntry& entry) {
    const std::u16string_view name = Trimmed(TextOf(entry.Text1));
    SaysNothing(name) ? Words(u"Funktion") : Text(name, TSignPlace::Term);
    // Only a bare known name goes without "von": after scripts the argument
    // needs it ("Logarithmus zur Basis 2 von 8").
    const bool known = !WordsOfFunctionName(name).empty();
    if (!known || !IsShortBody(entry)) Words(u"von");
    PlanBody(entry, u"Ende Funktion");
  }

  TSpeech speech_;
  std::vector<TTask> stack_;
  std::vector<TTask> plan_;
  std::deque<std::u16string> owned_;  // words made up here, e.g. "fünfte Wurzel aus"
};

// What `task` says, or `whenEmpty` when that is nothing.
std::u16string SpeakOr(const TTask& task, std::u16string_view whenEmpty) {
  std::u16string speech = TSpeechWriter().Speak(task);
  return speech.empty() ? std::u16string(whenEmpty) : speech;
}

}  // namespace

std::u16string SpeechFromFormula(const TFormulaLine* line) {
  return SpeakOr({TSay::Line, {}, line}, u"leere Formel");
}

std::u16string SpeechFromPart(const TFormulaLine* line) {
  return SpeakOr({TSay::Line, {}, line}, u"leer");
}

std::u16string SpeechFromEntry(const TFormulaEntry& entry) {
  if (entry.IsFunction > 1) return {};
  return SpeakOr({TSay::Entry, {}, nullptr, &entry}, u"leer");
}
