// Formula to LaTeX. Every construct is written so that the reader gives the
// same tree back: neighbouring terms are kept apart by braces, blanks that
// follow a command are written as "\ ", and a body that is a single fraction
// without a Second of its own is braced so it is not read as First over Second.
#include <algorithm>
#include <string>

#include "textio/FormulaText.h"
#include "textio/LatexLexer.h"
#include "textio/Symbols.h"
#include "textio/TextTree.h"

namespace {

bool IsBlankOnly(std::u16string_view text) {
  return text.find_first_not_of(u' ') == std::u16string_view::npos;
}

std::u16string Ascii(std::string_view text) { return {text.begin(), text.end()}; }

// What a term character is written as, when it is not written as itself.
std::u16string_view EscapeOf(char16_t c) {
  switch (c) {
    case u'*':
      return u"\\times";
    case u'{':
      return u"\\{";
    case u'}':
      return u"\\}";
    case u'#':
      return u"\\#";
    case u'$':
      return u"\\$";
    case u'%':
      return u"\\%";
    case u'&':
      return u"\\&";
    case u'_':
      return u"\\_";
    case u'|':
      return u"\\vert";
    case u'\\':
      return u"\\backslash";
    case u'^':
      return u"\\text{\\textasciicircum}";
    case u'~':
      return u"\\text{\\textasciitilde}";
    // The Latin-1 signs and the minus sign, which pdflatex does not take
    // as themselves in a formula. ×, · and − have no command of their own
    // that a reader would not take for "*", "⋅" or "-".
    case u'\u00B1':
      return u"\\pm";
    case u'\u00F7':
      return u"\\div";
    case u'\u00AC':
      return u"\\neg";
    case u'\u00D7':
      return u"\\text{\\texttimes}";
    case u'\u00B7':
      return u"\\text{\\textperiodcentered}";
    case u'\u2212':
      return u"\\text{\\textminus}";
    case u'\u00A0':
      return u"\\text{~}";
    // As text, not as the sign of a sum or integral that a reader would
    // give a summand.
    case u'\u2211':
      return u"\\mathord{\\sum}";
    case u'\u222B':
      return u"\\mathord{\\int}";
    default:
      return {};
  }
}

// Whether `piece`, one command or escape as written, ends in a command name.
bool EndsInControlWord(std::u16string_view piece) {
  const std::size_t slash = piece.find_last_of(u'\\');
  if (slash == std::u16string_view::npos || slash + 1 == piece.size()) return false;
  for (std::size_t i = slash + 1; i < piece.size(); ++i) {
    if (!IsLatexLetter(piece[i])) return false;
  }
  return true;
}

bool IsWordLetter(char16_t c) {
  return IsLatexLetter(c) || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) ||
         (c >= 0x400 && c <= 0x4FF);
}

std::size_t WordRun(std::u16string_view text) {
  std::size_t run = 0;
  while (run < text.size() && IsWordLetter(text[run])) ++run;
  return run;
}

class TLatexWriter {
 public:
  std::u16string Take() { return std::move(out_); }

  void WriteLine(const TFormulaLine* line) {
    if (line == nullptr) return;
    bool afterTerm = false;
    for (std::uint32_t i = 0; i < line->Count(); ++i) {
      const TFormulaEntry& entry = *EntryAt(*line, i);
      if (entry.IsFunction == 0) {
        WriteTerm(TextOf(entry.Text1), afterTerm);
        afterTerm = true;
      } else if (entry.IsFunction == 1) {
        WriteFunction(entry);
        afterTerm = false;
      }
    }
  }

