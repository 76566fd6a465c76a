#include "textio/StarMathWords.h"

#include <QChar>
#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// The first row of a character is the form written; the words of later
// rows with the same character are only read.
constexpr TStarSymbol kSymbols[] = {
    {u'*', u"times", TStarSign::Binary},
    {u'\u00B1', u"+-", TStarSign::Sign},
    {u'\u2213', u"-+", TStarSign::Sign},
    {u'\u22C5', u"cdot", TStarSign::Binary},
    {u'\u00F7', u"div", TStarSign::Binary},
    {u'\u2260', u"<>", TStarSign::Binary},
    {u'\u2264', u"<=", TStarSign::Binary},
    {u'\u2265', u">=", TStarSign::Binary},
    {u'\u2A7D', u"leslant", TStarSign::Binary},
    {u'\u2A7E', u"geslant", TStarSign::Binary},
    {u'\u226A', u"ll", TStarSign::Binary},
    {u'\u226B', u"gg", TStarSign::Binary},
    {u'\u2248', u"approx", TStarSign::Binary},
    {u'\u2261', u"equiv", TStarSign::Binary},
    {u'\u223C', u"sim", TStarSign::Binary},
    {u'\u2243', u"simeq", TStarSign::Binary},
    {u'\u221D', u"prop", TStarSign::Binary},
    {u'\u2208', u"in", TStarSign::Binary},
    {u'\u2209', u"notin", TStarSign::Binary},
    {u'\u220B', u"owns", TStarSign::Binary},
    {u'\u2282', u"subset", TStarSign::Binary},
    {u'\u2286', u"subseteq", TStarSign::Binary},
    {u'\u2283', u"supset", TStarSign::Binary},
    {u'\u2287', u"supseteq", TStarSign::Binary},
    {u'\u2192', u"toward", TStarSign::Binary},
    {u'\u21D2', u"drarrow", TStarSign::Binary},
    {u'\u21D0', u"dlarrow", TStarSign::Binary},
    {u'\u21D4', u"dlrarrow", TStarSign::Binary},
    {u'\u2225', u"parallel", TStarSign::Binary},
    {u'\u22A5', u"ortho", TStarSign::Binary},
    {u'\u2223', u"divides", TStarSign::Binary},
    {u'\u2227', u"and", TStarSign::Binary},
    {u'\u2228', u"or", TStarSign::Binary},
    {u'\u2229', u"intersection", TStarSign::Binary},
    {u'\u222A', u"union", TStarSign::Binary},
    {u'\u2216', u"setminus", TStarSign::Binary},
    {u'\u2218', u"circ", TStarSign::Binary},
    {u'\u00AC', u"neg", TStarSign::Prefix},
    {u'\u221E', u"infinity", TStarSign::Operand},
    {u'\u2202', u"partial", TStarSign::Operand},
    {u'\u2207', u"nabla", TStarSign::Operand},
    {u'\u2205', u"emptyset", TStarSign::Operand},
    {u'\u2200', u"forall", TStarSign::Operand},
    {u'\u2203', u"exists", TStarSign::Operand},
    {u'\u2135', u"aleph", TStarSign::Operand},
    {u'\u210F', u"hbar", TStarSign::Operand},
    {u'\u2026', u"dotslow", TStarSign::Operand},
    {u'\u22EF', u"dotsaxis", TStarSign::Operand},
    {u'\u2115', u"setN", TStarSign::Operand},
    {u'\u2124', u"setZ", TStarSign::Operand},
    {u'\u211A', u"setQ", TStarSign::Operand},
    {u'\u211D', u"setR", TStarSign::Operand},
    {u'\u2102', u"setC", TStarSign::Operand},
    {u'\u2190', u"leftarrow", TStarSign::Operand},
    {u'\u2191', u"uparrow", TStarSign::Operand},
    {u'\u2193', u"downarrow", TStarSign::Operand},
    // only read
    {u'\u221E', u"infty", TStarSign::Operand},
    {u'\u2192', u"rightarrow", TStarSign::Operand},
    {u'\u00B1', u"plusminus", TStarSign::Sign},
    {u'\u2213', u"minusplus", TStarSign::Sign},
    {u'\u2260', u"neq", TStarSign::Binary},
    {u'\u2264', u"le", TStarSign::Binary},
    {u'\u2265', u"ge", TStarSign::Binary},
    {u'<', u"lt", TStarSign::Binary},
    {u'>', u"gt", TStarSign::Binary},
};

