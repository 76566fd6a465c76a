// LibreOffice Math's command language (StarMath) to formula: recursive
// descent over its tokens into the same rows as the LaTeX reader, so that
// "over" and "^" find their left operand there. As in LibreOffice, the
// operand of a command is one term with its scripts: a group, a bracketed
// block, a name, a number or a command with its own operand.
#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

#include "model/BlockBudget.h"
#include "model/Utf.h"
#include "textio/StarMathWords.h"
#include "textio/TextReading.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

struct TToken {
  enum TKind {
    End,
    Blank,
    Name,  // letters and digits that are no command
    Number,
    Command,  // a reserved word, in lower case
    Chars,    // what a sign, symbol word, %name or quoted text stands for
    Paren,    // "(" or ")"
    LBrace,
    RBrace,
    Sup,  // "^"
    Sub,  // "_"
    Bad,
  } Kind = End;
  std::u16string Text;
  std::size_t Pos = 0;
  std::size_t Next = 0;
  bool Quoted = false;  // Chars from "…": never syntax
  std::string Problem;  // Bad
};

// Tokens from a position; nothing is remembered, so a token may be looked
// at again without cost beyond its own length.
class TStarMathLexer {
 public:
  explicit TStarMathLexer(std::u16string_view text) : text_(text) {}

  std::u16string_view Source() const { return text_; }
  std::size_t Position() const { return pos_; }
  // Valid until the next token is looked at.
  const TToken& Peek() const { return Cached(pos_); }
  TToken Take() {
    TToken token = At(pos_);
    pos_ = token.Next;
    return token;
  }
  // The parser looks at most tokens once before it takes them.
  const TToken& Cached(std::size_t pos) const {
    if (cachedPos_ != pos) {
      cached_ = Lex(pos);
      cachedPos_ = pos;
    }
    return cached_;
  }
  void Seek(std::size_t pos) { pos_ = pos; }

  // Where the name or number starting at `pos` ends.
  std::size_t WordEnd(std::size_t pos) const {
    const bool name = IsStarMathLetter(text_[pos]);
    std::size_t end = pos;
    while (end < text_.size() && IsStarMathWordChar(text_[end]) &&
           (name || !IsStarMathLetter(text_[end]))) {
      ++end;
    }
    return end;
  }

  // A name or number starting at `pos` that is no command word.
  bool PlainWordAt(std::size_t pos) const {
    if (pos >= text_.size() || !IsStarMathWordChar(text_[pos])) return false;
    return !IsStarMathLetter(text_[pos]) ||
           !IsStarMathReserved(text_.substr(pos, WordEnd(pos) - pos));
  }
  TToken PeekPastBlanks() {
    TToken token = Peek();
    while (token.Kind == TToken::Blank) {
      pos_ = token.Next;
      token = Peek();
    }
    return token;
  }

  TToken At(std::size_t pos) const { return Cached(pos); }

 private:
  TToken Lex(std::size_t pos) const {
    pos = SkipComments(pos);
    TToken token;
    token.Pos = pos;
    token.Next = pos + 1;
    if (pos >= text_.size()) {
      token.Next = pos;
      return token;
    }
    const char16_t c = text_[pos];
    if (IsBlank(c)) {
      std::size_t end = pos;
      while (end < text_.size() && IsBlank(text_[end])) ++end;
      return Make(token, TToken::Blank, std::u16string(end - pos, u' '), end);
    }
    if (IsStarMathWordChar(c)) return Word(token);
    switch (c) {
      case u'"':
        return QuotedText(token);
      case u'%':
        return Greek(token);
      case u'{':
        return Make(token, TToken::LBrace, u"{", pos + 1);
      case u'}':
        return Make(token, TToken::RBrace, u"}", pos + 1);
      case u'^':
        return Make(token, TToken::Sup, u"^", pos + 1);
      case u'_':
        return Make(token, TToken::Sub, u"_", pos + 1);
      case u'(':
      case u')':
        return Make(token, TToken::Paren, std::u16string(1, c), pos + 1);
      case u'\\':
        return Escaped(token);
      default:
        return Sign(token);
    }
  }

  // "%%" starts a comment that runs to the end of the line.
  std::size_t SkipComments(std::size_t pos) const {
    while (pos + 1 < text_.size() && text_[pos] == u'%' && text_[pos + 1] == u'%') {
      while (pos < text_.size() && text_[pos] != u'\n') ++pos;
    }
    return pos;
  }

