#include "textio/Symbols.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <unordered_map>

namespace {

struct TSymbol {
  std::string_view Name;
  std::u16string_view Chars;
};

// Greek letters that LaTeX and the named characters of HTML and MathML
// call alike.
constexpr TSymbol kGreek[] = {
    {"alpha", u"\u03B1"},   {"beta", u"\u03B2"},    {"gamma", u"\u03B3"}, {"delta", u"\u03B4"},
    {"zeta", u"\u03B6"},    {"eta", u"\u03B7"},     {"theta", u"\u03B8"}, {"iota", u"\u03B9"},
    {"kappa", u"\u03BA"},   {"lambda", u"\u03BB"},  {"mu", u"\u03BC"},    {"nu", u"\u03BD"},
    {"xi", u"\u03BE"},      {"pi", u"\u03C0"},      {"rho", u"\u03C1"},   {"sigma", u"\u03C3"},
    {"tau", u"\u03C4"},     {"upsilon", u"\u03C5"}, {"chi", u"\u03C7"},   {"psi", u"\u03C8"},
    {"omega", u"\u03C9"},   {"Gamma", u"\u0393"},   {"Delta", u"\u0394"}, {"Theta", u"\u0398"},
    {"Lambda", u"\u039B"},  {"Xi", u"\u039E"},      {"Pi", u"\u03A0"},    {"Sigma", u"\u03A3"},
    {"Upsilon", u"\u03A5"}, {"Phi", u"\u03A6"},     {"Psi", u"\u03A8"},   {"Omega", u"\u03A9"},
};

// The first name of a character is the one written; later rows are aliases
// that are only read.
constexpr TSymbol kSymbols[] = {
    // Greek beyond kGreek: variants, and the forms LaTeX prefers
    {"epsilon", u"\u03F5"},
    {"varepsilon", u"\u03B5"},
    {"vartheta", u"\u03D1"},
    {"varkappa", u"\u03F0"},
    {"varpi", u"\u03D6"},
    {"varrho", u"\u03F1"},
    {"varsigma", u"\u03C2"},
    {"phi", u"\u03D5"},
    {"varphi", u"\u03C6"},
    // Mathematical Operators, U+2200..U+22FF
    {"forall", u"\u2200"},
    {"complement", u"\u2201"},
    {"partial", u"\u2202"},
    {"exists", u"\u2203"},
    {"nexists", u"\u2204"},
    {"emptyset", u"\u2205"},
    {"varnothing", u"\u2205"},
    {"nabla", u"\u2207"},
    {"in", u"\u2208"},
    {"notin", u"\u2209"},
    {"ni", u"\u220B"},
    {"owns", u"\u220B"},
    {"prod", u"\u220F"},
    {"coprod", u"\u2210"},
    {"sum", u"\u2211"},
    {"mp", u"\u2213"},
    {"dotplus", u"\u2214"},
    {"setminus", u"\u2216"},
    {"ast", u"\u2217"},
    {"circ", u"\u2218"},
    {"surd", u"\u221A"},
    {"propto", u"\u221D"},
    {"infty", u"\u221E"},
    {"angle", u"\u2220"},
    {"measuredangle", u"\u2221"},
    {"sphericalangle", u"\u2222"},
    {"mid", u"\u2223"},
    {"nmid", u"\u2224"},
    {"parallel", u"\u2225"},
    {"nparallel", u"\u2226"},
    {"wedge", u"\u2227"},
    {"land", u"\u2227"},
    {"vee", u"\u2228"},
    {"lor", u"\u2228"},
    {"cap", u"\u2229"},
    {"cup", u"\u222A"},
    {"int", u"\u222B"},
    {"iint", u"\u222C"},
    {"iiint", u"\u222D"},
    {"oint", u"\u222E"},
    {"therefore", u"\u2234"},
    {"because", u"\u2235"},
    {"sim", u"\u223C"},
    {"backsim", u"\u223D"},
    {"wr", u"\u2240"},
    {"nsim", u"\u2241"},
    {"eqsim", u"\u2242"},
    {"simeq", u"\u2243"},
    {"cong", u"\u2245"},
    {"ncong", u"\u2247"},
    {"approx", u"\u2248"},
    {"approxeq", u"\u224A"},
    {"asymp", u"\u224D"},
    {"Bumpeq", u"\u224E"},
    {"bumpeq", u"\u224F"},
    {"doteq", u"\u2250"},
    {"doteqdot", u"\u2251"},
    {"fallingdotseq", u"\u2252"},
    {"risingdotseq", u"\u2253"},
    {"eqcirc", u"\u2256"},
    {"circeq", u"\u2257"},
    {"triangleq", u"\u225C"},
    {"ne", u"\u2260"},
    {"neq", u"\u2260"},
    {"equiv", u"\u2261"},
    {"le", u"\u2264"},
    {"leq", u"\u2264"},
    {"ge", u"\u2265"},
    {"geq", u"\u2265"},
    {"leqq", u"\u2266"},
    {"geqq", u"\u2267"},
    {"lneqq", u"\u2268"},
    {"gneqq", u"\u2269"},
    {"ll", u"\u226A"},
    {"gg", u"\u226B"},
    {"between", u"\u226C"},
    {"nless", u"\u226E"},
    {"ngtr", u"\u226F"},
    {"nleq", u"\u2270"},
    {"ngeq", u"\u2271"},
    {"lesssim", u"\u2272"},
    {"gtrsim", u"\u2273"},
    {"lessgtr", u"\u2276"},
    {"gtrless", u"\u2277"},
    {"prec", u"\u227A"},
    {"succ", u"\u227B"},
    {"preccurlyeq", u"\u227C"},
    {"succcurlyeq", u"\u227D"},
    {"precsim", u"\u227E"},
    {"succsim", u"\u227F"},
    {"nprec", u"\u2280"},
    {"nsucc", u"\u2281"},
    {"subset", u"\u2282"},
    {"supset", u"\u2283"},
    {"subseteq", u"\u2286"},
    {"supseteq", u"\u2287"},
    {"nsubseteq", u"\u2288"},
    {"nsupseteq", u"\u2289"},
    {"subsetneq", u"\u228A"},
    {"supsetneq", u"\u228B"},
    {"uplus", u"\u228E"},
    {"sqsubset", u"\u228F"},
    {"sqsupset", u"\u2290"},
    {"sqsubseteq", u"\u2291"},
    {"sqsupseteq", u"\u2292"},
    {"sqcap", u"\u2293"},
    {"sqcup", u"\u2294"},
    {"oplus", u"\u2295"},
    {"ominus", u"\u2296"},
    {"otimes", u"\u2297"},
    {"oslash", u"\u2298"},
    {"odot", u"\u2299"},
    {"circledcirc", u"\u229A"},
    {"circledast", u"\u229B"},
    {"circleddash", u"\u229D"},
    {"boxplus", u"\u229E"},
    {"boxminus", u"\u229F"},
    {"boxtimes", u"\u22A0"},
    {"boxdot", u"\u22A1"},
    {"vdash", u"\u22A2"},
    {"dashv", u"\u22A3"},
    {"top", u"\u22A4"},
    {"bot", u"\u22A5"},
    {"perp", u"\u22A5"},
    {"models", u"\u22A7"},
    {"vDash", u"\u22A8"},
    {"Vdash", u"\u22A9"},
    {"Vvdash", u"\u22AA"},
    {"nvdash", u"\u22AC"},
    {"nvDash", u"\u22AD"},
    {"nVdash", u"\u22AE"},
    {"nVDash", u"\u22AF"},
    {"lhd", u"\u22B2"},
    {"rhd", u"\u22B3"},
    {"unlhd", u"\u22B4"},
    {"unrhd", u"\u22B5"},
    {"multimap", u"\u22B8"},
    {"intercal", u"\u22BA"},
    {"veebar", u"\u22BB"},
    {"barwedge", u"\u22BC"},
    {"bigwedge", u"\u22C0"},
    {"bigvee", u"\u22C1"},
    {"bigcap", u"\u22C2"},
    {"bigcup", u"\u22C3"},
    {"diamond", u"\u22C4"},
    {"cdot", u"\u22C5"},
    {"star", u"\u22C6"},
    {"divideontimes", u"\u22C7"},
    {"bowtie", u"\u22C8"},
    {"ltimes", u"\u22C9"},
    {"rtimes", u"\u22CA"},
    {"leftthreetimes", u"\u22CB"},
    {"rightthreetimes", u"\u22CC"},
    {"backsimeq", u"\u22CD"},
    {"curlyvee", u"\u22CE"},
    {"curlywedge", u"\u22CF"},
    {"Subset", u"\u22D0"},
    {"Supset", u"\u22D1"},
    {"Cap", u"\u22D2"},
    {"Cup", u"\u22D3"},
    {"pitchfork", u"\u22D4"},
    {"lessdot", u"\u22D6"},
    {"gtrdot", u"\u22D7"},
    {"lll", u"\u22D8"},
    {"ggg", u"\u22D9"},
    {"lesseqgtr", u"\u22DA"},
    {"gtreqless", u"\u22DB"},
    {"curlyeqprec", u"\u22DE"},
    {"curlyeqsucc", u"\u22DF"},
    {"lnsim", u"\u22E6"},
    {"gnsim", u"\u22E7"},
    {"precnsim", u"\u22E8"},
    {"succnsim", u"\u22E9"},
    {"ntriangleleft", u"\u22EA"},
    {"ntriangleright", u"\u22EB"},
    {"ntrianglelefteq", u"\u22EC"},
    {"ntrianglerighteq", u"\u22ED"},
    {"vdots", u"\u22EE"},
    {"cdots", u"\u22EF"},
    {"ddots", u"\u22F1"},
    // Read only: common signs outside that block, and escapes.
    {"times", u"*"},
    {"pm", u"\u00B1"},
    {"div", u"\u00F7"},
    {"ldots", u"\u2026"},
    {"dots", u"\u2026"},
    {"to", u"\u2192"},
    {"rightarrow", u"\u2192"},
    {"gets", u"\u2190"},
    {"leftarrow", u"\u2190"},
    {"Rightarrow", u"\u21D2"},
    {"Leftarrow", u"\u21D0"},
    {"leftrightarrow", u"\u2194"},
    {"Leftrightarrow", u"\u21D4"},
    {"iff", u"\u27FA"},
    {"implies", u"\u27F9"},
    {"mapsto", u"\u21A6"},
    {"lt", u"<"},
    {"gt", u">"},
    {"prime", u"\u2032"},
    {"hbar", u"\u210F"},
    {"ell", u"\u2113"},
    {"Re", u"\u211C"},
    {"Im", u"\u2111"},
    {"aleph", u"\u2135"},
    {"wp", u"\u2118"},
    {"langle", u"\u27E8"},
    {"rangle", u"\u27E9"},
    {"lbrace", u"{"},
    {"rbrace", u"}"},
    {"lbrack", u"["},
    {"rbrack", u"]"},
    {"vert", u"|"},
    {"backslash", u"\\"},
    {"colon", u":"},
    {"lnot", u"\u00AC"},
    {"neg", u"\u00AC"},
    {"leqslant", u"\u2A7D"},
    {"geqslant", u"\u2A7E"},
    {"dagger", u"\u2020"},
    {"ddagger", u"\u2021"},
    {"bullet", u"\u2022"},
    {"degree", u"\u00B0"},
    {"Vert", u"\u2016"},
};

constexpr std::u16string_view kOperatorNames[] = {
    u"arccos", u"arcsin", u"arctan", u"arg",    u"cos",    u"cosh", u"cot", u"coth",
    u"csc",    u"deg",    u"det",    u"dim",    u"exp",    u"gcd",  u"hom", u"inf",
    u"ker",    u"lg",     u"lim",    u"liminf", u"limsup", u"ln",   u"log", u"max",
    u"min",    u"Pr",     u"sec",    u"sin",    u"sinh",   u"sup",  u"tan", u"tanh",
};

constexpr TSymbol kEntities[] = {
    {"nbsp", u"\u00A0"},
    {"times", u"\u00D7"},
    {"minus", u"\u2212"},
    {"plusmn", u"\u00B1"},
    {"pm", u"\u00B1"},
    {"divide", u"\u00F7"},
    {"middot", u"\u00B7"},
    {"sdot", u"\u22C5"},
    {"sum", u"\u2211"},
    {"Sum", u"\u2211"},
    {"int", u"\u222B"},
    {"Integral", u"\u222B"},
    {"infin", u"\u221E"},
    {"le", u"\u2264"},
    {"leq", u"\u2264"},
    {"ge", u"\u2265"},
    {"geq", u"\u2265"},
    {"ne", u"\u2260"},
    {"equiv", u"\u2261"},
    {"asymp", u"\u2248"},
    {"ApplyFunction", u"\u2061"},
    {"af", u"\u2061"},
    {"InvisibleTimes", u"\u2062"},
    {"it", u"\u2062"},
    {"InvisibleComma", u"\u2063"},
    {"ic", u"\u2063"},
    {"lpar", u"("},
    {"rpar", u")"},
    {"verbar", u"|"},
    {"vert", u"|"},
    {"VerticalBar", u"|"},
    {"prime", u"\u2032"},
    {"part", u"\u2202"},
    {"PartialD", u"\u2202"},
    {"nabla", u"\u2207"},
    {"sqrt", u"\u221A"},
    {"rarr", u"\u2192"},
    {"RightArrow", u"\u2192"},
    {"ThinSpace", u"\u2009"},
    {"thinsp", u"\u2009"},
    {"epsilon", u"\u03B5"},
    {"omicron", u"\u03BF"},
    {"sigmaf", u"\u03C2"},
    {"phi", u"\u03C6"},
};

std::optional<std::u16string_view> CharsOf(std::span<const TSymbol> table, std::string_view name) {
  const auto found = std::find_if(table.begin(), table.end(),
                                  [name](const TSymbol& symbol) { return symbol.Name == name; });
  if (found == table.end()) return std::nullopt;
  return found->Chars;
}

}  // namespace

