#include "textio/LatexLexer.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "model/Utf.h"

namespace {

constexpr std::u16string_view kSizeCommands[] = {
    u"big",  u"Big",  u"bigg",  u"Bigg",  u"bigl", u"Bigl", u"biggl", u"Biggl",
    u"bigr", u"Bigr", u"biggr", u"Biggr", u"bigm", u"Bigm", u"biggm", u"Biggm"};

struct TDelimiterWord {
  std::u16string_view Name;
  std::u16string_view Chars;
};

constexpr TDelimiterWord kDelimiterWords[] = {
    {u"vert", u"|"},        {u"lvert", u"|"},       {u"rvert", u"|"},       {u"Vert", u"\u2016"},
    {u"lVert", u"\u2016"},  {u"rVert", u"\u2016"},  {u"lbrack", u"["},      {u"rbrack", u"]"},
    {u"lbrace", u"{"},      {u"rbrace", u"}"},      {u"langle", u"\u27E8"}, {u"rangle", u"\u27E9"},
    {u"lfloor", u"\u230A"}, {u"rfloor", u"\u230B"}, {u"lceil", u"\u2308"},  {u"rceil", u"\u2309"},
};

// The characters that are a token of their own; any other is a Char.
TLatexToken::TKind KindOf(char16_t c) {
  constexpr std::pair<char16_t, TLatexToken::TKind> kSingles[] = {
      {u'{', TLatexToken::LBrace},  {u'}', TLatexToken::RBrace}, {u'^', TLatexToken::Sup},
      {u'_', TLatexToken::Sub},     {u'~', TLatexToken::Tilde},  {u'&', TLatexToken::Special},
      {u'#', TLatexToken::Special}, {u'$', TLatexToken::Special}};
  for (const auto& [single, kind] : kSingles) {
    if (single == c) return kind;
  }
  return TLatexToken::Char;
}

}  // namespace

bool IsLatexBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

bool IsLatexLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// A comment runs to the end of its line; the line break goes with it.
std::size_t TLatexLexer::SkipComment(std::size_t pos) const {
  while (pos < end_ && text_[pos] == u'%') {
    while (pos < end_ && text_[pos] != u'\n') ++pos;
    if (pos < end_) ++pos;
  }
  return pos;
}

TLatexToken TLatexLexer::Lex(std::size_t pos) const {
  pos = SkipComment(pos);
  TLatexToken token;
  token.Pos = pos;
  token.Next = pos + 1;
  if (pos >= end_) {
    token.Next = pos;
    return token;
  }
  const char16_t c = text_[pos];
  token.Text = text_.substr(pos, 1);
  if (IsLatexBlank(c)) {
    std::size_t after = pos;
    while (after < end_ && IsLatexBlank(text_[after])) ++after;
    token.Kind = TLatexToken::Blank;
    token.Text = text_.substr(pos, after - pos);
    token.Next = after;
    return token;
  }
  if (c == u'\\') return LexCommand(pos);
  token.Kind = KindOf(c);
  if (token.Kind != TLatexToken::Char) return token;
  if (IsHighSurrogate(c) && pos + 1 < end_) {
    token.Text = text_.substr(pos, 2);
    token.Next = pos + 2;
  }
  return token;
}

TLatexToken TLatexLexer::LexCommand(std::size_t pos, bool sizes) const {
  TLatexToken token;
  token.Pos = pos;
  if (pos + 1 >= end_) {
    token.Kind = TLatexToken::Bad;
    token.Problem = "Nach „\\“ fehlt der Name des Befehls.";
    token.Next = end_;
    return token;
  }
  std::size_t after = pos + 1;
  while (after < end_ && IsLatexLetter(text_[after])) ++after;
  if (after == pos + 1) {
    const std::size_t length = IsHighSurrogate(text_[after]) && after + 1 < end_ ? 2 : 1;
    token.Kind = TLatexToken::Symbol;
    token.Text = text_.substr(after, length);
    token.Next = after + length;
    return token;
  }
  token.Kind = TLatexToken::Word;
  token.Text = text_.substr(pos + 1, after - pos - 1);
  token.Next = after;
  if (sizes && std::find(std::begin(kSizeCommands), std::end(kSizeCommands), token.Text) !=
                   std::end(kSizeCommands)) {
    return LexSizedDelimiter(pos, after);
  }
  return token;
}

TLatexToken TLatexLexer::LexSizedDelimiter(std::size_t pos, std::size_t after) const {
  while (after < end_ && IsLatexBlank(text_[after])) ++after;
  after = SkipComment(after);
  TLatexToken token = after < end_ && text_[after] == u'\\' ? LexCommand(after, false) : Lex(after);
  token.Pos = pos;
  const std::u16string_view delimiters = u"()[]|/";
  if (token.Kind == TLatexToken::Char && delimiters.find(token.Text[0]) != std::u16string::npos) {
    return token;
  }
  if (token.Kind == TLatexToken::Char && token.Text == u".") {
    token.Kind = TLatexToken::Nothing;
    return token;
  }
  if (token.Kind == TLatexToken::Symbol && (token.Text == u"{" || token.Text == u"}")) {
    token.Kind = TLatexToken::Char;
    return token;
  }
  if (token.Kind == TLatexToken::Word) {
    for (const TDelimiterWord& word : kDelimiterWords) {
      if (word.Name == token.Text) {
        token.Kind = TLatexToken::Char;
        token.Text = word.Chars;
        return token;
      }
    }
  }
  token.Kind = TLatexToken::Bad;
  token.Problem = "Nach dem Größenbefehl fehlt ein Begrenzer wie „(“ oder „|“.";
  return token;
}

std::u16string_view LatexDelimiterWord(std::u16string_view name) {
  for (const TDelimiterWord& word : kDelimiterWords) {
    if (word.Name == name) return word.Chars;
  }
  return {};
}
