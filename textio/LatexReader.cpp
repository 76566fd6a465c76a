// LaTeX to formula: recursive descent over the tokens, building rows in
// which "^" finds its base and a sum finds its summand.
#include <iterator>
#include <optional>
#include <string>

#include "textio/DeepStack.h"
#include "textio/FormulaText.h"
#include "textio/LatexLexer.h"
#include "textio/Symbols.h"
#include "textio/TextError.h"
#include "textio/TextTree.h"

namespace {

using TToken = TLatexToken;

// Where a row ends: the closing token stays for the row's opener to take.
enum class TScope { Top, Group, Optional, Fence, Bar, Paren };

struct TContext {
  TScope Scope = TScope::Top;
  bool TextOnly = false;    // bounds, root indices, names: text and scripts only
  std::size_t OpenPos = 0;  // where the scope was opened
};

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

bool IsRunChar(std::u16string_view chars) {
  const char16_t c = chars[0];
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x370 && c <= 0x3FF);
}

struct TFence {
  std::u16string Open;
  std::u16string Close;
  TRow Inside;
};

class TLatexReader {
 public:
  TLatexReader(std::u16string_view text, std::size_t begin, std::size_t end)
      : lex_(text, begin, end) {}

  bool Read(TTextSeq& seq) {
    TRow row;
    if (!ParseRow(row, {})) return false;
    seq = std::move(row).Finish();
    return true;
  }
  std::size_t FailPos() const { return failPos_; }
  const std::string& FailMessage() const { return failMessage_; }

 private:
  bool Fail(std::size_t pos, std::string message) {
    if (!failed_) {
      failed_ = true;
      failPos_ = pos;
      failMessage_ = std::move(message);
    }
    return false;
  }