  static TToken Make(TToken token, TToken::TKind kind, std::u16string text, std::size_t next) {
    token.Kind = kind;
    token.Text = std::move(text);
    token.Next = next;
    return token;
  }

  static TToken Fail(TToken token, std::string problem, std::size_t next) {
    token.Kind = TToken::Bad;
    token.Problem = std::move(problem);
    token.Next = next;
    return token;
  }

  // A name runs from a letter over letters and digits; digits before it
  // are a number of their own.
  TToken Word(TToken token) const {
    const std::size_t end = WordEnd(token.Pos);
    const std::u16string_view word = text_.substr(token.Pos, end - token.Pos);
    if (!IsStarMathLetter(word[0])) return Make(token, TToken::Number, std::u16string(word), end);
    if (!IsStarMathReserved(word)) return Make(token, TToken::Name, std::u16string(word), end);
    return Make(token, TToken::Command, StarMathLower(word), end);
  }

  // "…" is text; \" in it is a quote, and the word joiner the writer puts
  // after a backslash is dropped.
  TToken QuotedText(TToken token) const {
    std::u16string text;
    for (std::size_t i = token.Pos + 1; i < text_.size(); ++i) {
      const char16_t c = text_[i];
      if (c == u'"') {
        token.Quoted = true;
        return Make(token, TToken::Chars, std::move(text), i + 1);
      }
      if (c == u'\\' && i + 1 < text_.size() && text_[i + 1] == u'"') {
        text += u'"';
        ++i;
        continue;
      }
      if (c == u'\u2060' && i > 0 && text_[i - 1] == u'\\') continue;
      text += c;
    }
    return Fail(token, "Der Text „\"“ wird nicht mit „\"“ geschlossen.", text_.size());
  }

  TToken Greek(TToken token) const {
    std::size_t end = token.Pos + 1;
    while (end < text_.size() && IsStarMathLetter(text_[end]) && text_[end] < 0x80) ++end;
    const std::u16string_view name = text_.substr(token.Pos + 1, end - token.Pos - 1);
    if (const auto letter = StarMathGreek(name)) {
      token = Make(token, TToken::Chars, std::u16string(1, *letter), end);
      return token;
    }
    return Fail(
        token, "Unbekanntes Symbol " + Quoted(text_.substr(token.Pos, end - token.Pos)) + ".", end);
  }

  // "\(" and the like: a bracket that needs no partner.
  TToken Escaped(TToken token) const {
    const std::size_t pos = token.Pos;
    if (pos + 1 >= text_.size() || IsBlank(text_[pos + 1])) {
      return Fail(token, "Nach „\\“ fehlt eine Klammer.", pos + 1);
    }
    if (!IsStarMathLetter(text_[pos + 1])) {
      return Make(token, TToken::Chars, std::u16string(1, text_[pos + 1]), pos + 2);
    }
    constexpr std::pair<std::u16string_view, char16_t> kBrackets[] = {
        {u"lbrace", u'{'},      {u"rbrace", u'}'},      {u"langle", u'\u27E8'},
        {u"rangle", u'\u27E9'}, {u"lline", u'|'},       {u"rline", u'|'},
        {u"ldline", u'\u2016'}, {u"rdline", u'\u2016'}, {u"lceil", u'\u2308'},
        {u"rceil", u'\u2309'},  {u"lfloor", u'\u230A'}, {u"rfloor", u'\u230B'}};
    std::size_t end = pos + 1;
    while (end < text_.size() && IsStarMathLetter(text_[end])) ++end;
    const std::u16string word = StarMathLower(text_.substr(pos + 1, end - pos - 1));
    for (const auto& [name, bracket] : kBrackets) {
      if (name == word) return Make(token, TToken::Chars, std::u16string(1, bracket), end);
    }
    return Fail(token, "Unbekannte Klammer " + Quoted(text_.substr(pos, end - pos)) + ".", end);
  }

