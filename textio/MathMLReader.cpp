// Presentation MathML to formula. expat reads the elements into one flat
// array in document order (an element knows where its descendants end);
// then each row of siblings is planned once, in linear time: which brackets
// and bars pair, and where an operand written without brackets ends. The
// elements then become rows as in the LaTeX reader, by the same operand rules.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/BlockBudget.h"
#include "textio/DeepStack.h"
#include "textio/FormulaText.h"
#include "textio/Symbols.h"
#include "textio/TextError.h"
#include "textio/TextReading.h"
#include "textio/TextTree.h"
#include "textio/XmlReader.h"

namespace {

constexpr std::string_view kMathMLNamespace = "http://www.w3.org/1998/Math/MathML";

// The elements a formula can hold; any other is kept by name, for the message
// that refuses it.
enum class TTag : std::uint8_t {
  Other,
  Math,
  Mrow,
  Mi,
  Mn,
  Mo,
  Mtext,
  Mspace,
  Mfenced,
  Mstyle,
  Mpadded,
  Mphantom,
  Msub,
  Msup,
  Msubsup,
  Munder,
  Mover,
  Munderover,
  Mfrac,
  Msqrt,
  Mroot,
  Semantics,
  Annotation,
  AnnotationXml
};
constexpr std::string_view kTagNames[] = {
    "",      "math",   "mrow",    "mi",        "mn",         "mo",
    "mtext", "mspace", "mfenced", "mstyle",    "mpadded",    "mphantom",
    "msub",  "msup",   "msubsup", "munder",    "mover",      "munderover",
    "mfrac", "msqrt",  "mroot",   "semantics", "annotation", "annotation-xml"};

TTag TagNamed(std::string_view name) {
  for (std::size_t i = 1; i < std::size(kTagNames); ++i) {
    if (kTagNames[i] == name) return static_cast<TTag>(i);
  }
  return TTag::Other;
}

bool IsToken(TTag tag) {
  return tag == TTag::Mi || tag == TTag::Mn || tag == TTag::Mo || tag == TTag::Mtext;
}

bool IsScripts(TTag tag) {
  return tag == TTag::Msub || tag == TTag::Msup || tag == TTag::Msubsup || tag == TTag::Munder ||
         tag == TTag::Mover || tag == TTag::Munderover;
}

// Elements whose children are a row of their own.
bool IsRowTag(TTag tag) {
  return tag == TTag::Mrow || tag == TTag::Mstyle || tag == TTag::Mpadded || tag == TTag::Math;
}

// A piece of the document's text pool.
struct TRange {
  std::uint32_t Start = 0;
  std::uint32_t Size = 0;
};

// What <mfenced> says about its fences and separators.
struct TFence {
  TRange Open;
  TRange Close;
  TRange Separators;
};

// Marks an <mo> or <mi> carries in its attributes.
// kOperatorClass: MathJax's mark of an operator name (\operatorname).
enum TMark : std::uint8_t { kPrefix = 1, kPostfix = 2, kMovableLimits = 4, kOperatorClass = 8 };

struct TElement {
  TTag Tag = TTag::Other;
  std::uint8_t Marks = 0;
  TRange Text;              // a token's text, trimmed; the name of an unknown element
  std::uint32_t End = 0;    // index just past its last descendant
  std::uint32_t Fence = 0;  // <mfenced>: 1 + its index among the fences
  std::uint32_t Byte = 0;   // where its start tag begins
};

// Every element in document order, and the texts they hold.
struct TMathDocument {
  std::vector<TElement> Elements;
  std::u16string Texts;
  std::vector<TFence> Fences;

  std::u16string_view TextOf(TRange range) const {
    return std::u16string_view(Texts).substr(range.Start, range.Size);
  }
};

void AppendUtf8(std::string_view utf8, std::u16string& out) {
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t code = 0;
    const std::size_t length = Utf8SequenceAt(utf8, i, code);
    AppendUtf16(length == 0 ? U'\uFFFD' : code, out);
    i += length == 0 ? 1 : length;
  }
}

bool IsXmlBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

TRange Trimmed(std::u16string_view pool, TRange range) {
  while (range.Size > 0 && IsXmlBlank(pool[range.Start])) {
    ++range.Start;
    --range.Size;
  }
  while (range.Size > 0 && IsXmlBlank(pool[range.Start + range.Size - 1])) --range.Size;
  return range;
}

// Builds the document from expat's events; refuses elements of another
// namespace and nesting beyond the limit. What annotations hold is skipped.
class TDocumentBuilder : public TXmlHandler {
 public:
  TDocumentBuilder(TMathDocument& document, std::size_t expectedElements) : document_(document) {
    document_.Elements.reserve(expectedElements);
  }

  const std::string& Refusal() const { return refusal_; }
  const std::string& UnknownEntity() const { return unknownEntity_; }

  bool StartElement(const TXmlName& name, const TXmlAttributes& attributes,
                    std::size_t byte) override {
    if (skipped_ > 0) {
      ++skipped_;
      return true;
    }
    if (!name.Namespace.empty() && name.Namespace != kMathMLNamespace) {
      const std::string qualified = name.Prefix.empty()
                                        ? std::string(name.Local)
                                        : std::string(name.Prefix) + ":" + std::string(name.Local);
      return Refuse("Das Element „" + qualified + "“ gehört nicht zu MathML.");
    }
    if (open_.size() >= static_cast<std::size_t>(kMaxTextNesting)) return Refuse(kTextTooDeep);
    TElement element;
    element.Tag = TagNamed(name.Local);
    element.Byte = static_cast<std::uint32_t>(byte);
    if (element.Tag == TTag::Other) element.Text = Store(name.Local);
    if (element.Tag == TTag::Mfenced) element.Fence = StoreFence(attributes);
    if (element.Tag == TTag::Mo || element.Tag == TTag::Mi) element.Marks = MarksOf(attributes);
    if (element.Tag == TTag::Annotation || element.Tag == TTag::AnnotationXml) skipped_ = 1;
    element.Text.Start = IsToken(element.Tag) ? static_cast<std::uint32_t>(document_.Texts.size())
                                              : element.Text.Start;
    open_.push_back(static_cast<std::uint32_t>(document_.Elements.size()));
    document_.Elements.push_back(element);
    return true;
  }