constexpr std::u16string_view kFunctionWords[] = {
    u"sin",    u"cos",    u"tan",    u"cot",    u"sinh",   u"cosh",   u"tanh",
    u"coth",   u"arcsin", u"arccos", u"arctan", u"arccot", u"arsinh", u"arcosh",
    u"artanh", u"arcoth", u"ln",     u"log",    u"exp"};

// Every other word LibreOffice Math 7 reads as a command.
constexpr std::u16string_view kOtherWords[] = {
    u"over",        u"frac",      u"sqrt",        u"nroot",     u"sum",        u"prod",
    u"coprod",      u"int",       u"iint",        u"iiint",     u"lint",       u"llint",
    u"lllint",      u"lim",       u"liminf",      u"limsup",    u"from",       u"to",
    u"abs",         u"fact",      u"func",        u"oper",      u"uoper",      u"boper",
    u"left",        u"right",     u"lline",       u"rline",     u"ldline",     u"rdline",
    u"langle",      u"rangle",    u"lbrace",      u"rbrace",    u"lceil",      u"rceil",
    u"lfloor",      u"rfloor",    u"ldbracket",   u"rdbracket", u"lbrack",     u"rbrack",
    u"none",        u"mline",     u"evaluate",    u"newline",   u"stack",      u"matrix",
    u"binom",       u"color",     u"font",        u"size",      u"bold",       u"nbold",
    u"ital",        u"italic",    u"nitalic",     u"phantom",   u"overline",   u"underline",
    u"overstrike",  u"hat",       u"widehat",     u"tilde",     u"widetilde",  u"vec",
    u"widevec",     u"harpoon",   u"wideharpoon", u"bar",       u"check",      u"breve",
    u"circle",      u"dot",       u"ddot",        u"dddot",     u"acute",      u"grave",
    u"sup",         u"sub",       u"rsup",        u"rsub",      u"lsup",       u"lsub",
    u"csup",        u"csub",      u"alignl",      u"alignc",    u"alignr",     u"nospace",
    u"sans",        u"serif",     u"fixed",       u"wideslash", u"widebslash", u"bslash",
    u"slash",       u"odivide",   u"odot",        u"ominus",    u"oplus",      u"otimes",
    u"def",         u"transl",    u"transr",      u"prec",      u"succ",       u"preccurlyeq",
    u"succcurlyeq", u"precsim",   u"succsim",     u"nprec",     u"nsucc",      u"nsubset",
    u"nsupset",     u"nsubseteq", u"nsupseteq",   u"ndivides",  u"notexists",  u"lambdabar",
    u"re",          u"im",        u"wp",          u"laplace",   u"fourier",    u"backepsilon",
    u"dotsvert",    u"dotsup",    u"dotsdown",    u"dotsdiag",  u"underbrace", u"overbrace",
    u"hex",         u"rgb",       u"rgba",        u"dvip",      u"html",       u"intd",
};

// Longer words are never reserved: no look-up for them.
constexpr std::size_t kLongestWord = 16;

template <std::size_t N>
bool Contains(const std::u16string_view (&words)[N], std::u16string_view word) {
  return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

constexpr std::u16string_view kGreekNames[] = {
    u"alpha", u"beta",  u"gamma",  u"delta",   u"epsilon", u"zeta", u"eta",     u"theta",
    u"iota",  u"kappa", u"lambda", u"mu",      u"nu",      u"xi",   u"omicron", u"pi",
    u"rho",   u"sigma", u"tau",    u"upsilon", u"phi",     u"chi",  u"psi",     u"omega"};

struct TVariant {
  std::u16string_view Name;
  char16_t Char;
};
constexpr TVariant kGreekVariants[] = {{u"varepsilon", u'\u03F5'}, {u"vartheta", u'\u03D1'},
                                       {u"varpi", u'\u03D6'},      {u"varrho", u'\u03F1'},
                                       {u"varsigma", u'\u03C2'},   {u"varphi", u'\u03D5'}};

}  // namespace

std::u16string StarMathLower(std::u16string_view word) {
  std::u16string lower(word);
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return lower;
}