  // Signs of one or more characters; "<?>" is a place holder that
  // LibreOffice leaves for the user to fill.
  TToken Sign(TToken token) const {
    constexpr std::pair<std::u16string_view, std::u16string_view> kSigns[] = {
        {u"<?>", u""},      {u"+-", u"\u00B1"}, {u"-+", u"\u2213"}, {u"<=", u"\u2264"},
        {u">=", u"\u2265"}, {u"<>", u"\u2260"}, {u"<<", u"\u226A"}, {u">>", u"\u226B"},
        {u"->", u"\u2192"}, {u"&", u"\u2227"},  {u"|", u"\u2228"},  {u"~", u" "},
        {u"`", u" "}};
    const std::u16string_view rest = text_.substr(token.Pos);
    for (const auto& [sign, chars] : kSigns) {
      if (!rest.starts_with(sign)) continue;
      if (chars.empty()) {
        return Fail(token, "Der Platzhalter „<?>“ ist noch nicht ausgefüllt.",
                    token.Pos + sign.size());
      }
      return Make(token, TToken::Chars, std::u16string(chars), token.Pos + sign.size());
    }
    if (rest[0] == u'#') {
      return Fail(token, "Stapel und Matrizen („#“) werden nicht unterstützt.", token.Pos + 1);
    }
    std::size_t end = token.Pos + 1;
    if (IsHighSurrogate(rest[0]) && rest.size() > 1 && IsLowSurrogate(rest[1])) ++end;
    return Make(token, TToken::Chars, std::u16string(rest.substr(0, end - token.Pos)), end);
  }

  std::u16string_view text_;
  std::size_t pos_ = 0;
  mutable TToken cached_;
  mutable std::size_t cachedPos_ = std::u16string_view::npos;
};

enum class TScope { Top, Group, Fence, Paren };

bool EndsWord(const TToken& token) {
  return (token.Kind == TToken::Name || token.Kind == TToken::Number ||
          token.Kind == TToken::Command) ||
         (token.Kind == TToken::Chars && !token.Quoted && !token.Text.empty() &&
          IsStarMathWordChar(token.Text.back()));
}

bool StartsWord(const TToken& token) {
  return token.Kind == TToken::Name || token.Kind == TToken::Number ||
         token.Kind == TToken::Command;
}

std::string Word(std::u16string_view word) { return Quoted(word); }

class TStarMathReader {
 public:
  explicit TStarMathReader(std::u16string_view text) : lex_(text) {}

  bool Read(TTextSeq& seq) {
    TRow row;
    if (!ParseRow(row, TScope::Top, 0, false)) return false;
    seq = std::move(row).Finish();
    return tally_.TakeTop(seq) || Fail(0, kFormulaTooLarge);
  }
  const TReadFailure& Failure() const { return failure_; }

 private:
  using THandler = bool (TStarMathReader::*)(TRow&, const TToken&);

  bool Fail(std::size_t pos, std::string message) {
    if (failure_.Message.empty()) failure_ = {pos, std::move(message)};
    return false;
  }

  bool AddFunction(TRow& row, TTextNode node, std::size_t pos) {
    if (const char* problem = tally_.TakeFunction(node)) return Fail(pos, problem);
    row.AddEntry(std::move(node));
    return true;
  }

  // Every token taken passes here: a blank between a command word and a
  // name or number only keeps them apart when it is the only one.
  TToken Take() {
    TToken token = lex_.Take();
    before_ = last_;
    last_ = {EndsWord(token), token.Kind == TToken::Command || IsGreekToken(token)};
    return token;
  }

  static bool Closes(const TToken& token, TScope scope, const TRow& row) {
    switch (scope) {
      case TScope::Top:
        return token.Kind == TToken::End;
      case TScope::Group:
        return token.Kind == TToken::RBrace;
      case TScope::Fence:
        return token.Kind == TToken::Command && token.Text == u"right";
      case TScope::Paren:
        return token.Kind == TToken::Paren && token.Text == u")" && row.UnmatchedParens() == 0;
    }
    return false;
  }

  bool FailUnclosed(TScope scope, std::size_t openPos) {
    switch (scope) {
      case TScope::Group:
        return Fail(openPos, kBraceNotClosed);
      case TScope::Fence:
        return Fail(openPos, "„left“ ohne passendes „right“.");
      case TScope::Paren:
        return Fail(openPos, kParenNotClosed);
      case TScope::Top:
        break;
    }
    return false;
  }

  // Parses up to the token that closes `scope`, which it leaves.
  bool ParseRow(TRow& row, TScope scope, std::size_t openPos, bool textOnly) {
    TNestingGuard level(depth_);
    if (depth_ > kMaxTextNesting) return Fail(openPos, kTextTooDeep);
    for (;;) {
      const TToken& token = lex_.Peek();
      if (Closes(token, scope, row)) return true;
      if (token.Kind == TToken::End) return FailUnclosed(scope, openPos);
      if (token.Kind == TToken::Name || token.Kind == TToken::Number) {
        AddPlainRun(row);
        continue;
      }
      if (!ParseItem(row, textOnly)) return false;
    }
  }