std::string_view LatexNameOf(char16_t c) {
  const bool greek = c >= 0x0391 && c <= 0x03F5;
  const bool operators = c >= 0x2100 && c <= 0x22FF;  // letterlike, arrows, operators
  if (!greek && !operators) return {};
  for (const auto& table : {std::span<const TSymbol>(kGreek), std::span<const TSymbol>(kSymbols)}) {
    for (const TSymbol& symbol : table) {
      if (symbol.Chars.size() == 1 && symbol.Chars[0] == c) return symbol.Name;
    }
  }
  return {};
}

// Looked up for every command of a text: a search of the tables would make a
// text of many commands slow.
std::optional<std::u16string_view> SymbolOfLatexName(std::string_view name) {
  static const std::unordered_map<std::string_view, std::u16string_view> index = [] {
    std::unordered_map<std::string_view, std::u16string_view> names;
    for (const auto& table :
         {std::span<const TSymbol>(kGreek), std::span<const TSymbol>(kSymbols)}) {
      for (const TSymbol& symbol : table) names.emplace(symbol.Name, symbol.Chars);
    }
    return names;
  }();
  const auto found = index.find(name);
  if (found == index.end()) return std::nullopt;
  return found->second;
}

std::u16string_view WithoutOuterBlanks(std::u16string_view name) {
  const std::size_t first = name.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return {};
  return name.substr(first, name.find_last_not_of(u' ') - first + 1);
}

