// Formula to LibreOffice Math's command language (StarMath). LibreOffice
// marks a sign without its operands, an unmatched bracket and an unknown
// character as errors, so such term characters go into quotes, as text; so
// do words it reserves. Blanks of a term are written as they are (LibreOffice
// ignores them); a blank that only keeps a word apart from a command word is
// one more, and the reader drops exactly that one.
#include <string>
#include <vector>

#include "model/Utf.h"
#include "textio/FormulaText.h"
#include "textio/StarMathWords.h"
#include "textio/Symbols.h"
#include "textio/TextTree.h"

namespace {

bool IsBlankOnly(std::u16string_view text) {
  return text.find_first_not_of(u' ') == std::u16string_view::npos;
}

// One piece of term text, or a whole entry, as the operands of a sign see it.
struct TPiece {
  enum TKind { Word, Blank, Sign, Open, Close, Symbol, Quoted, Entry, Group } Kind = Word;
  std::u16string_view Text;
  const TStarSymbol* Star = nullptr;    // Sign, Symbol
  const TFormulaEntry* Node = nullptr;  // Entry
  bool Bare = true;                     // Sign, Open, Close: written as syntax
};

bool IsPlainSign(char16_t c) {
  return c == u'+' || c == u'-' || c == u'/' || c == u'=' || c == u'<' || c == u'>';
}

TStarSign PlainSignKind(char16_t c) {
  return c == u'+' || c == u'-' ? TStarSign::Sign : TStarSign::Binary;
}

// A name runs from a letter over letters and digits; digits before it are
// a number of their own.
std::size_t WordEnd(std::u16string_view text, std::size_t i) {
  const bool name = IsStarMathLetter(text[i]);
  while (i < text.size() && IsStarMathWordChar(text[i]) && (name || !IsStarMathLetter(text[i]))) {
    ++i;
  }
  return i;
}

void SplitTerm(std::u16string_view text, std::vector<TPiece>& pieces) {
  for (std::size_t i = 0; i < text.size();) {
    const char16_t c = text[i];
    TPiece piece;
    std::size_t end = i + 1;
    if (const TStarSymbol* star = StarMathSymbolOf(c)) {
      piece.Kind = star->Kind == TStarSign::Operand ? TPiece::Symbol : TPiece::Sign;
      piece.Star = star;
    } else if (IsStarMathWordChar(c)) {
      end = WordEnd(text, i);
      piece.Kind = IsStarMathReserved(text.substr(i, end - i)) ? TPiece::Quoted : TPiece::Word;
    } else if (c == u' ') {
      piece.Kind = TPiece::Blank;
    } else if (IsPlainSign(c)) {
      piece.Kind = TPiece::Sign;
    } else if (c == u'(' || c == u')') {
      piece.Kind = c == u'(' ? TPiece::Open : TPiece::Close;
    } else {
      piece.Kind = TPiece::Quoted;
      if (IsHighSurrogate(c) && end < text.size() && IsLowSurrogate(text[end])) ++end;
    }
    piece.Text = text.substr(i, end - i);
    pieces.push_back(piece);
    i = end;
  }
}

TStarSign SignKind(const TPiece& piece) {
  return piece.Star != nullptr ? piece.Star->Kind : PlainSignKind(piece.Text[0]);
}

// LibreOffice pairs brackets inside one group only: a bracket without its
// partner there is text.
void PairBrackets(std::vector<TPiece>& pieces) {
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i].Kind == TPiece::Open) {
      open.push_back(i);
    } else if (pieces[i].Kind == TPiece::Close) {
      if (open.empty()) {
        pieces[i].Bare = false;
      } else {
        open.pop_back();
      }
    }
  }
  for (std::size_t i : open) pieces[i].Bare = false;
}

const TPiece* Neighbour(const std::vector<TPiece>& pieces, std::size_t i, int step) {
  for (auto j = static_cast<std::ptrdiff_t>(i) + step;
       j >= 0 && j < static_cast<std::ptrdiff_t>(pieces.size()); j += step) {
    if (pieces[j].Kind != TPiece::Blank) return &pieces[j];
  }
  return nullptr;
}