  // Names, numbers and single-width blanks between them need no token each;
  // blanks before a command word are left for the blank rule.
  void AddPlainRun(TRow& row) {
    const std::u16string_view source = lex_.Source();
    std::size_t pos = lex_.Position();
    bool plain = lex_.PlainWordAt(pos);
    while (plain) {
      const std::size_t end = lex_.WordEnd(pos);
      row.AddAtom(source.substr(pos, end - pos));
      pos = end;
      std::size_t blanks = pos;
      while (blanks < source.size() && source[blanks] == u' ') ++blanks;
      plain = blanks > pos && lex_.PlainWordAt(blanks);
      if (!plain) break;
      row.AddRawBlanks(source.substr(pos, blanks - pos));
      pos = blanks;
    }
    lex_.Seek(pos);
    before_ = {};
    last_ = {true, false};
  }

  bool ParseItem(TRow& row, bool textOnly) {
    const TToken token = Take();
    switch (token.Kind) {
      case TToken::Blank:
        AddBlanks(row, token);
        return true;
      case TToken::Name:
      case TToken::Number:
        row.AddAtom(token.Text);
        return true;
      case TToken::Chars:
        AddChars(row, token);
        return true;
      case TToken::Paren:
        token.Text == u"(" ? row.AddOpenParen() : row.AddCloseParen();
        return true;
      case TToken::LBrace:
        return ParseGroup(row, token, textOnly);
      case TToken::RBrace:
        return Fail(token.Pos, "Die Klammer „}“ schließt nichts.");
      case TToken::Sup:
      case TToken::Sub:
        return ParseScript(row, token, textOnly);
      case TToken::Command:
        return ParseCommand(row, token, textOnly);
      case TToken::Bad:
        return Fail(token.Pos, token.Problem);
      case TToken::End:
        return true;
    }
    return true;
  }

  void AddBlanks(TRow& row, const TToken& blank) {
    const TToken& next = lex_.Peek();
    const bool separator =
        before_.EndsWord && StartsWord(next) && (before_.Command || next.Kind == TToken::Command);
    const std::size_t keep = blank.Text.size() - (separator ? 1 : 0);
    if (keep > 0) row.AddRawBlanks(blank.Text.substr(0, keep));
  }

  bool IsGreekToken(const TToken& token) const {
    return token.Kind == TToken::Chars && !token.Quoted && token.Pos < lex_.Source().size() &&
           lex_.Source()[token.Pos] == u'%';
  }

  static void AddChars(TRow& row, const TToken& token) {
    if (token.Text.empty()) return;
    if (!token.Quoted && token.Text == u" ") return row.AddSpacing(u" ");
    row.AddAtom(token.Text);
  }

  bool ParseGroup(TRow& row, const TToken& open, bool textOnly) {
    TRow inside;
    if (!ParseRow(inside, TScope::Group, open.Pos, textOnly)) return false;
    Take();
    if (textOnly) {
      row.Splice(std::move(inside));
      return true;
    }
    if (!tally_.CountEntry()) return Fail(open.Pos, kFormulaTooLarge);
    row.AddGroup(std::move(inside));
    return true;
  }

  // One operand: a group's content, a bracketed block with its brackets,
  // or one term or command, each with the scripts after it; a sign before
  // it is its own.
  bool ParseOperand(TRow& operand, const TToken& owner, bool textOnly) {
    TNestingGuard level(depth_);
    if (depth_ > kMaxTextNesting) return Fail(owner.Pos, kTextTooDeep);
    const TToken token = lex_.PeekPastBlanks();
    if (!StartsOperand(token)) {
      return Fail(owner.Pos, "Nach " + Word(OwnerText(owner)) + " fehlt ein Argument.");
    }
    if (IsPrefixSign(token)) {
      Take();
      const std::optional<std::u16string> sign = SignChars(token);
      operand.AddAtom(*sign);
      TRow rest;
      if (!ParseOperand(rest, token, textOnly)) return false;
      operand.Splice(std::move(rest));
      return true;
    }
    if (token.Kind == TToken::LBrace) {
      Take();
      if (!ParseRow(operand, TScope::Group, token.Pos, textOnly)) return false;
      Take();
    } else if (token.Kind == TToken::Paren) {
      Take();
      TRow inside;
      if (!ParseRow(inside, TScope::Paren, token.Pos, textOnly)) return false;
      Take();
      operand.AddOpenParen();
      operand.Splice(std::move(inside));
      operand.AddCloseParen();
    } else if (!ParseItem(operand, textOnly)) {
      return false;
    }
    return ParseScripts(operand, textOnly);
  }

