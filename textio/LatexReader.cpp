// LaTeX to formula: recursive descent over the tokens, building rows in
// which "^" finds its base and a sum finds its summand. The recursion follows
// the text's own nesting, which is bounded, and each token is looked at a
// bounded number of times.
#include <algorithm>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>

#include "model/BlockBudget.h"
#include "textio/DeepStack.h"
#include "textio/FormulaText.h"
#include "textio/LatexLexer.h"
#include "textio/Symbols.h"
#include "textio/TextError.h"
#include "textio/TextReading.h"
#include "textio/TextTree.h"

namespace {

using TToken = TLatexToken;

// Where a row ends: the closing token stays for the row's opener to take.
enum class TScope { Top, Group, Optional, Fence, Bar, Paren };

// An operand written without brackets, and so what ends it: the summand at
// a relation sign, comma, semicolon or spacing command, the integrand also
// after its differential, a function's argument also at + and −.
enum class TOperand { None, Sum, Integral, Function };

struct TContext {
  TScope Scope = TScope::Top;
  bool TextOnly = false;    // bounds, root indices, names: text and scripts only
  std::size_t OpenPos = 0;  // where the scope was opened
  TOperand Operand = TOperand::None;
  bool InIntegral = false;  // the operand ends before the integral's differential
};

template <std::size_t N>
bool IsOneOf(std::u16string_view name, const std::u16string_view (&names)[N]) {
  return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

constexpr std::u16string_view kFractions[] = {u"frac", u"dfrac", u"tfrac", u"cfrac"};
constexpr std::u16string_view kTextCommands[] = {u"text",   u"textrm", u"textnormal", u"textit",
                                                 u"textbf", u"textsf", u"texttt",     u"textup",
                                                 u"mbox",   u"hbox"};
// Their style is dropped, their content kept.
constexpr std::u16string_view kMathFonts[] = {
    u"mathrm",   u"mathit",  u"mathbf",     u"mathsf",    u"mathtt",     u"mathcal",   u"mathbb",
    u"mathfrak", u"mathscr", u"boldsymbol", u"bm",        u"mathnormal", u"mathord",   u"mathop",
    u"mathbin",  u"mathrel", u"mathopen",   u"mathclose", u"mathpunct",  u"mathinner", u"pmb"};
constexpr std::u16string_view kStyleSwitches[] = {
    u"displaystyle", u"textstyle", u"scriptstyle", u"scriptscriptstyle", u"rm", u"bf", u"it",
    u"sf",           u"tt",        u"cal",         u"nonumber"};
constexpr std::u16string_view kUnsupported[] = {u"over",
                                                u"atop",
                                                u"choose",
                                                u"binom",
                                                u"dbinom",
                                                u"tbinom",
                                                u"overline",
                                                u"underline",
                                                u"hat",
                                                u"widehat",
                                                u"bar",
                                                u"vec",
                                                u"dot",
                                                u"ddot",
                                                u"tilde",
                                                u"widetilde",
                                                u"overbrace",
                                                u"underbrace",
                                                u"overrightarrow",
                                                u"overleftarrow",
                                                u"stackrel",
                                                u"overset",
                                                u"underset",
                                                u"substack",
                                                u"matrix",
                                                u"pmatrix",
                                                u"bmatrix",
                                                u"cases",
                                                u"not",
                                                u"boxed",
                                                u"cancel",
                                                u"color",
                                                u"textcolor",
                                                u"phantom",
                                                u"label",
                                                u"tag",
                                                u"newcommand",
                                                u"def",
                                                u"sideset"};

struct TSpacing {
  std::u16string_view Name;
  std::u16string_view Blanks;
};
constexpr TSpacing kSpacings[] = {
    {u"quad", u"  "},       {u"qquad", u"    "},   {u"enspace", u" "},
    {u"thinspace", u" "},   {u"medspace", u" "},   {u"thickspace", u" "},
    {u"negthinspace", u""}, {u"negmedspace", u""}, {u"negthickspace", u""}};

// Appended rather than "\\" + name, which GCC 12 warns about in optimised builds.
std::string Command(std::u16string_view name) { return Quoted(std::u16string(u"\\").append(name)); }

std::u16string Blanks(std::u16string_view raw) { return std::u16string(raw.size(), u' '); }

// Commands whose argument may be the "d" of a differential: "\mathrm{d}x".
constexpr std::u16string_view kDifferentialFonts[] = {u"mathrm", u"mathit", u"text", u"textrm",
                                                      u"operatorname"};

std::string Ascii(std::u16string_view name) { return std::string(name.begin(), name.end()); }

bool IsGreek(char16_t c) { return c >= 0x370 && c <= 0x3FF; }

// Characters that text-mode commands stand for, in \text{…} as in a formula.
std::optional<std::u16string_view> TextCommandCharacter(std::u16string_view name) {
  constexpr std::pair<std::u16string_view, std::u16string_view> kCharacters[] = {
      {u"textasciicircum", u"^"}, {u"textasciitilde", u"~"},          {u"textbackslash", u"\\"},
      {u"texttimes", u"\u00D7"},  {u"textperiodcentered", u"\u00B7"}, {u"textminus", u"\u2212"}};
  for (const auto& [command, chars] : kCharacters) {
    if (command == name) return chars;
  }
  return std::nullopt;
}

// Spacing commands end a summand, an integrand or a function's argument.
bool IsSpacingCommand(const TToken& token) {
  if (token.Kind == TToken::Symbol) {
    return token.Text == u"," || token.Text == u":" || token.Text == u";" || token.Text == u">";
  }
  if (token.Kind != TToken::Word) return false;
  if (token.Text == u"hspace" || token.Text == u"mspace") return true;
  return std::any_of(std::begin(kSpacings), std::end(kSpacings), [&token](const TSpacing& s) {
    return s.Name == token.Text && !s.Blanks.empty();
  });
}

// The character a token stands for, when it is one: for the stop signs.
std::optional<std::u16string_view> AtomOf(const TToken& token) {
  if (token.Kind == TToken::Char) return token.Text;
  if (token.Kind == TToken::Word) return SymbolOfLatexName(Ascii(token.Text));
  return std::nullopt;
}

struct TFence {
  std::u16string Open;
  std::u16string Close;
  TRow Inside;
};

// What stands in brackets right after a sign or a name. The writer puts
// every body in \left( \right): only plain brackets take a differential
// after them into the integrand, so that a term after a written integral
// stays where it was.
enum class TDelimited { None, Parens, Group, Fenced, Failed };

enum class TOperandEnd { No, Here, AfterDifferential };

class TLatexReader {
 public:
  TLatexReader(std::u16string_view text, std::size_t begin, std::size_t end)
      : lex_(text, begin, end) {}

  bool Read(TTextSeq& seq) {
    TRow row;
    if (!ParseRow(row, {})) return false;
    seq = std::move(row).Finish();
    return tally_.TakeTop(seq) || Fail(0, kFormulaTooLarge);
  }
  // Set once Read has returned false.
  const TReadFailure& Failure() const { return failure_; }

 private:
  using THandler = bool (TLatexReader::*)(TRow&, TContext, const TToken&);
  struct TCommand {
    THandler Handler;
    bool Construct;  // a fraction, root, fence or function: refused where only text stands
  };

  // The first failure is the one the user sees; the callers only unwind.
  bool Fail(std::size_t pos, std::string message) {
    if (failure_.Message.empty()) failure_ = {pos, std::move(message)};
    return false;
  }

  // The tree is counted while it is read, so that a text of many small
  // functions is refused before its record blocks are asked for.
  bool AddFunction(TRow& row, TTextNode node, std::size_t pos) {
    if (const char* problem = tally_.TakeFunction(node)) return Fail(pos, problem);
    row.AddEntry(std::move(node));
    return true;
  }

  // A group is a term of its own, and an entry may stand between texts.
  bool CountEntry() { return tally_.CountEntry(); }

  static bool ClosesScope(const TToken& token, TScope scope, const TRow& row) {
    switch (token.Kind) {
      case TToken::End:
        return scope == TScope::Top;
      case TToken::RBrace:
        return scope == TScope::Group;
      case TToken::Char:
        return (scope == TScope::Optional && token.Text == u"]") ||
               (scope == TScope::Bar && token.Text == u"|") ||
               (scope == TScope::Paren && token.Text == u")" && row.UnmatchedParens() == 0);
      case TToken::Word:
        return (scope == TScope::Fence && token.Text == u"right") ||
               (scope == TScope::Bar && token.Text == u"rvert");
      default:
        return false;
    }
  }

  bool FailUnclosed(TScope scope, std::size_t openPos) {
    switch (scope) {
      case TScope::Group:
        return Fail(openPos, kBraceNotClosed);
      case TScope::Optional:
        return Fail(openPos, "Die Klammer „[“ des Wurzelexponenten wird nicht geschlossen.");
      case TScope::Fence:
        return Fail(openPos, "„\\left“ ohne passendes „\\right“.");
      case TScope::Bar:
        return Fail(openPos, "Der Betragsstrich „|“ wird nicht geschlossen.");
      default:
        return Fail(openPos, kParenNotClosed);
    }
  }

  // Parses up to the token that ends `ctx.Scope` or the operand, which it leaves.
  bool ParseRow(TRow& row, TContext ctx) {
    TNestingGuard level(depth_);
    if (depth_ > kMaxTextNesting) return Fail(ctx.OpenPos, kTextTooDeep);
    for (;;) {
      const TToken token = lex_.Peek();
      if (ClosesScope(token, ctx.Scope, row)) return true;
      if (token.Kind == TToken::End) return FailUnclosed(ctx.Scope, ctx.OpenPos);
      if (ctx.Operand != TOperand::None) {
        const auto [end, differentialEnd] = OperandEnd(ctx, row, token);
        if (end == TOperandEnd::Here) return true;
        if (end == TOperandEnd::AfterDifferential) return ParseDifferential(row, differentialEnd);
      } else if (IsPlainChar(token)) {
        const std::size_t word = PastDigits(token.Pos);
        if (!ctx.TextOnly && !StarMathWordAt(word).empty()) return FailStarMathWord(word);
        AddPlainRun(row, token.Pos);
        continue;
      }
      if (!ParseItem(row, ctx, token)) return false;
    }
  }

  static bool IsPlainChar(const TToken& token) {
    const char16_t c = token.Text.empty() ? 0 : token.Text[0];
    return token.Kind == TToken::Char && (IsLatexLetter(c) || (c >= u'0' && c <= u'9'));
  }

  // Letters and digits in a row, outside an operand, need no token each.
  void AddPlainRun(TRow& row, std::size_t pos) {
    const std::u16string_view source = lex_.Source();
    std::size_t end = pos;
    while (end < lex_.End() &&
           (IsLatexLetter(source[end]) || (source[end] >= u'0' && source[end] <= u'9'))) {
      ++end;
    }
    row.AddAtoms(source.substr(pos, end - pos));
    lex_.Seek(end);
  }

  // Parses a scope and takes its closing token.
  bool ParseScope(TRow& row, TContext ctx) {
    if (!ParseRow(row, ctx)) return false;
    lex_.Take();
    return true;
  }

  // The first token past blanks from `pos`, without moving.
  TToken PastBlanks(std::size_t pos) const {
    TToken token = lex_.PeekAt(pos);
    while (token.Kind == TToken::Blank || token.Kind == TToken::Nothing) {
      token = lex_.PeekAt(token.Next);
    }
    return token;
  }

  // Whether the operand ends at `token`. Blanks before a stop go with what
  // follows the operand. A differential ends an integrand after itself and
  // any other operand inside the integral before itself.
  std::pair<TOperandEnd, std::size_t> OperandEnd(const TContext& ctx, const TRow& row,
                                                 const TToken& token) const {
    const TToken next = token.Kind == TToken::Blank ? lex_.PeekAt(token.Next) : token;
    if (next.Kind == TToken::Char && next.Text == u")" && row.UnmatchedParens() == 0) {
      return {TOperandEnd::Here, 0};
    }
    const bool spacing = IsSpacingCommand(next);
    const bool own = ctx.Operand == TOperand::Integral;
    if (ctx.InIntegral && (own || row.HoldsContent())) {
      const TToken mark =
          next.Kind == TToken::Symbol && next.Text == u"," ? PastBlanks(next.Next) : next;
      if (const auto end = DifferentialEnd(mark)) {
        return {own ? TOperandEnd::AfterDifferential : TOperandEnd::Here, *end};
      }
    }
    if (spacing) return {row.HoldsContent() ? TOperandEnd::Here : TOperandEnd::No, 0};
    const auto atom = AtomOf(next);
    const bool ends = atom && (ctx.Operand == TOperand::Function ? EndsFunctionOperand(*atom)
                                                                 : EndsBigOperand(*atom));
    return {ends ? TOperandEnd::Here : TOperandEnd::No, 0};
  }

  // "dx", "d\theta", "\mathrm{d}x": where the differential starting at
  // `token` ends. A "d" right after a letter is part of a word.
  std::optional<std::size_t> DifferentialEnd(const TToken& token) const {
    const std::u16string_view source = lex_.Source();
    std::size_t after = 0;
    if (token.Kind == TToken::Char && token.Text == u"d") {
      if (token.Pos > 0 && IsLatexLetter(source[token.Pos - 1])) return std::nullopt;
      after = token.Next;
    } else if (token.Kind == TToken::Word && IsOneOf(token.Text, kDifferentialFonts)) {
      const TToken brace = PastBlanks(token.Next);
      if (brace.Kind != TToken::LBrace || source.substr(brace.Pos, 3) != u"{d}") {
        return std::nullopt;
      }
      after = brace.Pos + 3;
    } else {
      return std::nullopt;
    }
    const TToken variable = PastBlanks(after);
    std::optional<std::u16string_view> chars = AtomOf(variable);
    const bool letter =
        chars && chars->size() == 1 && (IsLatexLetter((*chars)[0]) || IsGreek((*chars)[0]));
    if (!letter) return std::nullopt;
    return variable.Next;
  }

  // The differential ends the integrand: its items up to `end` join it.
  bool ParseDifferential(TRow& row, std::size_t end) {
    while (lex_.Position() < end) {
      if (!ParseItem(row, {TScope::Group, false, lex_.Position()})) return false;
    }
    return true;
  }

  bool ParseItem(TRow& row, TContext ctx) { return ParseItem(row, ctx, lex_.Peek()); }

  // `token` is the next token, already looked at: it is not lexed again.
  bool ParseItem(TRow& row, TContext ctx, const TToken& token) {
    lex_.Seek(token.Next);
    switch (token.Kind) {
      case TToken::Blank:
        row.AddRawBlanks(Blanks(token.Text));
        return true;
      case TToken::Tilde:
        row.AddSpacing(u" ");
        return true;
      case TToken::Char:
        return ParseChar(row, ctx, token);
      case TToken::LBrace:
        return ParseGroup(row, ctx, token.Pos);
      case TToken::RBrace:
        return Fail(token.Pos, "Die Klammer „}“ schließt nichts.");
      case TToken::Sup:
        return ParseSuperscript(row, ctx, token);
      case TToken::Sub:
        return ParseSubscript(row, token);
      case TToken::Special:
        return FailSpecial(token);
      case TToken::Bad:
        return Fail(token.Pos, token.Problem);
      case TToken::Symbol:
        return ParseSymbol(row, token);
      case TToken::Word:
        return ParseCommand(row, ctx, token);
      default:
        return true;  // End, Nothing
    }
  }

  bool FailSpecial(const TToken& token) {
    if (token.Text == u"&") {
      return Fail(token.Pos, "Spaltentrenner „&“ werden nicht unterstützt (keine Matrizen).");
    }
    if (token.Text == u"#")
      return Fail(token.Pos, "„#“ ist hier nicht erlaubt; als Zeichen: „\\#“.");
    return Fail(token.Pos, "„$“ darf nur die ganze Formel einschließen.");
  }

  bool ParseChar(TRow& row, TContext ctx, const TToken& token) {
    if (token.Text == u"(") {
      row.AddOpenParen();
    } else if (token.Text == u")") {
      row.AddCloseParen();
    } else if (token.Text == u"|" && !ctx.TextOnly) {
      return ParseBars(row, token.Pos);
    } else if (!ctx.TextOnly && !StarMathWordAt(token.Pos).empty()) {
      return FailStarMathWord(token.Pos);
    } else {
      row.AddAtom(token.Text);
    }
    return true;
  }

  std::size_t PastDigits(std::size_t pos) const {
    while (pos < lex_.End() && lex_.Source()[pos] >= u'0' && lex_.Source()[pos] <= u'9') ++pos;
    return pos;
  }

  // "over" or "sqrt" as a word of its own at `pos` (digits may stand before
  // it) is LibreOffice Math's notation, which would read as plain letters.
  std::u16string_view StarMathWordAt(std::size_t pos) const {
    const std::u16string_view source = lex_.Source();
    if (pos > 0 && IsLatexLetter(source[pos - 1])) return {};
    for (const std::u16string_view word :
         {std::u16string_view(u"over"), std::u16string_view(u"sqrt")}) {
      const std::size_t end = pos + word.size();
      if (end <= lex_.End() && source.substr(pos, word.size()) == word &&
          (end == lex_.End() ||
           !(IsLatexLetter(source[end]) || (source[end] >= u'0' && source[end] <= u'9')))) {
        return word;
      }
    }
    return {};
  }

  bool FailStarMathWord(std::size_t pos) {
    const std::u16string_view word = StarMathWordAt(pos);
    return Fail(pos,
                Quoted(word) +
                    " ist kein LaTeX: der Text sieht nach der Schreibweise von LibreOffice Math "
                    "aus; in LaTeX heißt es " +
                    (word == u"over" ? "„\\frac{a}{b}“." : "„\\sqrt{x}“."));
  }

  bool ParseBars(TRow& row, std::size_t pos) {
    TRow inside;
    if (!ParseScope(inside, {TScope::Bar, false, pos})) return false;
    return AddFunction(row, MakeBodyFunction(fkBetrag, std::move(inside)), pos);
  }

  // "{}" right after a command's name only ends the name.
  bool EndsCommandName(std::size_t pos) const {
    const std::u16string_view source = lex_.Source();
    if (pos + 1 >= lex_.End() || source[pos + 1] != u'}') return false;
    std::size_t start = pos;
    while (start > 0 && IsLatexLetter(source[start - 1])) --start;
    return start < pos && start > 0 && source[start - 1] == u'\\';
  }

  bool ParseGroup(TRow& row, TContext ctx, std::size_t pos) {
    if (EndsCommandName(pos)) {
      lex_.Take();
      emptyGroupEnd_ = lex_.Position();
      return true;
    }
    TRow inside;
    if (!ParseScope(inside, {TScope::Group, ctx.TextOnly, pos})) return false;
    if (inside.Empty()) emptyGroupEnd_ = lex_.Position();
    if (!ctx.TextOnly && !CountEntry()) return Fail(pos, kFormulaTooLarge);
    // In text the braces only group; in a row they keep a term apart.
    ctx.TextOnly ? row.Splice(std::move(inside)) : row.AddGroup(std::move(inside));
    return true;
  }

  bool ParseSymbol(TRow& row, const TToken& token) {
    const std::u16string_view c = token.Text;
    if (c == u"," || c == u":" || c == u";" || c == u">" || c == u" ") {
      row.AddSpacing(u" ");
    } else if (c == u"!") {
      // a negative space: nothing to take away
    } else if (std::u16string_view(u"{}#$%&_").find(c) != std::u16string_view::npos) {
      row.AddAtom(c);
    } else if (c == u"|") {
      row.AddAtom(u"\u2016");
    } else if (c == u"\\") {
      return Fail(token.Pos, "Zeilenumbrüche „\\\\“ werden nicht unterstützt.");
    } else if (std::u16string_view(u"()[]").find(c) != std::u16string_view::npos) {
      return Fail(token.Pos, Command(c) + " darf nur die ganze Formel einschließen.");
    } else {
      return Fail(token.Pos, "Unbekannter Befehl " + Command(c) + ".");
    }
    return true;
  }

  bool FailTextOnly(const TToken& token) {
    return Fail(token.Pos, OnlyTextMessage(Command(token.Text)));
  }

  // One table says what each command does; what it does not name is a
  // function name, a symbol or unknown.
  static const TCommand* FindCommand(std::u16string_view name) {
    static const std::unordered_map<std::u16string_view, TCommand> table = CommandTable();
    const auto found = table.find(name);
    return found == table.end() ? nullptr : &found->second;
  }

  static std::unordered_map<std::u16string_view, TCommand> CommandTable() {
    static constexpr std::u16string_view kRoot[] = {u"sqrt"};
    static constexpr std::u16string_view kSum[] = {u"sum"};
    static constexpr std::u16string_view kIntegral[] = {u"int"};
    static constexpr std::u16string_view kLeft[] = {u"left"};
    static constexpr std::u16string_view kRight[] = {u"right"};
    static constexpr std::u16string_view kLvert[] = {u"lvert"};
    static constexpr std::u16string_view kOperatorName[] = {u"operatorname"};
    static constexpr std::u16string_view kSpaceCommands[] = {u"hspace", u"mspace"};
    static constexpr std::u16string_view kLimits[] = {u"limits", u"nolimits"};
    static constexpr std::u16string_view kEnvironments[] = {u"begin", u"end"};
    static constexpr std::u16string_view kSpacingNames[] = {
        u"quad",       u"qquad",        u"enspace",     u"thinspace",    u"medspace",
        u"thickspace", u"negthinspace", u"negmedspace", u"negthickspace"};
    struct TRows {
      std::span<const std::u16string_view> Names;
      THandler Handler;
      bool Construct;
    };
    const TRows rows[] = {
        {kFractions, &TLatexReader::ParseFraction, true},
        {kRoot, &TLatexReader::ParseRoot, true},
        {kSum, &TLatexReader::ParseSum, false},
        {kIntegral, &TLatexReader::ParseIntegral, false},
        {kLeft, &TLatexReader::ParseLeft, true},
        {kRight, &TLatexReader::FailRight, false},
        {kLvert, &TLatexReader::ParseLvert, false},
        {kOperatorName, &TLatexReader::ParseOperatorName, true},
        {kTextCommands, &TLatexReader::ParseTextCommand, false},
        {kMathFonts, &TLatexReader::ParseMathFont, false},
        {kStyleSwitches, &TLatexReader::SkipStyleSwitch, false},
        {kSpacingNames, &TLatexReader::ParseSpacing, false},
        {kSpaceCommands, &TLatexReader::ParseSpaceCommand, false},
        {kLimits, &TLatexReader::FailLimits, false},
        {kEnvironments, &TLatexReader::FailEnvironment, false},
        {kUnsupported, &TLatexReader::FailUnsupported, false},
    };
    std::unordered_map<std::u16string_view, TCommand> table;
    for (const TRows& row : rows) {
      for (std::u16string_view name : row.Names)
        table.emplace(name, TCommand{row.Handler, row.Construct});
    }
    return table;
  }

  bool ParseCommand(TRow& row, TContext ctx, const TToken& token) {
    const TCommand* command = FindCommand(token.Text);
    if (command == nullptr) return ParseOtherCommand(row, ctx, token);
    if (command->Construct && ctx.TextOnly) return FailTextOnly(token);
    return (this->*command->Handler)(row, ctx, token);
  }

  // Function names, delimiters and the commands that stand for characters.
  bool ParseOtherCommand(TRow& row, TContext ctx, const TToken& token) {
    const std::u16string_view name = token.Text;
    if (IsStandardOperatorName(name)) {
      if (ctx.TextOnly) return FailTextOnly(token);
      return ParseNamed(row, ctx, token, std::u16string(name));
    }
    if (const std::u16string_view delimiter = LatexDelimiterWord(name); !delimiter.empty()) {
      row.AddAtom(delimiter);
      return true;
    }
    if (const auto text = TextCommandCharacter(name)) {
      row.AddAtom(*text);
      return true;
    }
    if (const auto symbol = SymbolOfLatexName(Ascii(name))) {
      row.AddAtom(*symbol);
      if (IsLetterLike(*symbol)) SkipBlanksBeforeLetter();
      return true;
    }
    return Fail(token.Pos, "Unbekannter Befehl " + Command(name) + ".");
  }

  bool FailRight(TRow&, TContext, const TToken& token) {
    return Fail(token.Pos, "„\\right“ ohne passendes „\\left“.");
  }

  bool FailLimits(TRow&, TContext, const TToken& token) {
    return Fail(token.Pos, Command(token.Text) + " steht nur direkt nach „\\sum“ oder „\\int“.");
  }

  bool FailUnsupported(TRow&, TContext, const TToken& token) {
    return Fail(token.Pos, Command(token.Text) + " wird nicht unterstützt.");
  }

  bool SkipStyleSwitch(TRow&, TContext, const TToken&) {
    lex_.PeekPastBlanks();
    return true;
  }

  bool ParseSpacing(TRow& row, TContext, const TToken& token) {
    lex_.PeekPastBlanks();
    for (const TSpacing& spacing : kSpacings) {
      if (spacing.Name == token.Text && !spacing.Blanks.empty()) row.AddSpacing(spacing.Blanks);
    }
    return true;
  }

  bool ParseLvert(TRow& row, TContext ctx, const TToken& token) {
    if (!ctx.TextOnly) return ParseBars(row, token.Pos);
    row.AddAtom(u"|");
    return true;
  }

  // "\alpha x" is αx, as in TeX; "a \times b" keeps both blanks.
  void SkipBlanksBeforeLetter() {
    const TToken blank = lex_.Peek();
    if (blank.Kind != TToken::Blank) return;
    const std::size_t after = blank.Next;
    if (after < lex_.End() && IsLatexLetter(lex_.Source()[after])) lex_.Take();
  }

  bool FailEnvironment(TRow&, TContext, const TToken& token) {
    std::u16string environment;
    const std::u16string_view source = lex_.Source();
    std::size_t pos = lex_.Position();
    if (pos < lex_.End() && source[pos] == u'{') {
      const std::u16string_view near =
          source.substr(pos, std::min<std::size_t>(40, lex_.End() - pos));
      const std::size_t close = near.find(u'}');
      if (close != std::u16string_view::npos) environment = near.substr(0, close + 1);
    }
    return Fail(token.Pos, "Umgebungen wie " + Command(std::u16string(token.Text) + environment) +
                               " werden nicht unterstützt.");
  }

  bool ParseSpaceCommand(TRow& row, TContext, const TToken& token) {
    const TToken star = lex_.Peek();
    if (star.Kind == TToken::Char && star.Text == u"*") lex_.Take();
    TRow ignored;
    if (!ParseArgument(ignored, true, token)) return false;
    row.AddSpacing(u" ");
    return true;
  }

  // One argument: a group, or a single character or command.
  bool ParseArgument(TRow& arg, bool textOnly, const TToken& owner) {
    const TToken token = lex_.PeekPastBlanks();
    switch (token.Kind) {
      case TToken::LBrace:
        lex_.Take();
        return ParseScope(arg, {TScope::Group, textOnly, token.Pos});
      case TToken::Char:
        lex_.Take();
        arg.AddAtom(token.Text);
        return true;
      case TToken::Word:
      case TToken::Symbol:
      case TToken::Tilde:
      case TToken::Bad: {
        TNestingGuard level(depth_);
        if (depth_ > kMaxTextNesting) return Fail(token.Pos, kTextTooDeep);
        return ParseItem(arg, {TScope::Group, textOnly, token.Pos});
      }
      default: {
        const std::string what =
            owner.Kind == TToken::Word ? Command(owner.Text) : Quoted(owner.Text);
        return Fail(owner.Pos, "Nach " + what + " fehlt ein Argument.");
      }
    }
  }

  // An argument of "^" or "_", with what the user typed for it (without
  // its braces), which a message quotes.
  bool ParseScriptArgument(TRow& arg, bool textOnly, const TToken& mark,
                           std::u16string_view& typed) {
    const TToken first = lex_.PeekPastBlanks();
    if (!ParseArgument(arg, textOnly, mark)) return false;
    typed = lex_.Source().substr(first.Pos, lex_.Position() - first.Pos);
    if (first.Kind == TToken::LBrace && typed.size() >= 2)
      typed = typed.substr(1, typed.size() - 2);
    return true;
  }

  bool ParseFraction(TRow& row, TContext, const TToken& token) {
    if (token.Text == u"cfrac") SkipOptionalArgument();
    TRow first;
    TRow second;
    if (!ParseArgument(first, false, token) || !ParseArgument(second, false, token)) return false;
    return AddFunction(row, MakeFunction(fkBruch, std::move(first), std::move(second)), token.Pos);
  }

  void SkipOptionalArgument() {
    TToken next = lex_.PeekPastBlanks();
    if (next.Kind != TToken::Char || next.Text != u"[") return;
    while (next.Kind != TToken::End && !(next.Kind == TToken::Char && next.Text == u"]")) {
      next = lex_.Take();
    }
  }

  bool ParseRoot(TRow& row, TContext, const TToken& token) {
    std::u16string index;
    const TToken next = lex_.PeekPastBlanks();
    if (next.Kind == TToken::Char && next.Text == u"[") {
      lex_.Take();
      TRow indexRow;
      if (!ParseScope(indexRow, {TScope::Optional, true, next.Pos})) return false;
      index = indexRow.PlainText().value_or(u"");
    }
    TRow body;
    if (!ParseArgument(body, false, token)) return false;
    TTextNode node = MakeBodyFunction(fkWurzel, std::move(body));
    node.Text1 = std::move(index);
    return AddFunction(row, std::move(node), token.Pos);
  }

  bool ParseBound(std::optional<std::u16string>& bound, const TToken& mark) {
    if (bound) {
      return Fail(mark.Pos, mark.Kind == TToken::Sub ? "Die untere Grenze steht zweimal."
                                                     : "Die obere Grenze steht zweimal.");
    }
    lex_.Take();
    TRow boundRow;
    if (!ParseArgument(boundRow, true, mark)) return false;
    bound = boundRow.PlainText().value_or(u"");
    return true;
  }

  bool ParseSum(TRow& row, TContext ctx, const TToken& token) {
    return ParseBigOperator(row, ctx, token, fkSumme, u"\u2211");
  }

  bool ParseIntegral(TRow& row, TContext ctx, const TToken& token) {
    return ParseBigOperator(row, ctx, token, fkIntegral, u"\u222B");
  }

  // "_" and "^" in either order, with \limits or \nolimits anywhere between.
  bool ParseBigOperator(TRow& row, TContext ctx, const TToken& token, std::uint32_t kind,
                        std::u16string_view sign) {
    if (ctx.TextOnly) {
      row.AddAtom(sign);
      return true;
    }
    std::optional<std::u16string> lower;
    std::optional<std::u16string> upper;
    for (TToken next = lex_.PeekPastBlanks();; next = lex_.PeekPastBlanks()) {
      if (next.Kind == TToken::Word && (next.Text == u"limits" || next.Text == u"nolimits")) {
        lex_.Take();
      } else if (next.Kind == TToken::Sub || next.Kind == TToken::Sup) {
        if (!ParseBound(next.Kind == TToken::Sub ? lower : upper, next)) return false;
      } else {
        break;
      }
    }
    TRow body;
    bool bracketed = false;
    if (!ParseBigOperand(body, ctx, kind == fkIntegral, bracketed)) return false;
    if (!lower && !upper && !bracketed && !body.HoldsContent()) {
      row.AddAtom(sign);  // nothing to sum: the sign itself
      return true;
    }
    TTextNode node = MakeBodyFunction(kind, std::move(body));
    node.Text1 = lower.value_or(u"");
    node.Text2 = upper.value_or(u"");
    return AddFunction(row, std::move(node), token.Pos);
  }

  // What the parentheses or braces after the sign hold, or else what runs
  // up to the operand's end; "\int (x+1)\,dx" keeps its differential.
  bool ParseBigOperand(TRow& body, TContext ctx, bool integral, bool& bracketed) {
    const TToken next = lex_.PeekPastBlanks();
    if (ClosesScope(next, ctx.Scope, body)) return true;
    const TDelimited delimited = ParseDelimitedBody(body, next, false);
    if (delimited == TDelimited::Failed) return false;
    bracketed = delimited != TDelimited::None;
    if (!bracketed) {
      const TOperand operand = integral ? TOperand::Integral : TOperand::Sum;
      return ParseRow(body, {ctx.Scope, false, ctx.OpenPos, operand, ctx.InIntegral || integral});
    }
    bool raised = false;
    if (!RaiseBlock(body, raised)) return false;
    if (!integral || delimited == TDelimited::Fenced) return true;
    return TakeDifferentialAfter(body, delimited == TDelimited::Parens && !raised);
  }

  bool TakeDifferentialAfter(TRow& body, bool parens) {
    const TToken token = lex_.Peek();
    const TToken next = token.Kind == TToken::Blank ? lex_.PeekAt(token.Next) : token;
    const TToken mark =
        next.Kind == TToken::Symbol && next.Text == u"," ? PastBlanks(next.Next) : next;
    const std::optional<std::size_t> end = DifferentialEnd(mark);
    if (!end) return true;
    TRow integrand;
    if (parens) integrand.AddOpenParen();
    integrand.Splice(std::move(body));
    if (parens) integrand.AddCloseParen();
    body = std::move(integrand);
    return ParseDifferential(body, *end);
  }

  // A body in \left( \right), ( ), braces or, for a function, | |.
  TDelimited ParseDelimitedBody(TRow& body, const TToken& next, bool bars) {
    if (next.Kind == TToken::Word && next.Text == u"left") {
      lex_.Take();
      TFence fence;
      if (!ParseFence(fence, next)) return TDelimited::Failed;
      if (fence.Open == u"(" && fence.Close == u")") {
        body = std::move(fence.Inside);
        return TDelimited::Fenced;
      }
      return AddFenced(body, std::move(fence), next.Pos) ? TDelimited::Fenced : TDelimited::Failed;
    }
    if (next.Kind == TToken::Char && next.Text == u"(") {
      lex_.Take();
      const bool read = ParseScope(body, {TScope::Paren, false, next.Pos});
      return read ? TDelimited::Parens : TDelimited::Failed;
    }
    if (next.Kind == TToken::LBrace) {
      lex_.Take();
      const bool read = ParseScope(body, {TScope::Group, false, next.Pos});
      return read ? TDelimited::Group : TDelimited::Failed;
    }
    const bool bar = (next.Kind == TToken::Char && next.Text == u"|") ||
                     (next.Kind == TToken::Word && next.Text == u"lvert");
    if (bars && bar) {
      lex_.Take();
      return ParseBars(body, next.Pos) ? TDelimited::Fenced : TDelimited::Failed;
    }
    return TDelimited::None;
  }

  // "\sum_k (\frac{1}{2})^k": a "^" after the summand's parentheses raises
  // the summand, not the sum.
  bool RaiseBlock(TRow& body, bool& raised) {
    const std::size_t after = lex_.Position();
    const TToken next = lex_.PeekPastBlanks();
    if (next.Kind != TToken::Sup) {
      lex_.Seek(after);  // the blanks belong to what follows
      return true;
    }
    lex_.Take();
    TRow exponent;
    if (!ParseArgument(exponent, false, next)) return false;
    TTextNode power = MakeFunction(fkPotenz, std::move(exponent), std::move(body));
    body = TRow();
    raised = true;
    return AddFunction(body, std::move(power), next.Pos);
  }

  bool ReadDelimiter(std::u16string& delimiter, const TToken& owner) {
    const TToken token = lex_.PeekPastBlanks();
    const bool plain = token.Kind == TToken::Char &&
                       std::u16string_view(u"()[]|/.").find(token.Text) != std::u16string::npos;
    const bool brace = token.Kind == TToken::Symbol && (token.Text == u"{" || token.Text == u"}");
    const std::u16string_view word =
        token.Kind == TToken::Word ? LatexDelimiterWord(token.Text) : std::u16string_view();
    if (!plain && !brace && word.empty() && !(token.Kind == TToken::Symbol && token.Text == u"|")) {
      return Fail(owner.Pos,
                  "Nach " + Command(owner.Text) + " fehlt ein Begrenzer wie „(“, „[“ oder „|“.");
    }
    lex_.Take();
    delimiter = !word.empty()                                        ? std::u16string(word)
                : token.Text == u"." && plain                        ? std::u16string()
                : token.Kind == TToken::Symbol && token.Text == u"|" ? std::u16string(u"\u2016")
                                                                     : std::u16string(token.Text);
    return true;
  }

  bool ParseFence(TFence& fence, const TToken& left) {
    if (!ReadDelimiter(fence.Open, left)) return false;
    if (!ParseRow(fence.Inside, {TScope::Fence, false, left.Pos})) return false;
    const TToken right = lex_.Take();
    return ReadDelimiter(fence.Close, right);
  }

  // | | make an absolute value; other delimiters are text around the content.
  bool AddFenced(TRow& row, TFence fence, std::size_t pos) {
    if (fence.Open == u"|" && fence.Close == u"|") {
      return AddFunction(row, MakeBodyFunction(fkBetrag, std::move(fence.Inside)), pos);
    }
    fence.Open == u"(" ? row.AddOpenParen() : row.AddAtom(fence.Open);
    row.Splice(std::move(fence.Inside));
    fence.Close == u")" ? row.AddCloseParen() : row.AddAtom(fence.Close);
    return true;
  }

  bool ParseLeft(TRow& row, TContext, const TToken& token) {
    TFence fence;
    if (!ParseFence(fence, token)) return false;
    return AddFenced(row, std::move(fence), token.Pos);
  }

  bool ParseOperatorName(TRow& row, TContext ctx, const TToken& token) {
    const TToken star = lex_.Peek();
    if (star.Kind == TToken::Char && star.Text == u"*") lex_.Take();
    TRow nameRow;
    if (!ParseArgument(nameRow, true, token)) return false;
    return ParseNamed(row, ctx, token, nameRow.PlainText().value_or(u""));
  }

  // A function's name with its scripts ("\sin^2", "\log_2"), then its
  // argument: brackets or bars right after it, or else what runs up to the
  // next + − relation sign or comma.
  bool ParseNamed(TRow& row, TContext ctx, const TToken& token, std::u16string name) {
    if (!ReadNameScripts(name)) return false;
    const TToken next = lex_.PeekPastBlanks();
    TRow argument;
    const TDelimited delimited = ClosesScope(next, ctx.Scope, row)
                                     ? TDelimited::None
                                     : ParseDelimitedBody(argument, next, true);
    if (delimited == TDelimited::Failed) return false;
    if (delimited == TDelimited::None)
      return ParseFunctionOperand(row, ctx, token, std::move(name));
    return AddNamed(row, std::move(name), std::move(argument), token.Pos);
  }

  bool AddNamed(TRow& row, std::u16string name, TRow argument, std::size_t pos) {
    TTextNode node = MakeBodyFunction(fkUser, std::move(argument));
    node.Text1 = std::move(name);
    return AddFunction(row, std::move(node), pos);
  }

  // A name with nothing to apply to is text, and so is a name applied only
  // to such names: "\sin\cos\tan" is the term "sin cos tan".
  bool ParseFunctionOperand(TRow& row, TContext ctx, const TToken& token, std::u16string name) {
    TRow argument;
    bareNames_.clear();
    if (!ParseRow(argument, {ctx.Scope, false, ctx.OpenPos, TOperand::Function, ctx.InIntegral})) {
      return false;
    }
    const std::optional<std::u16string> text = argument.PlainText();
    const bool onlyNames = !bareNames_.empty() && text && WithoutOuterBlanks(*text) == bareNames_;
    if (argument.HoldsContent() && !onlyNames) {
      return AddNamed(row, std::move(name), std::move(argument), token.Pos);
    }
    if (onlyNames) name.append(u" ").append(bareNames_);
    row.AddAtom(name);
    bareNames_ = std::move(name);
    return true;
  }

  // "^" and "_" after a function's name become its script characters.
  bool ReadNameScripts(std::u16string& name) {
    for (TToken next = lex_.PeekPastBlanks();; next = lex_.PeekPastBlanks()) {
      if (next.Kind == TToken::Word && (next.Text == u"limits" || next.Text == u"nolimits")) {
        lex_.Take();
        continue;
      }
      if (next.Kind != TToken::Sub && next.Kind != TToken::Sup) return true;
      lex_.Take();
      const bool superscript = next.Kind == TToken::Sup;
      TRow script;
      std::u16string_view typed;
      if (!ParseScriptArgument(script, true, next, typed)) return false;
      const std::u16string text = script.PlainText().value_or(u"");
      const std::u16string scripted = superscript ? Superscripted(text) : Subscripted(text);
      if (scripted.empty() && !text.empty()) {
        return Fail(next.Pos, ScriptProblem(typed, superscript));
      }
      name += scripted;
    }
  }

  bool ParseTextCommand(TRow& row, TContext, const TToken& token) {
    const TToken next = lex_.PeekPastBlanks();
    if (next.Kind == TToken::Char) {
      lex_.Take();
      row.AddAtom(next.Text);
      return true;
    }
    if (next.Kind != TToken::LBrace) {
      return Fail(token.Pos, "Nach " + Command(token.Text) + " fehlt ein Argument.");
    }
    lex_.Take();
    std::u16string text;
    if (!ReadTextMode(text, next.Pos)) return false;
    if (!text.empty()) row.AddAtom(text);
    return true;
  }

  // The braces' content as text: blanks count, braces only group, "~" is a
  // blank that does not break.
  bool ReadTextMode(std::u16string& text, std::size_t openPos) {
    const std::u16string_view source = lex_.Source();
    int braces = 0;
    for (std::size_t pos = lex_.Position(); pos < lex_.End();) {
      const char16_t c = source[pos];
      if (c == u'}' && braces == 0) {
        lex_.Seek(pos + 1);
        return true;
      }
      if (c == u'$') return Fail(pos, "Formeln in „\\text“ werden nicht unterstützt.");
      if (c == u'\\') {
        lex_.Seek(pos);
        const TToken command = lex_.Take();
        if (!AppendTextCommand(text, command)) return false;
        pos = lex_.Position();
        continue;
      }
      braces += c == u'{' ? 1 : c == u'}' ? -1 : 0;
      if (c != u'{' && c != u'}') text += IsLatexBlank(c) ? u' ' : c == u'~' ? u'\u00A0' : c;
      ++pos;
    }
    return Fail(openPos, kBraceNotClosed);
  }

  bool AppendTextCommand(std::u16string& text, const TToken& command) {
    if (command.Kind == TToken::Symbol &&
        std::u16string_view(u"{}$%&#_ ").find(command.Text) != std::u16string_view::npos) {
      text += command.Text;
      return true;
    }
    if (command.Kind == TToken::Word) {
      if (const auto c = TextCommandCharacter(command.Text)) {
        text += *c;
        return true;
      }
    }
    if (command.Kind == TToken::Bad) return Fail(command.Pos, command.Problem);
    return Fail(command.Pos,
                "Im Text wird " +
                    Quoted(lex_.Source().substr(command.Pos, command.Next - command.Pos)) +
                    " nicht unterstützt.");
  }

  // A font's argument is never split: "\mathbf{ab}^2" raises "ab", and
  // "\mathrm{sin}^2 x" is the function sin² of x.
  bool ParseMathFont(TRow& row, TContext ctx, const TToken& token) {
    TRow inside;
    if (!ParseArgument(inside, ctx.TextOnly, token)) return false;
    const std::optional<std::u16string> text = inside.PlainText();
    if (ctx.TextOnly || !inside.HoldsContent()) {
      row.Splice(std::move(inside));
    } else if (!text) {
      row.AddGroup(std::move(inside));
    } else if (IsStandardOperatorName(WithoutOuterBlanks(*text))) {
      return ParseNamed(row, ctx, token, std::u16string(WithoutOuterBlanks(*text)));
    } else {
      row.AddAtom(*text);
    }
    return true;
  }

  bool ParseSuperscript(TRow& row, TContext ctx, const TToken& mark) {
    const bool anchored = mark.Pos == emptyGroupEnd_;
    TRow exponent;
    std::u16string_view typed;
    if (!ParseScriptArgument(exponent, ctx.TextOnly, mark, typed)) return false;
    if (anchored && AddAnchoredScript(row, exponent, true)) return true;
    if (ctx.TextOnly) return AppendScript(row, exponent, mark.Pos, true, typed);
    TRow base = row.TakeBase();
    return AddFunction(row, MakeFunction(fkPotenz, std::move(exponent), std::move(base)), mark.Pos);
  }

  bool ParseSubscript(TRow& row, const TToken& mark) {
    const bool anchored = mark.Pos == emptyGroupEnd_;
    // "x_1": one character right after the mark, the common case, is
    // appended without building a row for it.
    const TToken next = lex_.Peek();
    if (!anchored && next.Kind == TToken::Char && next.Text.size() == 1) {
      const char16_t plain = next.Text[0];
      const std::u16string scripted = Subscripted({&plain, 1});
      if (!scripted.empty() && row.AppendToLastAtom(scripted)) {
        lex_.Seek(next.Next);
        return true;
      }
    }
    TRow script;
    std::u16string_view typed;
    if (!ParseScriptArgument(script, true, mark, typed)) return false;
    if (anchored && AddAnchoredScript(row, script, false)) return true;
    return AppendScript(row, script, mark.Pos, false, typed);
  }

  // "x{}^{2}" and "{}_{1}": scripts after an empty group are characters of
  // the text, as the writer puts a term's "x²" and a lone "₁".
  static bool AddAnchoredScript(TRow& row, const TRow& script, bool superscript) {
    const std::optional<std::u16string> text = script.PlainText();
    if (!text || text->empty()) return false;
    const std::u16string scripted = superscript ? Superscripted(*text) : Subscripted(*text);
    if (scripted.empty()) return false;
    row.DropEmptyGroup();
    row.AddAtom(scripted);
    return true;
  }

  // Sub- and superscripts in text become Unicode script characters.
  bool AppendScript(TRow& row, const TRow& script, std::size_t pos, bool superscript,
                    std::u16string_view typed) {
    std::string problem = AddScript(row, script.PlainText().value_or(u""), superscript, typed);
    return problem.empty() || Fail(pos, std::move(problem));
  }

  TLatexLexer lex_;
  int depth_ = 0;
  TTreeTally tally_;
  TReadFailure failure_;
  std::size_t emptyGroupEnd_ = std::u16string_view::npos;  // just after the last "{}"
  std::u16string bareNames_;  // the text the last name without argument became
};

// $…$, $$…$$, \(…\) and \[…\] around the whole input are no part of the formula.
// An odd number of backslashes before `at` make its character a command, as
// the blank of "\ " that the writer puts after a term's last blank.
bool IsEscaped(std::u16string_view text, std::size_t at) {
  std::size_t backslashes = 0;
  while (backslashes < at && text[at - 1 - backslashes] == u'\\') ++backslashes;
  return backslashes % 2 == 1;
}

std::pair<std::size_t, std::size_t> StripMathDelimiters(std::u16string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsLatexBlank(text[begin])) ++begin;
  while (end > begin && IsLatexBlank(text[end - 1]) && !IsEscaped(text, end - 1)) --end;
  const std::u16string_view inner = text.substr(begin, end - begin);
  constexpr std::pair<std::u16string_view, std::u16string_view> kWrappers[] = {
      {u"$$", u"$$"}, {u"\\[", u"\\]"}, {u"\\(", u"\\)"}, {u"$", u"$"}};
  for (const auto& [open, close] : kWrappers) {
    if (inner.size() >= open.size() + close.size() && inner.starts_with(open) &&
        inner.ends_with(close)) {
      return {begin + open.size(), end - close.size()};
    }
  }
  return {begin, end};
}

}  // namespace

bool FormulaFromLatex(std::u16string_view text, TEntryCursor* cursor, TOwnedLine& out,
                      TTextError& error) {
  // Each level opens with a brace, a command, a bar or a bracket, and may
  // take the stack of several levels of the text's own nesting: a function
  // and its argument written without brackets, under sanitizers too.
  constexpr std::size_t kLevelsPerOpener = 4;
  const std::size_t openers = CountOf(text, std::u16string_view(u"{\\|(["));
  return ReadFormulaText(text, openers * kLevelsPerOpener, cursor, out, error,
                         [text](TTextSeq& seq, TReadFailure& failure) {
                           const auto [begin, end] = StripMathDelimiters(text);
                           TLatexReader reader(text, begin, end);
                           if (reader.Read(seq)) return true;
                           failure = reader.Failure();
                           return false;
                         });
}