  bool AddFunction(TRow& row, TTextNode node, std::size_t pos) {
    if (node.Levels > kMaxFormulaTextLevels) return Fail(pos, kTextTooDeep);
    row.AddEntry(std::move(node));
    return true;
  }

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
        return Fail(openPos, "Die Klammer „{“ wird nicht geschlossen.");
      case TScope::Optional:
        return Fail(openPos, "Die Klammer „[“ des Wurzelexponenten wird nicht geschlossen.");
      case TScope::Fence:
        return Fail(openPos, "„\\left“ ohne passendes „\\right“.");
      case TScope::Bar:
        return Fail(openPos, "Der Betragsstrich „|“ wird nicht geschlossen.");
      default:
        return Fail(openPos, "Die Klammer „(“ wird nicht geschlossen.");
    }
  }

  // Parses up to the token that ends `ctx.Scope`, which it leaves.
  bool ParseRow(TRow& row, TContext ctx) {
    TNestingGuard level(depth_);
    if (depth_ > kMaxTextNesting) return Fail(ctx.OpenPos, kTextTooDeep);
    for (;;) {
      const TToken token = lex_.Peek();
      if (ClosesScope(token, ctx.Scope, row)) return true;
      if (token.Kind == TToken::End) return FailUnclosed(ctx.Scope, ctx.OpenPos);
      if (!ParseItem(row, ctx)) return false;
    }
  }

  // Parses a scope and takes its closing token.
  bool ParseScope(TRow& row, TContext ctx) {
    if (!ParseRow(row, ctx)) return false;
    lex_.Take();
    return true;
  }

  bool ParseItem(TRow& row, TContext ctx) {
    const TToken token = lex_.Take();
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
        return ParseSuperscript(row, ctx, token.Pos);
      case TToken::Sub:
        return ParseSubscript(row, token.Pos);
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
    } else {
      row.AddAtom(token.Text);
    }
    return true;
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
      return true;
    }
    TRow inside;
    if (!ParseScope(inside, {TScope::Group, ctx.TextOnly, pos})) return false;
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

  bool ParseCommand(TRow& row, TContext ctx, const TToken& token) {
    const std::u16string_view name = token.Text;
    const bool construct = IsOneOf(name, kFractions) || name == u"sqrt" || name == u"left" ||
                           name == u"operatorname" || IsStandardOperatorName(name);
    if (construct && ctx.TextOnly) return FailTextOnly(token);
    if (IsOneOf(name, kFractions)) return ParseFraction(row, token);
    if (name == u"sqrt") return ParseRoot(row, token);
    if (name == u"sum") return ParseBigOperator(row, ctx, token, fkSumme, u"\u2211");
    if (name == u"int") return ParseBigOperator(row, ctx, token, fkIntegral, u"\u222B");
    if (name == u"left") return ParseLeft(row, token);
    if (name == u"right") return Fail(token.Pos, "„\\right“ ohne passendes „\\left“.");
    if (name == u"lvert" && !ctx.TextOnly) return ParseBars(row, token.Pos);
    if (name == u"operatorname") return ParseNamed(row, token, std::nullopt);
    if (IsStandardOperatorName(name)) return ParseNamed(row, token, name);
    if (IsOneOf(name, kTextCommands)) return ParseTextCommand(row, token);
    if (IsOneOf(name, kMathFonts)) return ParseMathFont(row, ctx, token);
    return ParseSimpleCommand(row, token);
  }

  // Commands that stand for characters or blanks, or for nothing at all.
  bool ParseSimpleCommand(TRow& row, const TToken& token) {
    const std::u16string_view name = token.Text;
    if (IsOneOf(name, kStyleSwitches)) {
      lex_.PeekPastBlanks();
      return true;
    }
    for (const TSpacing& spacing : kSpacings) {
      if (spacing.Name == name) {
        lex_.PeekPastBlanks();
        if (!spacing.Blanks.empty()) row.AddSpacing(spacing.Blanks);
        return true;
      }
    }
    if (name == u"hspace" || name == u"mspace") return ParseSpaceCommand(row, token);
    if (name == u"limits" || name == u"nolimits") {
      return Fail(token.Pos, Command(name) + " steht nur direkt nach „\\sum“ oder „\\int“.");
    }
    if (name == u"begin" || name == u"end") return FailEnvironment(token);
    if (const std::u16string_view delimiter = LatexDelimiterWord(name); !delimiter.empty()) {
      row.AddAtom(delimiter);
      return true;
    }
    if (const auto text = TextCommandCharacter(name)) {
      row.AddAtom(*text);
      return true;
    }
    if (const auto symbol = SymbolOfLatexName(std::string(name.begin(), name.end()))) {
      row.AddAtom(*symbol);
      if (IsLetterLike(*symbol)) SkipBlanksBeforeLetter();
      return true;
    }
    if (IsOneOf(name, kUnsupported))
      return Fail(token.Pos, Command(name) + " wird nicht unterstützt.");
    return Fail(token.Pos, "Unbekannter Befehl " + Command(name) + ".");
  }

  // "\alpha x" is αx, as in TeX; "a \times b" keeps both blanks.
  void SkipBlanksBeforeLetter() {
    const TToken blank = lex_.Peek();
    if (blank.Kind != TToken::Blank) return;
    const std::size_t after = blank.Next;
    if (after < lex_.End() && IsLatexLetter(lex_.Source()[after])) lex_.Take();
  }

  static std::optional<std::u16string_view> TextCommandCharacter(std::u16string_view name) {
    if (name == u"textasciicircum") return u"^";
    if (name == u"textasciitilde") return u"~";
    if (name == u"textbackslash") return u"\\";
    return std::nullopt;
  }

  bool FailEnvironment(const TToken& token) {
    std::u16string environment;
    const std::u16string_view source = lex_.Source();
    std::size_t pos = lex_.Position();
    if (pos < lex_.End() && source[pos] == u'{') {
      const std::size_t close = source.find(u'}', pos);
      if (close != std::u16string_view::npos && close < lex_.End() && close - pos < 40) {
        environment = source.substr(pos, close - pos + 1);
      }
    }
    return Fail(token.Pos, "Umgebungen wie " + Command(std::u16string(token.Text) + environment) +
                               " werden nicht unterstützt.");
  }

  bool ParseSpaceCommand(TRow& row, const TToken& token) {
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

  bool ParseFraction(TRow& row, const TToken& token) {
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

  bool ParseRoot(TRow& row, const TToken& token) {
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
    const TToken next = lex_.PeekPastBlanks();
    if (!lower && !upper && ClosesScope(next, ctx.Scope, row)) {
      row.AddAtom(sign);  // nothing to sum: the sign itself
      return true;
    }
    if (ParseDelimitedBody(body, next)) {
      if (!RaiseBlock(body)) return false;
    } else if (failed_ || !ParseRow(body, ctx)) {
      return false;
    }
    TTextNode node = MakeBodyFunction(kind, std::move(body));
    node.Text1 = lower.value_or(u"");
    node.Text2 = upper.value_or(u"");
    return AddFunction(row, std::move(node), token.Pos);
  }

  // A body in \left( \right), ( ) or braces. False when none follows (or
  // on failure, which failed_ tells apart).
  bool ParseDelimitedBody(TRow& body, const TToken& next) {
    if (next.Kind == TToken::Word && next.Text == u"left") {
      lex_.Take();
      TFence fence;
      if (!ParseFence(fence, next)) return false;
      if (fence.Open == u"(" && fence.Close == u")") {
        body = std::move(fence.Inside);
        return true;
      }
      return AddFenced(body, std::move(fence), next.Pos);
    }
    if (next.Kind == TToken::Char && next.Text == u"(") {
      lex_.Take();
      return ParseScope(body, {TScope::Paren, false, next.Pos});
    }
    if (next.Kind == TToken::LBrace) {
      lex_.Take();
      return ParseScope(body, {TScope::Group, false, next.Pos});
    }
    return false;
  }

  // "\sum_k (\frac{1}{2})^k": a "^" after the summand's parentheses raises
  // the summand, not the sum.
  bool RaiseBlock(TRow& body) {
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

  bool ParseLeft(TRow& row, const TToken& token) {
    TFence fence;
    if (!ParseFence(fence, token)) return false;
    return AddFenced(row, std::move(fence), token.Pos);
  }

  bool ParseNamed(TRow& row, const TToken& token, std::optional<std::u16string_view> standard) {
    std::u16string name(standard.value_or(u""));
    if (!standard) {
      const TToken star = lex_.Peek();
      if (star.Kind == TToken::Char && star.Text == u"*") lex_.Take();
      TRow nameRow;
      if (!ParseArgument(nameRow, true, token)) return false;
      name = nameRow.PlainText().value_or(u"");
    }
    const TToken next = lex_.PeekPastBlanks();
    if (next.Kind == TToken::Sub || next.Kind == TToken::Sup ||
        (next.Kind == TToken::Word && (next.Text == u"limits" || next.Text == u"nolimits"))) {
      return Fail(next.Pos,
                  Command(token.Text) + " mit Grenze oder Exponent wird nicht unterstützt.");
    }
    TRow argument;
    if (!ParseDelimitedBody(argument, next)) {
      if (failed_) return false;
      TakeRun(argument);
    }
    TTextNode node = MakeBodyFunction(fkUser, std::move(argument));
    node.Text1 = std::move(name);
    return AddFunction(row, std::move(node), token.Pos);
  }

  // "\sin 2x": without parentheses the argument is the letters and digits
  // that follow.
  void TakeRun(TRow& argument) {
    for (TToken next = lex_.PeekPastBlanks();; next = lex_.Peek()) {
      if (next.Kind == TToken::Char && IsRunChar(next.Text)) {
        argument.AddAtom(next.Text);
      } else if (const auto greek =
                     next.Kind == TToken::Word
                         ? SymbolOfLatexName(std::string(next.Text.begin(), next.Text.end()))
                         : std::nullopt;
                 greek && IsRunChar(*greek)) {
        argument.AddAtom(*greek);
      } else {
        return;
      }
      lex_.Take();
    }
  }

  bool ParseTextCommand(TRow& row, const TToken& token) {
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

  // The braces' content as text: blanks count, braces only group.
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
      if (c != u'{' && c != u'}') text += IsLatexBlank(c) ? u' ' : c;
      ++pos;
    }
    return Fail(openPos, "Die Klammer „{“ wird nicht geschlossen.");
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

  bool ParseMathFont(TRow& row, TContext ctx, const TToken& token) {
    TRow inside;
    if (!ParseArgument(inside, ctx.TextOnly, token)) return false;
    row.Splice(std::move(inside));
    return true;
  }

  bool ParseSuperscript(TRow& row, TContext ctx, std::size_t pos) {
    TRow exponent;
    const TToken mark{TToken::Sup, u"^", pos, pos + 1, nullptr};
    if (!ParseArgument(exponent, ctx.TextOnly, mark)) return false;
    if (ctx.TextOnly) return AppendScript(row, exponent, pos, true);
    TRow base = row.TakeBase();
    return AddFunction(row, MakeFunction(fkPotenz, std::move(exponent), std::move(base)), pos);
  }

  bool ParseSubscript(TRow& row, std::size_t pos) {
    TRow script;
    const TToken mark{TToken::Sub, u"_", pos, pos + 1, nullptr};
    if (!ParseArgument(script, true, mark)) return false;
    return AppendScript(row, script, pos, false);
  }

  // Sub- and superscripts in text become Unicode script characters.
  bool AppendScript(TRow& row, const TRow& script, std::size_t pos, bool superscript) {
    std::string problem = AddScript(row, script.PlainText().value_or(u""), superscript);
    return problem.empty() || Fail(pos, std::move(problem));
  }

  TLatexLexer lex_;
  int depth_ = 0;
  bool failed_ = false;
  std::size_t failPos_ = 0;
  std::string failMessage_;
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
  out.reset();
  if (Utf8Length(text) > kMaxFormulaTextBytes) {
    error = TextErrorAt(text, 0, kTextTooLarge);
    return false;
  }
  bool read = false;
  // Each level opens with a brace, a command, a bar or a bracket.
  const bool ran = RunOnDeepStack(CountOf(text, std::u16string_view(u"{\\|([")), [&] {
    const auto [begin, end] = StripMathDelimiters(text);
    TLatexReader reader(text, begin, end);
    TTextSeq seq;
    if (!reader.Read(seq)) {
      error = TextErrorAt(text, reader.FailPos(), reader.FailMessage());
      return;
    }
    out.reset(BuildLine(seq, cursor));
    if (out == nullptr) error = TextErrorAt(text, 0, kTextNoMemory);
    read = out != nullptr;
  });
  if (!ran) {
    out.reset();
    error = TTextError{kTextNoMemory, 0, 1, 1};
  }
  return read && ran;
}