  // + − ± ∓ ¬ before an operand.
  static std::optional<std::u16string> SignChars(const TToken& token) {
    if (token.Kind == TToken::Chars && !token.Quoted && IsSign(token.Text)) return token.Text;
    if (token.Kind != TToken::Command) return std::nullopt;
    const TStarSymbol* symbol = StarMathSymbolOfWord(token.Text);
    if (symbol == nullptr || symbol->Kind == TStarSign::Binary ||
        symbol->Kind == TStarSign::Operand) {
      return std::nullopt;
    }
    return std::u16string(1, symbol->Char);
  }

  static bool IsPrefixSign(const TToken& token) { return SignChars(token).has_value(); }

  static bool IsSign(std::u16string_view text) {
    return text == u"+" || text == u"-" || text == u"\u00B1" || text == u"\u2213" ||
           text == u"\u00AC";
  }

  std::u16string OwnerText(const TToken& owner) const {
    return std::u16string(lex_.Source().substr(owner.Pos, owner.Next - owner.Pos));
  }

  static bool StartsOperand(const TToken& token) {
    switch (token.Kind) {
      case TToken::Name:
      case TToken::Number:
      case TToken::Chars:
      case TToken::LBrace:
      case TToken::Bad:
        return true;
      case TToken::Paren:
        return token.Text == u"(";
      case TToken::Command:
        return token.Text != u"over" && token.Text != u"right" && token.Text != u"from" &&
               token.Text != u"to" && !IsScriptMark(token) &&
               (StarMathSymbolOfWord(token.Text) == nullptr ||
                StarMathSymbolOfWord(token.Text)->Kind != TStarSign::Binary);
      default:
        return false;
    }
  }

  bool ParseScripts(TRow& operand, bool textOnly) {
    for (;;) {
      const std::size_t at = lex_.Position();
      const TToken next = lex_.PeekPastBlanks();
      if (!IsScriptMark(next)) {
        lex_.Seek(at);  // the blanks belong to what follows
        return true;
      }
      Take();
      if (!ParseScript(operand, next, textOnly)) return false;
    }
  }

  static bool IsScriptMark(const TToken& token) {
    return token.Kind == TToken::Sup || token.Kind == TToken::Sub ||
           (token.Kind == TToken::Command && (token.Text == u"sup" || token.Text == u"rsup" ||
                                              token.Text == u"sub" || token.Text == u"rsub"));
  }

  bool ParseScript(TRow& row, const TToken& mark, bool textOnly) {
    const bool superscript =
        mark.Kind == TToken::Sup || mark.Text == u"sup" || mark.Text == u"rsup";
    const std::size_t from = lex_.PeekPastBlanks().Pos;
    TRow script;
    if (!ParseOperand(script, mark, !superscript || textOnly)) return false;
    if (superscript && !textOnly) {
      if (!row.HoldsContent()) return Fail(mark.Pos, "Vor „^“ fehlt die Basis der Potenz.");
      TRow base = row.TakeBase();
      base.StripParentheses();  // "{(x)}^2": the brackets the picture draws
      return AddFunction(row, MakeFunction(fkPotenz, std::move(script), std::move(base)), mark.Pos);
    }
    std::u16string_view typed = lex_.Source().substr(from, lex_.Position() - from);
    if (typed.size() >= 2 && typed.front() == u'{') typed = typed.substr(1, typed.size() - 2);
    std::string problem = AddScript(row, script.PlainText().value_or(u""), superscript, typed);
    return problem.empty() || Fail(mark.Pos, std::move(problem));
  }