const TStarSymbol* StarMathSymbolOf(char16_t c) {
  const auto* found = std::find_if(std::begin(kSymbols), std::end(kSymbols),
                                   [c](const TStarSymbol& s) { return s.Char == c; });
  // '<' and '>' are written as themselves; their rows are aliases.
  if (found == std::end(kSymbols) || c == u'<' || c == u'>') return nullptr;
  return found;
}

// ASCII lower case into `buffer` without allocating: words are looked up
// for every name a text holds. Empty when the word is too long to be one.
std::u16string_view LowerInto(std::u16string_view word, char16_t (&buffer)[kLongestWord]) {
  if (word.size() > kLongestWord) return {};
  for (std::size_t i = 0; i < word.size(); ++i) {
    const char16_t c = word[i];
    buffer[i] = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
  }
  return {buffer, word.size()};
}

const TStarSymbol* StarMathSymbolOfWord(std::u16string_view lowerWord) {
  static const std::unordered_map<std::u16string, const TStarSymbol*> words = [] {
    std::unordered_map<std::u16string, const TStarSymbol*> map;
    // The written form comes first and stays.
    for (const TStarSymbol& symbol : kSymbols) map.emplace(StarMathLower(symbol.Written), &symbol);
    return map;
  }();
  if (lowerWord.size() > kLongestWord) return nullptr;
  const auto found = words.find(std::u16string(lowerWord));
  return found == words.end() ? nullptr : found->second;
}

std::optional<char16_t> StarMathGreek(std::u16string_view name) {
  // "%ialpha" is the italic alpha; the editor's font decides the style.
  if (name.size() > 2 && name[0] == u'i' && name != u"iota") name.remove_prefix(1);
  for (const TVariant& variant : kGreekVariants) {
    if (variant.Name == name) return variant.Char;
  }
  const std::u16string lower = StarMathLower(name);
  const auto* found = std::find(std::begin(kGreekNames), std::end(kGreekNames), lower);
  if (found == std::end(kGreekNames)) return std::nullopt;
  const bool upper = name != lower;
  // "%ALPHA" is the capital; "%Alpha" is no name.
  if (upper && std::any_of(name.begin(), name.end(), [](char16_t c) { return c >= u'a'; })) {
    return std::nullopt;
  }
  const auto index = static_cast<char16_t>(found - std::begin(kGreekNames));
  // σ follows the final ς, which has no capital.
  const char16_t lowerChar = static_cast<char16_t>(0x03B1 + index + (index >= 17 ? 1 : 0));
  return upper ? static_cast<char16_t>(lowerChar - 0x20) : lowerChar;
}

bool IsStarMathLetter(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
  return !QChar::isSurrogate(c) && QChar::isLetter(c);
}

bool IsStarMathWordChar(char16_t c) {
  if (c < 0x80) return IsStarMathLetter(c) || (c >= u'0' && c <= u'9');
  return !QChar::isSurrogate(c) && QChar::isLetterOrNumber(c);
}

bool IsStarMathFunctionWord(std::u16string_view lowerWord) {
  return Contains(kFunctionWords, lowerWord);
}

namespace {

// Every command word, in lower case: views of the tables and of lower-case
// copies of the symbol words.
struct TReservedWords {
  std::vector<std::u16string> Lowered;
  std::unordered_set<std::u16string_view> Words;
  // Which first letters come with which lengths: most names of a text are
  // ruled out here, without a look-up.
  bool Shapes[26][kLongestWord + 1] = {};

  TReservedWords() {
    Lowered.reserve(std::size(kSymbols));
    for (const TStarSymbol& symbol : kSymbols) {
      if (IsStarMathLetter(symbol.Written[0])) Lowered.push_back(StarMathLower(symbol.Written));
    }
    for (std::u16string_view w : kFunctionWords) Add(w);
    for (std::u16string_view w : kOtherWords) Add(w);
    for (const std::u16string& w : Lowered) Add(w);
  }
  void Add(std::u16string_view word) {
    Words.emplace(word);
    Shapes[word[0] - u'a'][word.size()] = true;
  }
};

}  // namespace

bool IsStarMathReserved(std::u16string_view word) {
  static const TReservedWords reserved;
  if (word.size() < 2 || word.size() > kLongestWord) return false;
  char16_t buffer[kLongestWord];
  const std::u16string_view lower = LowerInto(word, buffer);
  if (lower[0] < u'a' || lower[0] > u'z' || !reserved.Shapes[lower[0] - u'a'][lower.size()]) {
    return false;
  }
  return reserved.Words.contains(lower);
}