// A sign stays bare where it has its operands; two signs side by side
// would read as one ("<" "=" as "<="), so both are text.
void PlaceSigns(std::vector<TPiece>& pieces) {
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    TPiece& piece = pieces[i];
    if (piece.Kind != TPiece::Sign) continue;
    const TPiece* before = Neighbour(pieces, i, -1);
    const TPiece* after = Neighbour(pieces, i, 1);
    const bool operandBefore =
        before != nullptr &&
        !(before->Bare && (before->Kind == TPiece::Sign || before->Kind == TPiece::Open));
    const bool operandAfter =
        after != nullptr && !(after->Bare && after->Kind == TPiece::Close) &&
        (after->Kind != TPiece::Sign || SignKind(*after) != TStarSign::Binary);
    const bool touching = (i > 0 && pieces[i - 1].Kind == TPiece::Sign) ||
                          (i + 1 < pieces.size() && pieces[i + 1].Kind == TPiece::Sign);
    const TStarSign kind = SignKind(piece);
    piece.Bare = !touching && operandAfter && (kind != TStarSign::Binary || operandBefore);
  }
}

class TStarMathWriter {
 public:
  std::u16string Take() { return std::move(out_); }

  void WriteLine(const TFormulaLine* line) {
    std::vector<TPiece> pieces;
    bool afterTerm = false;
    for (std::uint32_t i = 0; line != nullptr && i < line->Count(); ++i) {
      const TFormulaEntry& entry = *EntryAt(*line, i);
      if (entry.IsFunction == 0) {
        const std::u16string_view text = TextOf(entry.Text1);
        // A term beside a term, and a blank or empty one, is a group of its own.
        if (afterTerm || IsBlankOnly(text)) {
          pieces.push_back({TPiece::Group, text});
        } else {
          SplitTerm(text, pieces);
        }
        afterTerm = true;
      } else if (entry.IsFunction == 1) {
        pieces.push_back({TPiece::Entry, {}, nullptr, &entry});
        afterTerm = false;
      }
    }
    WritePieces(pieces);
  }

  // Text alone: a bound, an index, a name.
  void WriteText(std::u16string_view text) {
    std::vector<TPiece> pieces;
    SplitTerm(text, pieces);
    WritePieces(pieces);
  }