  bool ParseCommand(TRow& row, const TToken& token, bool textOnly) {
    if (const TStarSymbol* symbol = StarMathSymbolOfWord(token.Text)) {
      row.AddAtom(std::u16string(1, symbol->Char));
      return true;
    }
    const THandler handler = HandlerOf(token.Text);
    if (handler == nullptr)
      return Fail(token.Pos, Word(OwnerText(token)) + " wird nicht unterstützt.");
    if (textOnly && handler != &TStarMathReader::ParseStyle &&
        handler != &TStarMathReader::ParseStyleWithValue) {
      return Fail(token.Pos, OnlyTextMessage(Word(OwnerText(token))));
    }
    return (this->*handler)(row, token);
  }

  static THandler HandlerOf(std::u16string_view word) {
    struct TRowOf {
      std::u16string_view Word;
      THandler Handler;
    };
    static constexpr TRowOf kTable[] = {
        {u"over", &TStarMathReader::ParseOver},
        {u"frac", &TStarMathReader::ParseFrac},
        {u"sqrt", &TStarMathReader::ParseSqrt},
        {u"nroot", &TStarMathReader::ParseNroot},
        {u"sum", &TStarMathReader::ParseBigOperator},
        {u"int", &TStarMathReader::ParseBigOperator},
        {u"abs", &TStarMathReader::ParseAbs},
        {u"func", &TStarMathReader::ParseFunc},
        {u"left", &TStarMathReader::ParseLeft},
        {u"right", &TStarMathReader::FailMisplaced},
        {u"from", &TStarMathReader::FailMisplaced},
        {u"to", &TStarMathReader::FailMisplaced},
        {u"sup", &TStarMathReader::ParseScriptWord},
        {u"rsup", &TStarMathReader::ParseScriptWord},
        {u"sub", &TStarMathReader::ParseScriptWord},
        {u"rsub", &TStarMathReader::ParseScriptWord},
        {u"bold", &TStarMathReader::ParseStyle},
        {u"nbold", &TStarMathReader::ParseStyle},
        {u"ital", &TStarMathReader::ParseStyle},
        {u"italic", &TStarMathReader::ParseStyle},
        {u"nitalic", &TStarMathReader::ParseStyle},
        {u"alignl", &TStarMathReader::ParseStyle},
        {u"alignc", &TStarMathReader::ParseStyle},
        {u"alignr", &TStarMathReader::ParseStyle},
        {u"nospace", &TStarMathReader::ParseStyle},
        {u"size", &TStarMathReader::ParseStyleWithValue},
        {u"color", &TStarMathReader::ParseStyleWithValue},
        {u"font", &TStarMathReader::ParseStyleWithValue},
    };
    for (const TRowOf& row : kTable) {
      if (row.Word == word) return row.Handler;
    }
    return IsStarMathFunctionWord(word) ? &TStarMathReader::ParseFunctionWord : nullptr;
  }

  bool FailMisplaced(TRow&, const TToken& token) {
    if (token.Text == u"right") return Fail(token.Pos, "„right“ ohne passendes „left“.");
    return Fail(token.Pos, Word(OwnerText(token)) + " steht nur nach „sum“ oder „int“.");
  }

  // The numerator is what stands right before: a group, a bracketed
  // block, a function or a name.
  bool ParseOver(TRow& row, const TToken& token) {
    if (!row.HoldsContent()) return Fail(token.Pos, "Vor „over“ fehlt der Zähler.");
    TRow numerator = row.TakeBase();
    TRow denominator;
    if (!ParseOperand(denominator, token, false)) return false;
    return AddFunction(row, MakeFunction(fkBruch, std::move(numerator), std::move(denominator)),
                       token.Pos);
  }

  bool ParseFrac(TRow& row, const TToken& token) {
    TRow numerator;
    TRow denominator;
    if (!ParseOperand(numerator, token, false) || !ParseOperand(denominator, token, false)) {
      return false;
    }
    return AddFunction(row, MakeFunction(fkBruch, std::move(numerator), std::move(denominator)),
                       token.Pos);
  }

  // A body: brackets around the whole operand are those the picture draws.
  bool ParseBody(TRow& body, const TToken& owner) {
    if (!ParseOperand(body, owner, false)) return false;
    body.StripParentheses();
    return true;
  }

  bool ParseSqrt(TRow& row, const TToken& token) {
    TRow body;
    if (!ParseOperand(body, token, false)) return false;
    return AddFunction(row, MakeBodyFunction(fkWurzel, std::move(body)), token.Pos);
  }