bool IsStandardOperatorName(std::u16string_view name) {
  return std::find(std::begin(kOperatorNames), std::end(kOperatorNames), name) !=
         std::end(kOperatorNames);
}

std::optional<std::u16string_view> CharacterOfEntity(std::string_view name) {
  if (const auto chars = CharsOf(kGreek, name)) return chars;
  return CharsOf(kEntities, name);
}

bool IsLetterLike(std::u16string_view chars) {
  if (chars.size() != 1) return false;
  const char16_t c = chars[0];
  constexpr std::u16string_view kLetterLike =
      u"\u2200\u2201\u2202\u2203\u2204\u2205\u2207\u221E\u210F\u2113\u211C\u2111\u2135"
      u"\u2118";
  return (c >= 0x370 && c <= 0x3FF) || kLetterLike.find(c) != std::u16string_view::npos;
}

bool IsRelationSign(std::u16string_view atom) {
  constexpr std::u16string_view kRelations =
      u"=<>\u2260\u2264\u2265\u2248\u2261\u223C\u2245\u221D\u2192\u21D2\u21D4\u2208"
      u"\u2209\u2282\u2286\u2283\u2287\u220B\u226A\u226B\u2243\u2190\u2194\u21D0\u21A6"
      u"\u27F6\u27F9\u27FA\u2250\u2254\u2266\u2267\u2284\u2285";
  return atom.size() == 1 && kRelations.find(atom[0]) != std::u16string_view::npos;
}

bool EndsBigOperand(std::u16string_view atom) {
  return atom == u"," || atom == u";" || IsRelationSign(atom);
}

bool EndsFunctionOperand(std::u16string_view atom) {
  return atom == u"+" || atom == u"-" || atom == u"\u2212" || atom == u"\u00B1" ||
         atom == u"\u2213" || EndsBigOperand(atom);
}