  // Text of a term, bound, index or name. Runs of script characters are
  // written as scripts of an empty group, words with letters beyond ASCII
  // in \text, so that pdflatex takes both.
  void WriteText(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size();) {
      if (const std::size_t run = ScriptRun(text.substr(i), true)) {
        WriteScript(text.substr(i, run), true, true);
        i += run;
      } else if (const std::size_t subscripts = ScriptRun(text.substr(i), false)) {
        // An index after a character is read as that character's: "x_{1}".
        WriteScript(text.substr(i, subscripts), false, i == 0 || text[i - 1] == u' ');
        i += subscripts;
      } else if (const std::size_t word = WordRun(text.substr(i))) {
        WriteWord(text.substr(i, word));
        i += word;
      } else {
        WriteChar(text[i]);
        ++i;
      }
    }
  }

 private:
  void WriteChar(char16_t c) {
    const std::u16string_view escape = EscapeOf(c);
    const std::string_view name = escape.empty() ? LatexNameOf(c) : std::string_view();
    if (!escape.empty()) {
      Put(escape);
    } else if (!name.empty()) {
      Put(Ascii("\\").append(Ascii(name)), IsLetterLike({&c, 1}));
    } else {
      PutChar(c);
    }
  }

  // "x²" as "x{}^{2}": the empty group keeps it text for the reader, where
  // "x^{2}" would be a power; it also carries an index with no character
  // before it. After a function's name the scripts stand without it:
  // "\log_{2}".
  void WriteScript(std::u16string_view scripts, bool superscript, bool anchored) {
    const std::u16string plain = UnscriptedText(scripts, superscript);
    if (anchored) Put(u"{}");
    Put(superscript ? u"^{" : u"_{");
    WriteText(plain);
    Put(u"}");
  }

  // Letters beside each other, ASCII or not: one word, written as \text
  // when a letter of it is beyond ASCII.
  void WriteWord(std::u16string_view word) {
    // LibreOffice Math's "over" and "sqrt" as letters the reader refuses.
    const bool starMath = word == u"over" || word == u"sqrt";
    if (!starMath && std::all_of(word.begin(), word.end(), [](char16_t c) { return c < 0x80; })) {
      for (char16_t c : word) WriteChar(c);
      return;
    }
    Put(u"\\text{");
    for (char16_t c : word) out_ += c;
    Put(u"}");
  }

  void WriteNameScripts(std::u16string_view scripts) {
    for (std::size_t i = 0; i < scripts.size();) {
      const bool superscript = ScriptRun(scripts.substr(i), true) > 0;
      const std::size_t run = ScriptRun(scripts.substr(i), superscript);
      WriteScript(scripts.substr(i, run), superscript, false);
      i += run;
    }
  }

  // A term beside a term, a blank or empty term: braced, so it stays a term.
  void WriteTerm(std::u16string_view text, bool afterTerm) {
    const bool brace = afterTerm || IsBlankOnly(text);
    // Right after a command's name "{}" would only end the name.
    if (brace && text.empty() && afterWord_ != TWord::None) text = u" ";
    if (brace) Put(u"{");
    WriteText(text);
    if (brace) Put(u"}");
  }

  void WriteFunction(const TFormulaEntry& entry) {
    switch (entry.Kind) {
      case fkWurzel:
        return WriteRoot(entry);
      case fkSumme:
        return WriteBigOperator(u"\\sum", entry);
      case fkIntegral:
        return WriteBigOperator(u"\\int", entry);
      case fkPotenz:
        return WritePower(entry);
      case fkBetrag:
        return WriteFenced(u"\\left|", entry, u"\\right|");
      case fkUser:
        return WriteNamed(entry);
      default:
        return WriteFraction(entry);  // unknown kinds are laid out as fractions
    }
  }

  void WriteBody(const TFormulaEntry& entry) {
    if (entry.Second != nullptr) {
      WriteFrac(entry.First, entry.Second);
    } else if (IsSingleFractionLine(entry.First)) {
      Put(u"{");
      WriteLine(entry.First);
      Put(u"}");
    } else {
      WriteLine(entry.First);
    }
  }

  static bool IsSingleFractionLine(const TFormulaLine* line) {
    if (line == nullptr) return false;
    int written = 0;
    bool fraction = false;
    for (std::uint32_t i = 0; i < line->Count(); ++i) {
      const TFormulaEntry& entry = *EntryAt(*line, i);
      if (entry.IsFunction > 1) continue;
      ++written;
      fraction = entry.IsFunction == 1 &&
                 (entry.Kind == fkBruch || entry.Kind >= kFunctionKindCount) &&
                 entry.Second != nullptr;
    }
    return written == 1 && fraction;
  }

  void WriteFenced(std::u16string_view open, const TFormulaEntry& entry,
                   std::u16string_view close) {
    Put(open);
    WriteBody(entry);
    Put(close);
  }

  void WriteFrac(const TFormulaLine* first, const TFormulaLine* second) {
    Put(u"\\frac{");
    WriteLine(first);
    Put(u"}{");
    WriteLine(second);
    Put(u"}");
  }

  // Without a Second a fraction draws its First alone.
  void WriteFraction(const TFormulaEntry& entry) {
    if (entry.Second != nullptr) return WriteFrac(entry.First, entry.Second);
    Put(u"{");
    WriteLine(entry.First);
    Put(u"}");
  }

  void WriteRoot(const TFormulaEntry& entry) {
    const std::u16string_view index = TextOf(entry.Text1);
    Put(u"\\sqrt");
    if (!index.empty() && index != u"2") {
      Put(u"[");
      for (char16_t c : index) c == u']' ? Put(u"\\rbrack") : WriteText({&c, 1});
      Put(u"]");
    }
    Put(u"{");
    WriteBody(entry);
    Put(u"}");
  }

  void WriteBound(std::u16string_view mark, std::u16string_view bound) {
    if (bound.empty()) return;
    Put(mark);
    Put(u"{");
    WriteText(bound);
    Put(u"}");
  }

  void WriteBigOperator(std::u16string_view sign, const TFormulaEntry& entry) {
    Put(sign);
    WriteBound(u"_", TextOf(entry.Text1));
    WriteBound(u"^", TextOf(entry.Text2));
    WriteFenced(u"\\left(", entry, u"\\right)");
  }

  void WritePower(const TFormulaEntry& entry) {
    Put(u"\\left(");
    WriteLine(entry.Second);
    Put(u"\\right)^{");
    WriteLine(entry.First);
    Put(u"}");
  }

  // Script characters that end the name are its scripts: "sin²" is
  // "\sin^{2}", "f₁" is "\operatorname{f}_{1}".
  void WriteNamed(const TFormulaEntry& entry) {
    const std::u16string_view name = TextOf(entry.Text1);
    const std::u16string_view trimmed = WithoutOuterBlanks(name);
    const std::size_t base = ScriptsAtEnd(trimmed);
    if (IsStandardOperatorName(trimmed.substr(0, base))) {
      Put(std::u16string(u"\\").append(trimmed.substr(0, base)));
    } else {
      Put(u"\\operatorname{");
      WriteText(base == trimmed.size() ? name : trimmed.substr(0, base));
      Put(u"}");
    }
    WriteNameScripts(trimmed.substr(base));
    WriteFenced(u"\\left(", entry, u"\\right)");
  }

  // A command's name ends at the first non-letter: a letter after it is
  // kept apart by a blank, which the reader drops, and a blank after it is
  // written as "\ ", which the reader keeps.
  // After a letter-like command a blank before a letter ends its name and a
  // blank of the text is "\\ "; after any other command a blank stays a
  // blank and "{}" ends the name, as it does before any non-ASCII character.
  void PutChar(char16_t c) {
    if (afterWord_ == TWord::LetterLike && c == u' ') {
      out_ += u"\\ ";
    } else {
      if (afterWord_ == TWord::LetterLike && IsLatexLetter(c)) {
        out_ += u' ';
      } else if (afterWord_ != TWord::None && (IsLatexLetter(c) || c >= 0x80)) {
        out_ += u"{}";
      }
      out_ += c;
    }
    afterWord_ = TWord::None;
  }

  // One command, escape or piece of syntax.
  void Put(std::u16string_view piece, bool letterLike = false) {
    if (piece.empty()) return;
    out_ += piece;
    afterWord_ = !EndsInControlWord(piece) ? TWord::None
                 : letterLike              ? TWord::LetterLike
                                           : TWord::Other;
  }

  enum class TWord { None, LetterLike, Other };
  std::u16string out_;
  TWord afterWord_ = TWord::None;
};

}  // namespace

std::u16string LatexFromFormula(const TFormulaLine* line) {
  TLatexWriter writer;
  writer.WriteLine(line);
  return writer.Take();
}