  bool ParseNroot(TRow& row, const TToken& token) {
    TRow index;
    TRow body;
    if (!ParseOperand(index, token, true) || !ParseOperand(body, token, false)) return false;
    TTextNode node = MakeBodyFunction(fkWurzel, std::move(body));
    node.Text1 = index.PlainText().value_or(u"");
    return AddFunction(row, std::move(node), token.Pos);
  }

  bool ParseAbs(TRow& row, const TToken& token) {
    TRow body;
    if (!ParseOperand(body, token, false)) return false;
    return AddFunction(row, MakeBodyFunction(fkBetrag, std::move(body)), token.Pos);
  }

  bool ParseBound(std::u16string& bound, const TToken& mark) {
    Take();
    TRow text;
    if (!ParseOperand(text, mark, true)) return false;
    bound = text.PlainText().value_or(u"");
    return true;
  }

  // "from" before "to", as LibreOffice has them.
  bool ParseBigOperator(TRow& row, const TToken& token) {
    const bool sum = token.Text == u"sum";
    TTextNode node;
    std::u16string lower;
    std::u16string upper;
    TToken next = lex_.PeekPastBlanks();
    if (next.Kind == TToken::Command && next.Text == u"from") {
      if (!ParseBound(lower, next)) return false;
      next = lex_.PeekPastBlanks();
    }
    if (next.Kind == TToken::Command && next.Text == u"to" && !ParseBound(upper, next)) {
      return false;
    }
    TRow body;
    if (!ParseBody(body, token)) return false;
    node = MakeBodyFunction(sum ? fkSumme : fkIntegral, std::move(body));
    node.Text1 = std::move(lower);
    node.Text2 = std::move(upper);
    return AddFunction(row, std::move(node), token.Pos);
  }

  bool ParseFunc(TRow& row, const TToken& token) {
    const TToken name = lex_.PeekPastBlanks();
    const bool named = name.Kind == TToken::Name || name.Kind == TToken::Command ||
                       (name.Kind == TToken::Chars && name.Quoted);
    if (!named) return Fail(token.Pos, "Nach „func“ fehlt der Name der Funktion.");
    Take();
    return ParseNamed(row, token, name.Kind == TToken::Command ? OwnerText(name) : name.Text);
  }

  bool ParseFunctionWord(TRow& row, const TToken& token) {
    return ParseNamed(row, token, OwnerText(token));
  }

  // A name with its scripts, then its argument; a name with nothing to
  // apply to is text.
  bool ParseNamed(TRow& row, const TToken& token, std::u16string name) {
    if (!ReadNameScripts(name)) return false;
    const std::size_t at = lex_.Position();
    const TToken next = lex_.PeekPastBlanks();
    if (!StartsOperand(next)) {
      lex_.Seek(at);
      row.AddAtom(name);
      return true;
    }
    TRow argument;
    if (!ParseBody(argument, token)) return false;
    TTextNode node = MakeBodyFunction(fkUser, std::move(argument));
    node.Text1 = std::move(name);
    return AddFunction(row, std::move(node), token.Pos);
  }

  bool ReadNameScripts(std::u16string& name) {
    for (TToken next = lex_.PeekPastBlanks(); IsScriptMark(next); next = lex_.PeekPastBlanks()) {
      Take();
      const bool superscript =
          next.Kind == TToken::Sup || next.Text == u"sup" || next.Text == u"rsup";
      const std::size_t from = lex_.PeekPastBlanks().Pos;
      TRow script;
      if (!ParseOperand(script, next, true)) return false;
      const std::u16string text = script.PlainText().value_or(u"");
      const std::u16string scripted = superscript ? Superscripted(text) : Subscripted(text);
      if (scripted.empty() && !text.empty()) {
        return Fail(next.Pos,
                    ScriptProblem(lex_.Source().substr(from, lex_.Position() - from), superscript));
      }
      name += scripted;
    }
    return true;
  }

  bool ParseScriptWord(TRow& row, const TToken& token) { return ParseScript(row, token, false); }

  // The style is LibreOffice's; the content stays, without the blanks
  // that kept it apart from the style's words.
  bool ParseStyle(TRow&, const TToken&) {
    lex_.PeekPastBlanks();
    return true;
  }

  bool ParseStyleWithValue(TRow&, const TToken& token) {
    const TToken value = lex_.PeekPastBlanks();
    if (value.Kind != TToken::Name && value.Kind != TToken::Number &&
        value.Kind != TToken::Command) {
      return Fail(token.Pos, "Nach " + Word(OwnerText(token)) + " fehlt ein Wert.");
    }
    Take();
    lex_.PeekPastBlanks();
    return true;
  }