 private:
  void WritePieces(std::vector<TPiece>& pieces) {
    PairBrackets(pieces);
    PlaceSigns(pieces);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const TPiece& piece = pieces[i];
      if (IsText(piece)) {
        std::size_t end = i;
        while (end < pieces.size() && IsText(pieces[end])) ++end;
        PutQuoted(pieces, i, end);
        i = end - 1;
        continue;
      }
      WritePiece(piece);
    }
  }

  static bool IsText(const TPiece& piece) {
    return piece.Kind == TPiece::Quoted ||
           (!piece.Bare && (piece.Kind == TPiece::Sign || piece.Kind == TPiece::Open ||
                            piece.Kind == TPiece::Close));
  }

  void WritePiece(const TPiece& piece) {
    switch (piece.Kind) {
      case TPiece::Blank:
        out_ += u' ';
        return;
      case TPiece::Word:
      case TPiece::Open:
      case TPiece::Close:
        return Put(piece.Text);
      case TPiece::Sign:
      case TPiece::Symbol:
        return piece.Star != nullptr ? PutWord(piece.Star->Written) : Put(piece.Text);
      case TPiece::Group:
        Put(u"{");
        WriteText(piece.Text);
        return Put(u"}");
      case TPiece::Entry:
        return WriteFunction(*piece.Node);
      case TPiece::Quoted:
        return;
    }
  }

  // The characters of pieces [begin, end) as one quoted text. A backslash
  // before the closing quote would escape it: a word joiner follows every
  // backslash, and the reader drops it.
  void PutQuoted(const std::vector<TPiece>& pieces, std::size_t begin, std::size_t end) {
    std::u16string text = u"\"";
    for (std::size_t i = begin; i < end; ++i) {
      for (char16_t c : pieces[i].Text) {
        if (c == u'"') text += u'\\';
        text += c;
        if (c == u'\\') text += u'\u2060';
      }
    }
    text += u'"';
    Put(text);
  }

  void WriteFunction(const TFormulaEntry& entry) {
    switch (entry.Kind) {
      case fkWurzel:
        return WriteRoot(entry);
      case fkSumme:
        return WriteBigOperator(u"sum", entry);
      case fkIntegral:
        return WriteBigOperator(u"int", entry);
      case fkPotenz:
        return WritePower(entry);
      case fkBetrag:
        PutWord(u"abs");
        return WriteBodyArgument(entry);
      case fkUser:
        return WriteNamed(entry);
      default:
        return WriteFraction(entry);  // unknown kinds are laid out as fractions
    }
  }

  void WriteArgument(const TFormulaLine* line) {
    Put(u"{");
    WriteLine(line);
    Put(u"}");
  }

  void WriteTextArgument(std::u16string_view text) {
    Put(u"{");
    WriteText(text);
    Put(u"}");
  }

  // A fraction in a row is a group: "2 * {a} over {b}" would put 2 * a
  // over b, as "over" binds like "*".
  void WriteFraction(const TFormulaEntry& entry) {
    if (entry.Second == nullptr) return WriteArgument(entry.First);  // draws First alone
    Put(u"{");
    WriteBody(entry);
    Put(u"}");
  }

  // First over Second without a group of its own: a body with a bar.
  void WriteBody(const TFormulaEntry& entry) {
    if (entry.Second == nullptr) return WriteLine(entry.First);
    WriteArgument(entry.First);
    PutSpaced(u"over");
    WriteArgument(entry.Second);
  }

  void WriteBodyArgument(const TFormulaEntry& entry) {
    Put(u"{");
    WriteBody(entry);
    Put(u"}");
  }

  void WriteParenthesized(const TFormulaEntry& entry) {
    PutWord(u"left");
    Put(u"(");
    WriteBody(entry);
    PutWord(u"right");
    Put(u")");
  }

  void WriteRoot(const TFormulaEntry& entry) {
    const std::u16string_view index = TextOf(entry.Text1);
    if (index.empty() || index == u"2") {
      PutWord(u"sqrt");
    } else {
      PutWord(u"nroot");
      WriteTextArgument(index);
    }
    WriteBodyArgument(entry);
  }

  void WriteBigOperator(std::u16string_view word, const TFormulaEntry& entry) {
    PutWord(word);
    if (!TextOf(entry.Text1).empty()) {
      PutSpaced(u"from");
      WriteTextArgument(TextOf(entry.Text1));
    }
    if (!TextOf(entry.Text2).empty()) {
      PutSpaced(u"to");
      WriteTextArgument(TextOf(entry.Text2));
    }
    SpaceAfterGroup();
    WriteParenthesized(entry);
  }

  // The base in the parentheses the picture draws.
  void WritePower(const TFormulaEntry& entry) {
    PutWord(u"left");
    Put(u"(");
    WriteLine(entry.Second);
    PutWord(u"right");
    Put(u")^");
    WriteArgument(entry.First);
  }

  // Script characters that end the name are its scripts: "sin²" is
  // "sin^{2}". A name LibreOffice knows is its own word, any other follows
  // "func", in quotes unless it is a plain name.
  void WriteNamed(const TFormulaEntry& entry) {
    const std::u16string_view name = WithoutOuterBlanks(TextOf(entry.Text1));
    const std::size_t base = ScriptsAtEnd(name);
    const std::u16string_view word = name.substr(0, base);
    if (IsStarMathFunctionWord(word)) {
      PutWord(word);
    } else {
      PutWord(u"func");
      const bool plain = !word.empty() && IsStarMathLetter(word[0]) &&
                         WordEnd(word, 0) == word.size() && !IsStarMathReserved(word);
      plain ? Put(word) : PutQuoted({{TPiece::Quoted, word}}, 0, 1);
    }
    WriteNameScripts(name.substr(base));
    WriteParenthesized(entry);
  }

  void WriteNameScripts(std::u16string_view scripts) {
    for (std::size_t i = 0; i < scripts.size();) {
      const bool superscript = Unscripted(scripts[i], true) != 0;
      const std::size_t run = ScriptRun(scripts.substr(i), superscript);
      Put(superscript ? u"^" : u"_");
      WriteTextArgument(UnscriptedText(scripts.substr(i, run), superscript));
      i += run;
    }
  }

  void PutWord(std::u16string_view word) { Put(word, IsStarMathLetter(word[0])); }

  // Blanks around a word where the reader skips them anyway: before an
  // operand and after a group.
  void PutSpaced(std::u16string_view word) {
    SpaceAfterGroup();
    PutWord(word);
    out_ += u' ';
  }

  void SpaceAfterGroup() {
    if (!out_.empty() && out_.back() == u'}') out_ += u' ';
  }

  // A command word and a name or number beside it need a blank between;
  // it is one more than the blanks the text has there.
  void Put(std::u16string_view piece, bool command = false) {
    if (piece.empty()) return;
    if (IsStarMathWordChar(piece[0]) && (command || afterCommand_)) {
      std::size_t last = out_.size();
      while (last > 0 && out_[last - 1] == u' ') --last;
      if (last > 0 && IsStarMathWordChar(out_[last - 1])) out_ += u' ';
    }
    out_ += piece;
    afterCommand_ = command;
  }

  std::u16string out_;
  bool afterCommand_ = false;  // the last piece put was a command word
};

}  // namespace

std::u16string StarMathFromFormula(const TFormulaLine* line) {
  TStarMathWriter writer;
  writer.WriteLine(line);
  return writer.Take();
}