  bool EndElement() override {
    if (skipped_ > 1) {
      --skipped_;
      return true;
    }
    skipped_ = 0;
    TElement& element = document_.Elements[open_.back()];
    open_.pop_back();
    element.End = static_cast<std::uint32_t>(document_.Elements.size());
    if (IsToken(element.Tag)) {
      element.Text.Size = static_cast<std::uint32_t>(document_.Texts.size()) - element.Text.Start;
      element.Text = Trimmed(document_.Texts, element.Text);
    }
    return true;
  }

  bool Text(std::string_view utf8) override {
    if (InToken()) AppendUtf8(utf8, document_.Texts);
    return true;
  }

  // Named characters as word processors and browsers write them.
  bool Entity(std::string_view name) override {
    const auto chars = CharacterOfEntity(name);
    if (!chars) {
      unknownEntity_ = name;
      return false;
    }
    if (InToken()) document_.Texts += *chars;
    return true;
  }

 private:
  bool InToken() const {
    return skipped_ == 0 && !open_.empty() && IsToken(document_.Elements[open_.back()].Tag);
  }

  bool Refuse(std::string message) {
    refusal_ = std::move(message);
    return false;
  }

  TRange Store(std::string_view utf8) {
    TRange range{static_cast<std::uint32_t>(document_.Texts.size()), 0};
    AppendUtf8(utf8, document_.Texts);
    range.Size = static_cast<std::uint32_t>(document_.Texts.size()) - range.Start;
    return range;
  }

  // Fences trimmed, separators without their blanks.
  std::uint32_t StoreFence(const TXmlAttributes& attributes) {
    const auto take = [&](std::string_view name, std::string_view otherwise) {
      // Stored before the pool is looked at: storing may move it.
      const TRange stored = Store(attributes.Value(name).value_or(otherwise));
      return Trimmed(document_.Texts, stored);
    };
    TFence fence;
    fence.Open = take("open", "(");
    fence.Close = take("close", ")");
    std::string separators(attributes.Value("separators").value_or(","));
    std::erase_if(separators,
                  [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
    fence.Separators = Store(separators);
    document_.Fences.push_back(fence);
    return static_cast<std::uint32_t>(document_.Fences.size());
  }

  static std::uint8_t MarksOf(const TXmlAttributes& attributes) {
    std::uint8_t marks = 0;
    const auto form = attributes.Value("form");
    if (form == "prefix") marks |= kPrefix;
    if (form == "postfix") marks |= kPostfix;
    if (attributes.Value("movablelimits") == "true") marks |= kMovableLimits;
    if (attributes.Value("data-mjx-texclass") == "OP") marks |= kOperatorClass;
    return marks;
  }

  TMathDocument& document_;
  std::vector<std::uint32_t> open_;
  int skipped_ = 0;  // inside an annotation: its depth
  std::string refusal_;
  std::string unknownEntity_;
};

// The typographic operators stand for the characters a term holds; primes
// for the apostrophes of f' as typed.
std::u16string PlainOperators(std::u16string_view text) {
  std::u16string plain;
  for (const char16_t c : text) {
    if (c >= 0x2032 && c <= 0x2034) {
      plain.append(static_cast<std::size_t>(c - 0x2031), u'\'');
      continue;
    }
    plain += c == u'\u00D7' ? u'*' : c == u'\u2212' ? u'-' : c == u'\u2215' ? u'/' : c;
  }
  return plain;
}

bool IsInvisible(std::u16string_view text) {
  return text.size() == 1 && text[0] >= 0x2061 && text[0] <= 0x2064;
}

// Bars of an absolute value: | and ∣, or ∥ and ‖. Only bars of one family pair.
int BarFamily(std::u16string_view text) {
  if (text == u"|" || text == u"\u2223") return 1;
  if (text == u"\u2225" || text == u"\u2016") return 2;
  return 0;
}

// Sub- and superscript characters only (², ₂, ⁻¹ ...).
bool IsScriptText(std::u16string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char16_t c) {
    return c == 0xB2 || c == 0xB3 || c == 0xB9 || (c >= 0x2070 && c <= 0x209F) ||
           (c >= 0x1D43 && c <= 0x1DBF) || (c >= 0x02B0 && c <= 0x02E4) || c == 0x2C7C;
  });
}

// Spaces of every width, as typeset spacing commands come out in text.
bool IsBlankText(std::u16string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char16_t c) {
    return c == u' ' || c == u'\u00A0' || (c >= 0x2000 && c <= 0x200B) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
  });
}