  // The delimiter after "left" or "right": a bracket, a bar word or "none".
  bool ReadDelimiter(std::u16string& delimiter, const TToken& owner) {
    const TToken token = lex_.PeekPastBlanks();
    static constexpr std::pair<std::u16string_view, std::u16string_view> kWords[] = {
        {u"lline", u"|"},          {u"rline", u"|"},          {u"ldline", u"\u2016"},
        {u"rdline", u"\u2016"},    {u"langle", u"\u27E8"},    {u"rangle", u"\u27E9"},
        {u"lbrace", u"{"},         {u"rbrace", u"}"},         {u"lceil", u"\u2308"},
        {u"rceil", u"\u2309"},     {u"lfloor", u"\u230A"},    {u"rfloor", u"\u230B"},
        {u"ldbracket", u"\u27E6"}, {u"rdbracket", u"\u27E7"}, {u"none", u""}};
    if (token.Kind == TToken::Paren || (token.Kind == TToken::Chars && !token.Quoted &&
                                        (token.Text == u"[" || token.Text == u"]"))) {
      Take();
      delimiter = token.Text;
      return true;
    }
    for (const auto& [word, chars] : kWords) {
      if (token.Kind == TToken::Command && token.Text == word) {
        Take();
        delimiter = chars;
        return true;
      }
    }
    return Fail(owner.Pos, "Nach " + Word(OwnerText(owner)) +
                               " fehlt eine Klammer wie „(“, „[“ oder „lline“.");
  }

  // ( ) keep their meaning as brackets, | | make an absolute value, other
  // delimiters are text around the content.
  bool ParseLeft(TRow& row, const TToken& token) {
    std::u16string open;
    std::u16string close;
    TRow inside;
    if (!ReadDelimiter(open, token)) return false;
    if (!ParseRow(inside, TScope::Fence, token.Pos, false)) return false;
    const TToken right = Take();
    if (!ReadDelimiter(close, right)) return false;
    if (open == u"|" && close == u"|") {
      return AddFunction(row, MakeBodyFunction(fkBetrag, std::move(inside)), token.Pos);
    }
    open == u"(" ? row.AddOpenParen() : row.AddAtom(open);
    row.Splice(std::move(inside));
    close == u")" ? row.AddCloseParen() : row.AddAtom(close);
    return true;
  }

  TStarMathLexer lex_;
  int depth_ = 0;
  TTreeTally tally_;
  TReadFailure failure_;
  // What the blank rule needs of the token before the last one taken.
  struct TEdge {
    bool EndsWord = false;
    bool Command = false;  // a reserved word or a %name
  };
  TEdge before_;
  TEdge last_;
};

}  // namespace

bool FormulaFromStarMath(std::u16string_view text, TEntryCursor* cursor, TOwnedLine& out,
                         TTextError& error) {
  // A level opens with a brace, a bracket or a command word of at least
  // three letters.
  constexpr std::size_t kLevelsPerOpener = 4;
  const std::size_t openers = CountOf(text, std::u16string_view(u"{(")) + text.size() / 3;
  return ReadFormulaText(text, openers * kLevelsPerOpener, cursor, out, error,
                         [text](TTextSeq& seq, TReadFailure& failure) {
                           TStarMathReader reader(text);
                           if (reader.Read(seq)) return true;
                           failure = reader.Failure();
                           return false;
                         });
}

bool LooksLikeStarMath(std::u16string_view text) {
  constexpr std::u16string_view kWords[] = {u"over", u"sqrt", u"nroot", u"from",
                                            u"to",   u"abs",  u"func",  u"lline"};
  if (text.find(u'\\') != std::u16string_view::npos) return false;
  for (std::size_t i = 0; i < text.size();) {
    if (!IsStarMathLetter(text[i])) {
      ++i;
      continue;
    }
    // A name as LibreOffice reads it: a letter, then letters and digits.
    std::size_t end = i;
    while (end < text.size() && IsStarMathWordChar(text[end])) ++end;
    if (end - i <= 5) {
      const std::u16string word = StarMathLower(text.substr(i, end - i));
      if (std::find(std::begin(kWords), std::end(kWords), word) != std::end(kWords)) return true;
    }
    i = end;
  }
  return false;
}