bool IsLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
         (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

// What an item of a row is to the operand rules.
enum class TKind : std::uint8_t {
  Plain,
  Open,         // (
  Close,        // )
  Bar,          // | ∣ ‖, alone or alone in a row
  Name,         // a function's name: it takes an operand
  Apply,        // U+2061
  Spacing,      // ends a summand
  EndsBig,      // relation sign, comma, semicolon: ends every operand
  EndsFunction  // + − ± ∓: ends a function's operand
};

constexpr std::uint32_t kNone = UINT32_MAX;

// One row's items with what the operand rules need, found in two passes.
struct TSlot {
  std::uint32_t Element = 0;
  TKind Kind = TKind::Plain;
  std::uint8_t Family = 0;        // bars
  std::uint32_t Partner = kNone;  // the other bracket or bar of a pair
  std::uint32_t SumEnd = 0;       // where a summand starting here ends
  std::uint32_t IntegralEnd = 0;  // where an integrand starting here ends
  std::uint32_t FunctionEnd = 0;  // where a function's operand starting here ends
  std::uint32_t NextNonName = 0;  // the first item from here that is no name
};

// A step of the conversion: nothing, or the reason the text is refused.
class [[nodiscard]] TStep {
 public:
  TStep() = default;
  explicit TStep(TTextError refusal) : refusal_(std::move(refusal)) {}
  bool Ok() const { return !refusal_.has_value(); }
  TTextError Refusal() && { return std::move(*refusal_); }

 private:
  std::optional<TTextError> refusal_;
};

class TMathMLConverter {
 public:
  TMathMLConverter(const TMathDocument& document, std::string_view xml)
      : document_(document), xml_(xml) {}

  TStep Convert(TTextSeq& seq) {
    TRow row;
    TStep step = Contents(0, row, false);
    if (step.Ok()) seq = std::move(row).Finish();
    return step;
  }

 private:
  using TPlan = std::vector<TSlot>;

  const TElement& At(std::uint32_t i) const { return document_.Elements[i]; }
  std::u16string_view Text(std::uint32_t i) const { return document_.TextOf(At(i).Text); }
  TTag Tag(std::uint32_t i) const { return At(i).Tag; }
  bool IsOperator(std::uint32_t i, std::u16string_view text) const {
    return Tag(i) == TTag::Mo && Text(i) == text;
  }
  std::uint32_t FirstChild(std::uint32_t i) const { return i + 1; }
  std::uint32_t ChildCount(std::uint32_t i) const {
    std::uint32_t count = 0;
    for (std::uint32_t c = i + 1; c < At(i).End; c = At(c).End) ++count;
    return count;
  }
  std::uint32_t Child(std::uint32_t i, std::uint32_t n) const {
    std::uint32_t c = i + 1;
    while (n-- > 0) c = At(c).End;
    return c;
  }
  // The single child of a row, or kNone.
  std::uint32_t OnlyChild(std::uint32_t i) const {
    return IsRowTag(Tag(i)) && i + 1 < At(i).End && At(i + 1).End == At(i).End ? i + 1 : kNone;
  }

  TStep Fail(std::uint32_t at, std::string message) const {
    const TXmlPosition position = LocateByte(xml_, At(at).Byte);
    TTextError error;
    error.Message = std::move(message);
    error.Offset = Utf16Offset(xml_, position.Byte);
    error.Line = position.Line;
    error.Column = position.Column;
    return TStep(std::move(error));
  }

  std::u16string NameOfTag(std::uint32_t i) const {
    return Tag(i) == TTag::Other ? std::u16string(Text(i))
                                 : Utf16FromUtf8(kTagNames[static_cast<int>(Tag(i))]);
  }

  // What the tree will hold is counted as it is read: a text of many small
  // functions is refused before its record blocks are asked for.
  TStep AddFunction(TRow& row, TTextNode node, std::uint32_t at) {
    if (const char* problem = tally_.TakeFunction(node)) return Fail(at, problem);
    row.AddEntry(std::move(node));
    return {};
  }

  bool CountEntry() { return tally_.CountEntry(); }

  // ---- Planning a row ---------------------------------------------------

  std::u16string_view BigOperatorSign(std::uint32_t i) const {
    if (IsOperator(i, u"\u2211")) return u"\u2211";
    if (IsOperator(i, u"\u222B")) return u"\u222B";
    return {};
  }

  // A bar element, or a row that holds only one.
  std::uint32_t BarElement(std::uint32_t i) const {
    const std::uint32_t only = OnlyChild(i);
    if (only != kNone) return BarElement(only) != kNone ? only : kNone;
    const TTag tag = Tag(i);
    return (tag == TTag::Mo || tag == TTag::Mi) && BarFamily(Text(i)) != 0 ? i : kNone;
  }

  bool IsApply(std::uint32_t i) const {
    return (Tag(i) == TTag::Mo || Tag(i) == TTag::Mi) && Text(i) == u"\u2061";
  }

  // <mspace>, alone or in a row, or an <mtext> of blanks (KaTeX's \,).
  bool IsSpacing(std::uint32_t i) const {
    const std::uint32_t only = OnlyChild(i);
    return Tag(i) == TTag::Mspace || (only != kNone && Tag(only) == TTag::Mspace) ||
           (Tag(i) == TTag::Mtext && IsBlankText(Text(i)));
  }

  // The text a name is made of: a token, or a row of letter tokens (as
  // \operatorname gives it), maybe ending in U+2061; nothing for any other
  // element.
  std::optional<std::u16string> NameText(std::uint32_t i) const {
    const TTag tag = Tag(i);
    if (tag == TTag::Mi || tag == TTag::Mo) return std::u16string(Text(i));
    if (!IsRowTag(tag) || tag == TTag::Math || i + 1 >= At(i).End) return std::nullopt;
    std::u16string name;
    for (std::uint32_t c = i + 1; c < At(i).End; c = At(c).End) {
      if (IsApply(c) && At(c).End == At(i).End) break;
      if (Tag(c) != TTag::Mi && Tag(c) != TTag::Mn && Tag(c) != TTag::Mtext) return std::nullopt;
      name += Text(c);
    }
    if (name.empty()) return std::nullopt;
    return name;
  }

  // A row whose last child is U+2061 (KaTeX raises "sin⁡" as a whole).
  bool EndsInApply(std::uint32_t i) const {
    return IsRowTag(Tag(i)) && i + 1 < At(i).End && IsApply(LastChild(i));
  }

  // A name that is a function without U+2061 after it: a standard operator
  // name alone (in its row, if any), an <mo> of letters (pandoc's
  // \operatorname) or with movable limits, an <mi> MathJax marks as operator.
  bool IsNameByItself(std::uint32_t i) const {
    if (EndsInApply(i)) return true;
    const std::uint32_t only = OnlyChild(i);
    const std::uint32_t token = only != kNone ? only : i;
    if (Tag(token) != TTag::Mi && Tag(token) != TTag::Mo) return false;
    const std::u16string_view text = Text(token);
    if (IsStandardOperatorName(text)) return true;
    if (text.empty() || !IsLetter(text[0])) return false;
    const std::uint8_t marks = At(token).Marks;
    const bool letters = std::all_of(text.begin(), text.end(), IsLetter);
    return (marks & kOperatorClass) != 0 ||
           (Tag(token) == TTag::Mo && (letters || (marks & kMovableLimits) != 0));
  }

  // The element that carries a name: itself, or the base of its scripts.
  std::uint32_t NameCarrier(std::uint32_t i) const {
    return IsScripts(Tag(i)) && i + 1 < At(i).End ? FirstChild(i) : i;
  }

  bool IsStopToken(std::u16string_view text) const {
    return text == u"(" || text == u")" || BarFamily(text) != 0 || EndsFunctionOperand(text);
  }

  TKind KindOf(std::uint32_t i, bool applyFollows) const {
    if (BarElement(i) != kNone) return TKind::Bar;
    if (IsApply(i)) return TKind::Apply;
    if (IsSpacing(i)) return TKind::Spacing;
    if (Tag(i) == TTag::Mo) {
      const std::u16string_view text = Text(i);
      if (text == u"(") return TKind::Open;
      if (text == u")") return TKind::Close;
      if (EndsBigOperand(text)) return TKind::EndsBig;
      if (EndsFunctionOperand(text)) return TKind::EndsFunction;
    }
    const std::uint32_t carrier = NameCarrier(i);
    if (!BigOperatorSign(carrier).empty()) return TKind::Plain;
    const auto name = NameText(carrier);
    if (name && !IsStopToken(*name) && !IsInvisible(*name) &&
        (applyFollows || IsNameByItself(carrier))) {
      return TKind::Name;
    }
    return TKind::Plain;
  }

  // ⅆ, or d (maybe alone in a row) before a variable: an integral's differential.
  bool IsDifferential(const TPlan& plan, std::size_t k) const {
    if (k + 1 >= plan.size() || Tag(plan[k + 1].Element) != TTag::Mi) return false;
    const std::uint32_t i = plan[k].Element;
    const std::uint32_t only = OnlyChild(i);
    const std::uint32_t token = only != kNone ? only : i;
    const std::u16string_view text = Text(token);
    return (Tag(token) == TTag::Mi || Tag(token) == TTag::Mo) &&
           (text == u"d" || text == u"\u2146");
  }

  TPlan Plan(std::vector<std::uint32_t> items) const {
    TPlan plan(items.size());
    for (std::size_t k = plan.size(); k-- > 0;) {
      plan[k].Element = items[k];
      const bool applyFollows = k + 1 < plan.size() && plan[k + 1].Kind == TKind::Apply;
      // LibreOffice writes sin² as sin, ² and then U+2061: the ² belongs to the name.
      const bool nameSuffix =
          applyFollows && IsToken(Tag(items[k])) && IsScriptText(Text(items[k])) && k > 0;
      plan[k].Kind = nameSuffix ? TKind::Apply : KindOf(items[k], applyFollows);
      if (plan[k].Kind == TKind::Bar)
        plan[k].Family = static_cast<std::uint8_t>(BarFamily(Text(BarElement(items[k]))));
    }
    PairBrackets(plan);
    FindOperandEnds(plan);
    return plan;
  }

  std::uint32_t LastChild(std::uint32_t i) const {
    std::uint32_t last = i + 1;
    while (At(last).End < At(i).End) last = At(last).End;
    return last;
  }

  // A row that opens with "(" or a bar and closes with ")" or a bar.
  bool IsBracketedRow(std::uint32_t i) const {
    if (Tag(i) != TTag::Mrow || i + 1 >= At(i).End) return false;
    const auto bracket = [this](std::uint32_t e, std::u16string_view paren) {
      return IsOperator(e, paren) || BarElement(e) != kNone;
    };
    return bracket(FirstChild(i), u"(") && bracket(LastChild(i), u")");
  }

  // LibreOffice nests a binary expression's right side in a row, so that
  // "sin(x) + cos(x)" comes as sin ⁡ [(x) + cos] ⁡ [(x)]: a row after U+2061
  // that opens with a bracketed row and holds more is no group of its own.
  bool IsSplitRow(std::uint32_t c) const {
    return Tag(c) == TTag::Mrow && c + 1 < At(c).End && At(c + 1).End < At(c).End &&
           IsBracketedRow(FirstChild(c));
  }

  TPlan PlanOfChildren(std::uint32_t i) const {
    std::vector<std::uint32_t> items;
    for (std::uint32_t c = i + 1; c < At(i).End; c = At(c).End) {
      if (!items.empty() && IsApply(items.back()) && IsSplitRow(c)) {
        for (std::uint32_t g = c + 1; g < At(c).End; g = At(g).End) items.push_back(g);
      } else {
        items.push_back(c);
      }
    }
    return Plan(std::move(items));
  }

  std::uint8_t BarMarks(const TSlot& slot) const { return At(BarElement(slot.Element)).Marks; }

  // Brackets pair as nested; a bar marked prefix opens, one marked postfix
  // closes, an unmarked bar closes an open bar of its family or opens. What
  // a ")" or a closing bar skips stays unpaired.
  void PairBrackets(TPlan& plan) const {
    std::vector<std::uint32_t> open;
    std::size_t openParens = 0;
    const auto pair = [&](std::size_t k) {
      plan[k].Partner = open.back();
      plan[open.back()].Partner = static_cast<std::uint32_t>(k);
      open.pop_back();
    };
    for (std::size_t k = 0; k < plan.size(); ++k) {
      const TSlot& slot = plan[k];
      if (slot.Kind == TKind::Open) {
        open.push_back(static_cast<std::uint32_t>(k));
        ++openParens;
      } else if (slot.Kind == TKind::Close && openParens > 0) {
        while (plan[open.back()].Kind != TKind::Open) open.pop_back();
        pair(k);
        --openParens;
      } else if (slot.Kind == TKind::Bar) {
        const std::uint8_t marks = BarMarks(slot);
        const bool closes = !open.empty() && plan[open.back()].Kind == TKind::Bar &&
                            plan[open.back()].Family == slot.Family && (marks & kPrefix) == 0;
        if (closes) {
          pair(k);
        } else if ((marks & kPostfix) == 0) {
          open.push_back(static_cast<std::uint32_t>(k));
        }
      }
    }
  }

  // From the end backwards: an operand ends before a stop at its own level;
  // a bracketed block inside it is passed over, and the ")" or bar that
  // closes the block around it ends it.
  void FindOperandEnds(TPlan& plan) const {
    const auto n = static_cast<std::uint32_t>(plan.size());
    std::vector<TSlot> after(1);
    const auto slotAt = [&](std::uint32_t k) -> const TSlot& {
      return k < n ? plan[k] : after.front();
    };
    after.front().SumEnd = after.front().IntegralEnd = after.front().FunctionEnd =
        after.front().NextNonName = n;
    for (std::uint32_t k = n; k-- > 0;) {
      TSlot& slot = plan[k];
      const bool opens = slot.Partner != kNone && slot.Partner > k;
      const bool closes = slot.Kind == TKind::Close || (slot.Partner != kNone && slot.Partner < k);
      const TSlot& next = slotAt(opens ? slot.Partner + 1 : k + 1);
      const bool endsBig = closes || slot.Kind == TKind::EndsBig;
      slot.SumEnd = endsBig || slot.Kind == TKind::Spacing ? k : next.SumEnd;
      slot.FunctionEnd = endsBig || slot.Kind == TKind::EndsFunction ? k : next.FunctionEnd;
      if (endsBig) {
        slot.IntegralEnd = k;
      } else if (slot.Kind == TKind::Spacing) {
        slot.IntegralEnd = IsDifferential(plan, k + 1) ? slotAt(k + 1).IntegralEnd : k;
      } else if (IsDifferential(plan, k)) {
        slot.IntegralEnd = k + 2;
      } else {
        slot.IntegralEnd = next.IntegralEnd;
      }
      const bool name = slot.Kind == TKind::Name || slot.Kind == TKind::Apply;
      slot.NextNonName = name ? slotAt(k + 1).NextNonName : k;
    }
  }

  // ---- Converting -------------------------------------------------------

  // Nesting of rows inside rows, through elements and through operands
  // written without brackets alike, is bounded.
  TStep Range(const TPlan& plan, std::size_t from, std::size_t to, TRow& row, bool textOnly) {
    const TNestingGuard level(depth_);
    if (depth_ > kMaxTextNesting) {
      return Fail(plan.empty() ? 0 : plan[std::min(from, plan.size() - 1)].Element, kTextTooDeep);
    }
    for (std::size_t k = from; k < to; ++k) {
      TStep step = Element(plan, k, to, row, textOnly);
      if (!step.Ok()) return step;
    }
    return {};
  }

  TStep Children(std::uint32_t i, TRow& row, bool textOnly) {
    const TPlan plan = PlanOfChildren(i);
    return Range(plan, 0, plan.size(), row, textOnly);
  }

  // A row-like element's children join `row`; any other element is one item.
  TStep Contents(std::uint32_t i, TRow& row, bool textOnly) {
    if (IsRowTag(Tag(i))) return Children(i, row, textOnly);
    return Item(i, row, textOnly);
  }

  TStep Item(std::uint32_t i, TRow& row, bool textOnly) {
    const TPlan plan = Plan({i});
    return Range(plan, 0, 1, row, textOnly);
  }

  TStep TextOf(std::uint32_t i, std::u16string& text) {
    TRow row;
    TStep step = Contents(i, row, true);
    if (step.Ok()) text = row.PlainText().value_or(u"");
    return step;
  }

  TStep WantChildren(std::uint32_t i, std::uint32_t count) const {
    const std::uint32_t has = ChildCount(i);
    if (has == count) return {};
    return Fail(i, "Das Element " + Quoted(NameOfTag(i)) + " braucht " + std::to_string(count) +
                       " Kinder, nicht " + std::to_string(has) + ".");
  }

  // Handles plan[k], and the items it takes with it (an operand, the content
  // between two bars): `k` ends on the last it took.
  TStep Element(const TPlan& plan, std::size_t& k, std::size_t to, TRow& row, bool textOnly) {
    const std::uint32_t i = plan[k].Element;
    switch (Tag(i)) {
      case TTag::Mi:
      case TTag::Mn:
      case TTag::Mtext:
      case TTag::Mo:
        return Token(plan, k, to, row, textOnly);
      case TTag::Mspace:
        row.AddSpacing(u" ");
        return {};
      case TTag::Math:
      case TTag::Mrow:
      case TTag::Mstyle:
      case TTag::Mpadded:
        return RowLike(plan, k, to, row, textOnly);
      case TTag::Mphantom:
      case TTag::Annotation:
      case TTag::AnnotationXml:
        return {};  // nothing that shows
      case TTag::Semantics:
        return i + 1 < At(i).End ? Contents(FirstChild(i), row, textOnly) : TStep();
      case TTag::Mfenced:
        return Fenced(i, row, textOnly);
      case TTag::Msub:
      case TTag::Msup:
      case TTag::Msubsup:
      case TTag::Munder:
      case TTag::Mover:
      case TTag::Munderover:
        return Scripts(plan, k, to, row, textOnly);
      case TTag::Mfrac:
      case TTag::Msqrt:
      case TTag::Mroot:
        if (textOnly) return Fail(i, OnlyTextMessage(Quoted(NameOfTag(i))));
        return Tag(i) == TTag::Mfrac ? Fraction(i, row) : Root(i, row);
      case TTag::Other:
        return Fail(i, "Das MathML-Element " + Quoted(NameOfTag(i)) + " wird nicht unterstützt.");
    }
    return {};
  }

  // A bar that pairs within the range: the absolute value up to its partner.
  bool PairsWithin(const TPlan& plan, std::size_t k, std::size_t to) const {
    return plan[k].Kind == TKind::Bar && plan[k].Partner != kNone && plan[k].Partner > k &&
           plan[k].Partner < to;
  }

  TStep Token(const TPlan& plan, std::size_t& k, std::size_t to, TRow& row, bool textOnly) {
    const std::uint32_t i = plan[k].Element;
    if (!textOnly) {
      if (plan[k].Kind == TKind::Name) return Named(plan, k, to, row);
      if (PairsWithin(plan, k, to)) return Bars(plan, k, row);
      if (!BigOperatorSign(i).empty()) return BigOperator(plan, k, to, row, i, kNone, kNone);
    }
    const std::u16string_view text = Text(i);
    if (IsInvisible(text)) return {};  // function application, times, separator and plus
    if (const std::u16string primes = Primes(i); !primes.empty()) {
      row.AddAtom(primes);  // pandoc's f′ as <mi>′</mi>
      return {};
    }
    if (Tag(i) == TTag::Mo) {
      if (text == u"(") {
        row.AddOpenParen();
      } else if (text == u")") {
        row.AddCloseParen();
      } else if (!text.empty()) {
        row.AddAtom(PlainOperators(text));
      }
      return {};
    }
    if (Tag(i) == TTag::Mtext && IsBlankText(text)) {
      row.AddSpacing(u" ");
      return {};
    }
    // An empty <mtext/> still stands for a term, as the writer uses it.
    if (!text.empty() || Tag(i) == TTag::Mtext) row.AddAtom(text);
    return {};
  }

  // Only <mrow> keeps its text apart from the text around it; style and
  // padding do not.
  TStep RowLike(const TPlan& plan, std::size_t& k, std::size_t to, TRow& row, bool textOnly) {
    const std::uint32_t i = plan[k].Element;
    if (!textOnly && plan[k].Kind == TKind::Name) return Named(plan, k, to, row);
    if (!textOnly && PairsWithin(plan, k, to)) return Bars(plan, k, row);
    // Style and padding, and any row in text, add to the row itself: a row
    // spliced in level by level would copy its text once per level.
    if (Tag(i) != TTag::Mrow || textOnly) return Children(i, row, textOnly);
    TRow inside;
    TStep step = Children(i, inside, textOnly);
    if (!step.Ok() || inside.Empty()) return step;  // <mrow/> holds nothing, not an empty term
    if (!CountEntry()) return Fail(i, kFormulaTooLarge);  // a term of its own
    row.AddGroup(std::move(inside));
    return {};
  }

  // The operand right after a sign or name when the producer bracketed it:
  // "(" ... ")" among the items, or a row or <mfenced> of its own. `k` ends
  // on its last item; false when the next item brackets nothing.
  bool BracketedOperand(const TPlan& plan, std::size_t& k, std::size_t to, TRow& operand,
                        TStep& step) {
    const std::size_t next = k + 1;
    if (next >= to) return false;
    const TSlot& slot = plan[next];
    if (slot.Kind == TKind::Open && slot.Partner != kNone && slot.Partner < to) {
      k = slot.Partner;
      step = Range(plan, next + 1, slot.Partner, operand, false);
      return true;
    }
    const TTag tag = Tag(slot.Element);
    const bool row = (IsRowTag(tag) && slot.Kind == TKind::Plain) || tag == TTag::Mfenced;
    if (!row) return false;
    k = next;
    // LibreOffice wraps a bracketed argument in one more row.
    std::uint32_t inner = slot.Element;
    while (OnlyChild(inner) != kNone && Tag(OnlyChild(inner)) == TTag::Mrow)
      inner = OnlyChild(inner);
    step = Contents(inner, operand, false);
    operand.StripParentheses();
    return true;
  }

  TStep BigOperator(const TPlan& plan, std::size_t& k, std::size_t to, TRow& row,
                    std::uint32_t sign, std::uint32_t lower, std::uint32_t upper) {
    TTextNode bounds;
    if (lower != kNone) {
      if (TStep step = TextOf(lower, bounds.Text1); !step.Ok()) return step;
    }
    if (upper != kNone) {
      if (TStep step = TextOf(upper, bounds.Text2); !step.Ok()) return step;
    }
    const std::u16string_view signText = BigOperatorSign(sign);
    const std::uint32_t at = plan[k].Element;
    if (k + 1 >= to && lower == kNone && upper == kNone) {
      row.AddAtom(signText);  // nothing to sum: the sign itself
      return {};
    }
    const bool sum = signText == u"\u2211";
    TRow body;
    TStep step;
    if (!BracketedOperand(plan, k, to, body, step)) {
      const std::size_t start = k + 1;
      const std::size_t end =
          start >= to
              ? to
              : std::min<std::size_t>(sum ? plan[start].SumEnd : plan[start].IntegralEnd, to);
      step = Range(plan, start, end, body, false);
      k = end - 1;
    }
    if (!step.Ok()) return step;
    TTextNode function = MakeBodyFunction(sum ? fkSumme : fkIntegral, std::move(body));
    function.Text1 = std::move(bounds.Text1);
    function.Text2 = std::move(bounds.Text2);
    return AddFunction(row, std::move(function), at);
  }

  // The name with its scripts as sub- and superscript characters (sin², log₂).
  TStep FullName(std::uint32_t i, std::u16string& name) {
    const std::uint32_t carrier = NameCarrier(i);
    name = NameText(carrier).value_or(u"");
    if (carrier == i) return {};
    TRow row;
    row.AddAtom(name);
    const TTag tag = Tag(i);
    const bool both = tag == TTag::Msubsup || tag == TTag::Munderover;
    const bool lowerOnly = tag == TTag::Msub || tag == TTag::Munder;
    if (both || lowerOnly) {
      if (TStep step = Script(Child(i, 1), row, false); !step.Ok()) return step;
    }
    if (!lowerOnly) {
      if (TStep step = Script(Child(i, both ? 2 : 1), row, true); !step.Ok()) return step;
    }
    name = row.PlainText().value_or(u"");
    return {};
  }

  // A function: its operand is what the producer bracketed (a block, a row,
  // a pair of bars) or else what follows up to + − a relation or a comma. A
  // name with nothing but names after it is text.
  TStep Named(const TPlan& plan, std::size_t& k, std::size_t to, TRow& row) {
    const std::uint32_t at = plan[k].Element;
    std::u16string name;
    if (TStep step = FullName(at, name); !step.Ok()) return step;
    std::size_t last = k;
    while (last + 1 < to && plan[last + 1].Kind == TKind::Apply) {
      ++last;
      if (!IsApply(plan[last].Element)) name += Text(plan[last].Element);
    }
    TRow operand;
    TStep step;
    const std::size_t start = last + 1;
    if (start < to && PairsWithin(plan, start, to)) {
      step = Range(plan, start, plan[start].Partner + 1, operand, false);
      last = plan[start].Partner;
    } else if (!BracketedOperand(plan, last, to, operand, step)) {
      const std::size_t end = start >= to ? to : std::min<std::size_t>(plan[start].FunctionEnd, to);
      if (start >= to || plan[start].NextNonName >= end) {
        row.AddAtom(name);
        if (start < to && plan[start].Kind == TKind::Name) row.AddRawBlanks(u" ");
        k = last;
        return {};
      }
      step = Range(plan, start, end, operand, false);
      last = end - 1;
    }
    if (!step.Ok()) return step;
    k = last;
    TTextNode node = MakeBodyFunction(fkUser, std::move(operand));
    node.Text1 = std::move(name);
    return AddFunction(row, std::move(node), at);
  }

  TStep Bars(const TPlan& plan, std::size_t& k, TRow& row) {
    const std::size_t close = plan[k].Partner;
    TRow inside;
    TStep step = Range(plan, k + 1, close, inside, false);
    if (!step.Ok()) return step;
    const std::uint32_t at = plan[k].Element;
    k = close;
    return AddFunction(row, MakeBodyFunction(fkBetrag, std::move(inside)), at);
  }

  TStep Fenced(std::uint32_t i, TRow& row, bool textOnly) {
    const TFence& fence = document_.Fences[At(i).Fence - 1];
    const std::u16string_view open = document_.TextOf(fence.Open);
    const std::u16string_view close = document_.TextOf(fence.Close);
    const std::u16string_view separators = document_.TextOf(fence.Separators);
    const TPlan plan = PlanOfChildren(i);
    const auto items = [&](TRow& into) {
      for (std::size_t k = 0; k < plan.size(); ++k) {
        if (k > 0 && !separators.empty()) {
          into.AddAtom(separators.substr(std::min(k - 1, separators.size() - 1), 1));
        }
        TStep step = Element(plan, k, plan.size(), into, textOnly);
        if (!step.Ok()) return step;
      }
      return TStep();
    };
    if (open == u"|" && close == u"|" && !textOnly) {
      TRow inside;
      TStep step = items(inside);
      if (!step.Ok()) return step;
      return AddFunction(row, MakeBodyFunction(fkBetrag, std::move(inside)), i);
    }
    // Straight into the row: fences nested in fences copy no text per level.
    open == u"(" ? row.AddOpenParen() : row.AddAtom(open);
    if (TStep step = items(row); !step.Ok()) return step;
    close == u")" ? row.AddCloseParen() : row.AddAtom(close);
    return {};
  }

  TStep Fraction(std::uint32_t i, TRow& row) {
    if (TStep step = WantChildren(i, 2); !step.Ok()) return step;
    TRow first;
    TRow second;
    if (TStep step = Contents(Child(i, 0), first, false); !step.Ok()) return step;
    if (TStep step = Contents(Child(i, 1), second, false); !step.Ok()) return step;
    return AddFunction(row, MakeFunction(fkBruch, std::move(first), std::move(second)), i);
  }

  // <msqrt> reads its children as one row; <mroot> its first child as an
  // item, so an <mrow> around a fraction keeps it whole.
  TStep Root(std::uint32_t i, TRow& row) {
    TRow body;
    std::u16string index;
    if (Tag(i) == TTag::Msqrt) {
      if (TStep step = Children(i, body, false); !step.Ok()) return step;
    } else {
      if (TStep step = WantChildren(i, 2); !step.Ok()) return step;
      if (TStep step = Item(Child(i, 0), body, false); !step.Ok()) return step;
      if (TStep step = TextOf(Child(i, 1), index); !step.Ok()) return step;
    }
    TTextNode node = MakeBodyFunction(fkWurzel, std::move(body));
    node.Text1 = std::move(index);
    return AddFunction(row, std::move(node), i);
  }

  // msub, msup, msubsup, munder, mover, munderover: bounds on a sum or
  // integral sign, scripts of a function's name, otherwise a power or
  // subscript characters.
  TStep Scripts(const TPlan& plan, std::size_t& k, std::size_t to, TRow& row, bool textOnly) {
    const std::uint32_t i = plan[k].Element;
    const TTag tag = Tag(i);
    const bool both = tag == TTag::Msubsup || tag == TTag::Munderover;
    if (TStep step = WantChildren(i, both ? 3 : 2); !step.Ok()) return step;
    const std::uint32_t base = Child(i, 0);
    const bool lowerFirst = both || tag == TTag::Msub || tag == TTag::Munder;
    const std::uint32_t lower = lowerFirst ? Child(i, 1) : kNone;
    const std::uint32_t upper = both ? Child(i, 2) : lowerFirst ? kNone : Child(i, 1);
    if (!textOnly && !BigOperatorSign(base).empty()) {
      return BigOperator(plan, k, to, row, base, lower, upper);
    }
    if (!textOnly && plan[k].Kind == TKind::Name) return Named(plan, k, to, row);
    if (tag == TTag::Munder || tag == TTag::Mover || tag == TTag::Munderover) {
      return Fail(i, "Das Element " + Quoted(NameOfTag(i)) + " wird nur mit ∑ oder ∫ unterstützt.");
    }
    if (upper != kNone && lower == kNone && !Primes(upper).empty()) {
      TStep step = Contents(base, row, textOnly);
      if (step.Ok()) row.AddAtom(Primes(upper));
      return step;
    }
    if (upper != kNone && !textOnly && lower == kNone) return Power(i, base, upper, row);
    // Text alone (a bound) takes a raised part as superscript characters.
    if (TStep step = Contents(base, row, textOnly); !step.Ok()) return step;
    if (lower != kNone) {
      if (TStep step = Script(lower, row, false); !step.Ok()) return step;
    }
    if (upper == kNone) return {};
    if (textOnly) return Script(upper, row, true);
    TRow exponent;
    if (TStep step = Contents(upper, exponent, false); !step.Ok()) return step;
    TRow baseRow = row.TakeBase();
    return AddFunction(row, MakeFunction(fkPotenz, std::move(exponent), std::move(baseRow)), i);
  }

  // A raised ′ is a derivative's prime, as LaTeX's f' reads: the
  // apostrophes it stands for, no power. Only a bare token: the writer puts
  // an exponent in a row, so a power of ′ stays a power.
  std::u16string Primes(std::uint32_t i) const {
    if (Tag(i) != TTag::Mo && Tag(i) != TTag::Mi) return {};
    std::u16string primes;
    for (const char16_t c : Text(i)) {
      const int count = c == u'\u2032' ? 1 : c == u'\u2033' ? 2 : c == u'\u2034' ? 3 : 0;
      if (count == 0) return {};
      primes.append(static_cast<std::size_t>(count), u'\'');
    }
    return primes;
  }

  // Some producers raise only the closing parenthesis: the power then takes
  // the whole parenthesised block before it.
  TStep Power(std::uint32_t i, std::uint32_t base, std::uint32_t upper, TRow& row) {
    TRow baseRow;
    if (IsOperator(base, u")")) {
      row.AddCloseParen();
      baseRow = row.TakeBase();
    } else {
      if (TStep step = Contents(base, baseRow, false); !step.Ok()) return step;
      baseRow.StripParentheses();
    }
    TRow exponent;
    if (TStep step = Contents(upper, exponent, false); !step.Ok()) return step;
    return AddFunction(row, MakeFunction(fkPotenz, std::move(exponent), std::move(baseRow)), i);
  }

  TStep Script(std::uint32_t i, TRow& row, bool superscript) {
    std::u16string text;
    if (TStep step = TextOf(i, text); !step.Ok()) return step;
    std::string problem = AddScript(row, text, superscript);
    return problem.empty() ? TStep() : Fail(i, std::move(problem));
  }

  const TMathDocument& document_;
  std::string_view xml_;
  int depth_ = 0;
  TTreeTally tally_;
};

// The message for an XML reading that did not end well.
TTextError XmlRefusal(const TXmlResult& result, const TDocumentBuilder& builder,
                      std::string_view xml) {
  TTextError error;
  error.Line = result.At.Line;
  error.Column = result.At.Column;
  error.Offset = Utf16Offset(xml, result.At.Byte);
  switch (result.Status) {
    case TXmlStatus::Read:
    case TXmlStatus::NotWellFormed:
      error.Message = "Die MathML ist kein gültiges XML.";
      break;
    case TXmlStatus::EndsEarly:
      error.Message = "Die MathML endet mitten in einem Element.";
      break;
    case TXmlStatus::DeclaresEntity:
      error.Message = "Eigene Entitäten („<!ENTITY“) werden nicht unterstützt.";
      break;
    case TXmlStatus::UnknownEntity:
      error.Message = builder.UnknownEntity().empty()
                          ? std::string("Die MathML nennt eine unbekannte Entität.")
                          : "Die Entität „&" + builder.UnknownEntity() + ";“ ist unbekannt.";
      break;
    case TXmlStatus::Stopped:
      error.Message = builder.Refusal();
      break;
    case TXmlStatus::NoMemory:
      error.Message = kTextNoMemory;
      break;
  }
  return error;
}

// The elements of `xml`, or why they cannot be read.
std::optional<TTextError> ReadDocument(std::string_view xml, std::size_t elements,
                                       TMathDocument& document) {
  TDocumentBuilder builder(document, elements);
  const TXmlResult result = ReadXml(xml, builder);
  if (result.Status != TXmlStatus::Read) return XmlRefusal(result, builder, xml);
  if (document.Elements.empty())
    return TTextError{"Der Text enthält kein MathML-Element.", 0, 1, 1};
  return std::nullopt;
}

}  // namespace

bool FormulaFromMathML(std::string_view xml, TEntryCursor* cursor, TOwnedLine& out,
                       TTextError& error) {
  out.reset();
  if (xml.size() > kMaxFormulaTextBytes) {
    error = TTextError{kTextTooLarge, 0, 1, 1};
    return false;
  }
  bool read = false;
  const std::size_t tags = CountOf(xml, std::string_view("<"));
  const bool ran = RunOnDeepStack(tags, [&] {
    TMathDocument document;
    // No element takes fewer than four bytes ("<a/>").
    if (auto refusal = ReadDocument(xml, std::min(tags, xml.size() / 4 + 1), document)) {
      error = std::move(*refusal);
      return;
    }
    TMathMLConverter converter(document, xml);
    TTextSeq seq;
    if (TStep step = converter.Convert(seq); !step.Ok()) {
      error = std::move(step).Refusal();
      return;
    }
    TBuiltLine built = BuildCountedLine(seq, cursor);
    if (built.Problem != nullptr) error = TTextError{built.Problem, 0, 1, 1};
    out = std::move(built.Line);
    read = out != nullptr;
  });
  if (!ran) {
    out.reset();
    error = TTextError{kTextNoMemory, 0, 1, 1};
  }
  return read && ran;
}
