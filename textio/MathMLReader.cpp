// Presentation MathML to formula: Qt's stream reader (which fetches nothing
// from outside and expands no external entity) reads the elements, then the
// elements become rows as in the LaTeX reader.
#include <QString>
#include <QXmlStreamEntityResolver>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "textio/DeepStack.h"
#include "textio/FormulaText.h"
#include "textio/Symbols.h"
#include "textio/TextError.h"
#include "textio/TextTree.h"

namespace {

const QString kMathMLNamespace = QStringLiteral("http://www.w3.org/1998/Math/MathML");

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
constexpr std::u16string_view kTagNames[] = {
    u"",      u"math",   u"mrow",    u"mi",        u"mn",         u"mo",
    u"mtext", u"mspace", u"mfenced", u"mstyle",    u"mpadded",    u"mphantom",
    u"msub",  u"msup",   u"msubsup", u"munder",    u"mover",      u"munderover",
    u"mfrac", u"msqrt",  u"mroot",   u"semantics", u"annotation", u"annotation-xml"};

std::u16string_view U16View(QStringView text) {
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}
std::u16string U16(QStringView text) { return std::u16string(U16View(text)); }

TTag TagNamed(QStringView name) {
  const std::u16string_view chars = U16View(name);
  for (std::size_t i = 1; i < std::size(kTagNames); ++i) {
    if (kTagNames[i] == chars) return static_cast<TTag>(i);
  }
  return TTag::Other;
}

bool IsToken(TTag tag) {
  return tag == TTag::Mi || tag == TTag::Mn || tag == TTag::Mo || tag == TTag::Mtext;
}

// What <mfenced> says about its fences and separators.
struct TFence {
  std::u16string Open = u"(";
  std::u16string Close = u")";
  std::u16string Separators = u",";
};

// One element as the converter needs it: token elements keep their text,
// trimmed, and only <mfenced> keeps attributes.
struct TXmlElement {
  TTag Tag = TTag::Other;
  std::u16string OtherName;  // the name of an element that is no formula's
  std::u16string Text;
  std::unique_ptr<TFence> Fence;
  std::vector<TXmlElement> Children;
  int Line = 1;
  int Column = 1;
  std::size_t Offset = 0;
};

std::u16string NameOf(const TXmlElement& element) {
  return element.Tag == TTag::Other ? element.OtherName
                                    : std::u16string(kTagNames[static_cast<int>(element.Tag)]);
}

// Named characters as word processors and browsers write them.
class TEntityResolver : public QXmlStreamEntityResolver {
 public:
  QString resolveUndeclaredEntity(const QString& name) override {
    const auto chars = CharacterOfEntity(name.toStdString());
    return chars ? QString::fromStdU16String(std::u16string(*chars)) : QString();
  }
};

// Reads the elements into a tree, refusing what no MathML needs.
class TXmlTreeReader {
 public:
  explicit TXmlTreeReader(std::string_view xml)
      : reader_(QByteArray::fromRawData(xml.data(), static_cast<qsizetype>(xml.size()))) {
    reader_.setEntityResolver(&resolver_);
    reader_.setEntityExpansionLimit(1024);
  }

  bool Read(TXmlElement& root) {
    while (!reader_.atEnd()) {
      const auto token = reader_.readNext();
      if (token == QXmlStreamReader::DTD && reader_.text().contains(u"<!ENTITY")) {
        return Fail("Eigene Entitäten („<!ENTITY“) werden nicht unterstützt.");
      }
      if (token == QXmlStreamReader::StartElement) return ReadElement(root, 1) && ReadToEnd();
    }
    return reader_.hasError() ? FailXml() : Fail("Der Text enthält kein MathML-Element.");
  }

  TTextError Error() const { return error_; }

 private:
  bool ReadToEnd() {
    while (!reader_.atEnd()) reader_.readNext();
    return !reader_.hasError() || FailXml();
  }

  bool ReadElement(TXmlElement& element, int depth) {
    element.Line = static_cast<int>(reader_.lineNumber());
    element.Column = static_cast<int>(reader_.columnNumber()) + 1;
    element.Offset = static_cast<std::size_t>(reader_.characterOffset());
    element.Tag = TagNamed(reader_.name());
    if (element.Tag == TTag::Other) element.OtherName = U16(reader_.name());
    if (element.Tag == TTag::Mfenced) element.Fence = FenceOf(reader_.attributes());
    const QStringView ns = reader_.namespaceUri();
    if (!ns.isEmpty() && ns != kMathMLNamespace) {
      return Fail("Das Element " + Quoted(U16(reader_.qualifiedName())) +
                  " gehört nicht zu MathML.");
    }
    if (depth > kMaxTextNesting) return Fail(kTextTooDeep);
    const bool token = IsToken(element.Tag);
    while (!reader_.atEnd()) {
      const auto kind = reader_.readNext();
      if (kind == QXmlStreamReader::EndElement) {
        element.Text = U16(QStringView(element.Text).trimmed());
        return true;
      }
      if (kind == QXmlStreamReader::Characters || kind == QXmlStreamReader::EntityReference) {
        if (token) element.Text += U16View(reader_.text());
      } else if (kind == QXmlStreamReader::StartElement) {
        element.Children.emplace_back();
        if (!ReadElement(element.Children.back(), depth + 1)) return false;
      }
    }
    return FailXml();
  }

  // Fences trimmed, separators without their blanks.
  static std::unique_ptr<TFence> FenceOf(const QXmlStreamAttributes& attributes) {
    auto fence = std::make_unique<TFence>();
    const auto take = [&](QLatin1String name, std::u16string& value) {
      if (attributes.hasAttribute(name)) value = U16(attributes.value(name).trimmed());
    };
    take(QLatin1String("open"), fence->Open);
    take(QLatin1String("close"), fence->Close);
    if (attributes.hasAttribute(QLatin1String("separators"))) {
      fence->Separators =
          U16(attributes.value(QLatin1String("separators")).toString().remove(u' '));
    }
    return fence;
  }

  bool FailXml() {
    if (reader_.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
      return Fail("Die MathML endet mitten in einem Element.");
    }
    return Fail("Die MathML ist kein gültiges XML.");
  }

  bool Fail(const std::string& message) {
    error_.Message = message;
    error_.Line = static_cast<int>(reader_.lineNumber());
    error_.Column = static_cast<int>(reader_.columnNumber()) + 1;
    error_.Offset = static_cast<std::size_t>(reader_.characterOffset());
    return false;
  }

  TEntityResolver resolver_;
  QXmlStreamReader reader_;
  TTextError error_;
};

using TSiblings = std::span<const TXmlElement>;

bool Is(const TXmlElement& element, TTag tag) { return element.Tag == tag; }
bool IsOperator(const TXmlElement& element, std::u16string_view text) {
  return Is(element, TTag::Mo) && element.Text == text;
}
// Elements whose children are a row of their own. Only <mrow> keeps its
// text apart from the text around it; style and padding do not.
bool IsRowLike(const TXmlElement& element) {
  return Is(element, TTag::Mrow) || Is(element, TTag::Mstyle) || Is(element, TTag::Mpadded) ||
         Is(element, TTag::Math);
}

std::u16string_view BigOperatorSign(const TXmlElement& element) {
  if (IsOperator(element, u"\u2211")) return u"\u2211";
  if (IsOperator(element, u"\u222B")) return u"\u222B";
  return {};
}

// The typographic operators stand for the characters a term holds.
std::u16string PlainOperators(std::u16string text) {
  for (char16_t& c : text) {
    c = c == u'\u00D7' ? u'*' : c == u'\u2212' ? u'-' : c == u'\u2215' ? u'/' : c;
  }
  return text;
}

class TMathMLConverter {
 public:
  bool Convert(const TXmlElement& root, TTextSeq& seq) {
    TRow row;
    if (!Contents(root, row, false)) return false;
    seq = std::move(row).Finish();
    return true;
  }
  TTextError Error() const { return error_; }

 private:
  bool Fail(const TXmlElement& at, std::string message) {
    error_.Message = std::move(message);
    error_.Line = static_cast<int>(at.Line);
    error_.Column = static_cast<int>(at.Column);
    error_.Offset = static_cast<std::size_t>(at.Offset);
    return false;
  }

  bool AddFunction(TRow& row, TTextNode node, const TXmlElement& at) {
    if (node.Levels > kMaxFormulaTextLevels) return Fail(at, kTextTooDeep);
    row.AddEntry(std::move(node));
    return true;
  }

  bool Children(TSiblings siblings, TRow& row, bool textOnly) {
    for (std::size_t i = 0; i < siblings.size(); ++i) {
      if (!Element(siblings, i, row, textOnly)) return false;
    }
    return true;
  }

  // A row-like element's children join `row`; any other element is one item.
  bool Contents(const TXmlElement& element, TRow& row, bool textOnly) {
    if (IsRowLike(element)) return Children(element.Children, row, textOnly);
    std::size_t i = 0;
    return Element(TSiblings(&element, 1), i, row, textOnly);
  }

  bool TextOf(const TXmlElement& element, std::u16string& text) {
    TRow row;
    if (!Contents(element, row, true)) return false;
    text = row.PlainText().value_or(u"");
    return true;
  }

  bool WantChildren(const TXmlElement& element, std::size_t count) {
    if (element.Children.size() == count) return true;
    return Fail(element, "Das Element " + Quoted(NameOf(element)) + " braucht " +
                             std::to_string(count) + " Kinder, nicht " +
                             std::to_string(element.Children.size()) + ".");
  }

  // Handles siblings[i], and the siblings it takes with it (a function's
  // argument, a summand, the content between two bars): `i` ends on the last.
  bool Element(TSiblings siblings, std::size_t& i, TRow& row, bool textOnly) {
    const TXmlElement& element = siblings[i];
    if (Is(element, TTag::Mi) || Is(element, TTag::Mn) || Is(element, TTag::Mtext)) {
      if (!textOnly && Is(element, TTag::Mi) && i + 1 < siblings.size() &&
          IsOperator(siblings[i + 1], u"\u2061")) {
        return Named(siblings, i, row);
      }
      // An empty <mtext/> still stands for a term, as the writer uses it.
      const std::u16string_view text = element.Text;
      if (!text.empty() || Is(element, TTag::Mtext)) row.AddAtom(text);
      return true;
    }
    if (Is(element, TTag::Mo)) return Operator(siblings, i, row, textOnly);
    if (Is(element, TTag::Mspace)) {
      row.AddSpacing(u" ");
      return true;
    }
    if (IsRowLike(element)) {
      TRow inside;
      if (!Children(element.Children, inside, textOnly)) return false;
      if (inside.Empty()) return true;  // <mrow/> holds nothing, not an empty term
      const bool group = Is(element, TTag::Mrow) && !textOnly;
      group ? row.AddGroup(std::move(inside)) : row.Splice(std::move(inside));
      return true;
    }
    if (Is(element, TTag::Mphantom) || Is(element, TTag::Annotation) ||
        Is(element, TTag::AnnotationXml)) {
      return true;  // nothing that shows
    }
    if (Is(element, TTag::Semantics)) {
      return element.Children.empty() || Contents(element.Children.front(), row, textOnly);
    }
    if (Is(element, TTag::Mfenced)) return Fenced(element, row, textOnly);
    if (Is(element, TTag::Msub) || Is(element, TTag::Msup) || Is(element, TTag::Msubsup) ||
        Is(element, TTag::Munder) || Is(element, TTag::Mover) || Is(element, TTag::Munderover)) {
      return Scripts(siblings, i, row, textOnly);
    }
    const bool construct =
        Is(element, TTag::Mfrac) || Is(element, TTag::Msqrt) || Is(element, TTag::Mroot);
    if (construct && textOnly) {
      return Fail(element, OnlyTextMessage(Quoted(NameOf(element))));
    }
    if (Is(element, TTag::Mfrac)) return Fraction(element, row);
    if (Is(element, TTag::Msqrt)) return Root(element, row);
    if (Is(element, TTag::Mroot)) return Root(element, row);
    return Fail(element,
                "Das MathML-Element " + Quoted(NameOf(element)) + " wird nicht unterstützt.");
  }

  bool Operator(TSiblings siblings, std::size_t& i, TRow& row, bool textOnly) {
    const std::u16string_view text = siblings[i].Text;
    if (!textOnly && !BigOperatorSign(siblings[i]).empty()) {
      return BigOperator(siblings, i, row, siblings[i], nullptr, nullptr);
    }
    if (text == u"(") {
      row.AddOpenParen();
    } else if (text == u")") {
      row.AddCloseParen();
    } else if (text == u"|" && !textOnly) {
      return Bars(siblings, i, row);
    } else if (text.size() == 1 && text[0] >= 0x2061 && text[0] <= 0x2064) {
      // invisible function application, times, separator and plus
    } else if (!text.empty()) {
      row.AddAtom(PlainOperators(std::u16string(text)));
    }
    return true;
  }

  // The siblings after `open` up to its matching ")" ; false when none closes it.
  static bool FindClosing(TSiblings siblings, std::size_t open, std::size_t& close) {
    int depth = 0;
    for (std::size_t k = open; k < siblings.size(); ++k) {
      if (IsOperator(siblings[k], u"(")) ++depth;
      if (IsOperator(siblings[k], u")") && --depth == 0) {
        close = k;
        return true;
      }
    }
    return false;
  }

  // The body after a sign or name: "(" ... ")" among the siblings, an element
  // in parentheses, or (for `rest`) every sibling left.
  bool Body(TSiblings siblings, std::size_t& i, TRow& body, bool rest) {
    const std::size_t next = i + 1;
    if (next >= siblings.size()) return true;
    std::size_t close = 0;
    if (IsOperator(siblings[next], u"(") && FindClosing(siblings, next, close)) {
      i = close;
      return Children(siblings.subspan(next + 1, close - next - 1), body, false);
    }
    if (rest && !IsRowLike(siblings[next]) && !Is(siblings[next], TTag::Mfenced)) {
      i = siblings.size() - 1;
      return Children(siblings.subspan(next), body, false);
    }
    i = next;
    if (!Contents(siblings[next], body, false)) return false;
    body.StripParentheses();
    return true;
  }

  bool BigOperator(TSiblings siblings, std::size_t& i, TRow& row, const TXmlElement& sign,
                   const TXmlElement* lower, const TXmlElement* upper) {
    TTextNode node;
    if ((lower != nullptr && !TextOf(*lower, node.Text1)) ||
        (upper != nullptr && !TextOf(*upper, node.Text2))) {
      return false;
    }
    const std::u16string_view signText = BigOperatorSign(sign);
    if (i + 1 >= siblings.size() && lower == nullptr && upper == nullptr) {
      row.AddAtom(signText);  // nothing to sum: the sign itself
      return true;
    }
    TRow body;
    if (!Body(siblings, i, body, true)) return false;
    TTextNode function =
        MakeBodyFunction(signText == u"\u2211" ? fkSumme : fkIntegral, std::move(body));
    function.Text1 = std::move(node.Text1);
    function.Text2 = std::move(node.Text2);
    return AddFunction(row, std::move(function), siblings[i]);
  }

  bool Named(TSiblings siblings, std::size_t& i, TRow& row) {
    const TXmlElement& name = siblings[i];
    ++i;  // the function application sign
    TRow argument;
    if (!Body(siblings, i, argument, false)) return false;
    TTextNode node = MakeBodyFunction(fkUser, std::move(argument));
    node.Text1 = name.Text;
    return AddFunction(row, std::move(node), name);
  }

  bool Bars(TSiblings siblings, std::size_t& i, TRow& row) {
    for (std::size_t k = i + 1; k < siblings.size(); ++k) {
      if (!IsOperator(siblings[k], u"|")) continue;
      TRow inside;
      if (!Children(siblings.subspan(i + 1, k - i - 1), inside, false)) return false;
      const TXmlElement& open = siblings[i];
      i = k;
      return AddFunction(row, MakeBodyFunction(fkBetrag, std::move(inside)), open);
    }
    row.AddAtom(u"|");  // a bar without partner is just a bar
    return true;
  }

  bool Fenced(const TXmlElement& element, TRow& row, bool textOnly) {
    const TFence& fence = *element.Fence;
    const std::u16string& separators = fence.Separators;
    TRow inside;
    for (std::size_t k = 0; k < element.Children.size(); ++k) {
      if (k > 0 && !separators.empty()) {
        inside.AddAtom(std::u16string(1, separators[std::min(k - 1, separators.size() - 1)]));
      }
      std::size_t at = k;
      if (!Element(element.Children, at, inside, textOnly)) return false;
      k = at;
    }
    if (fence.Open == u"|" && fence.Close == u"|" && !textOnly) {
      return AddFunction(row, MakeBodyFunction(fkBetrag, std::move(inside)), element);
    }
    fence.Open == u"(" ? row.AddOpenParen() : row.AddAtom(fence.Open);
    row.Splice(std::move(inside));
    fence.Close == u")" ? row.AddCloseParen() : row.AddAtom(fence.Close);
    return true;
  }

  bool Fraction(const TXmlElement& element, TRow& row) {
    if (!WantChildren(element, 2)) return false;
    TRow first;
    TRow second;
    if (!Contents(element.Children[0], first, false) ||
        !Contents(element.Children[1], second, false)) {
      return false;
    }
    return AddFunction(row, MakeFunction(fkBruch, std::move(first), std::move(second)), element);
  }

  // <msqrt> reads its children as one row; <mroot> its first child as an
  // item, so an <mrow> around a fraction keeps it whole.
  bool Root(const TXmlElement& element, TRow& row) {
    TRow body;
    std::u16string index;
    if (Is(element, TTag::Msqrt)) {
      if (!Children(element.Children, body, false)) return false;
    } else {
      std::size_t first = 0;
      if (!WantChildren(element, 2) || !Element(element.Children, first, body, false) ||
          !TextOf(element.Children[1], index)) {
        return false;
      }
    }
    TTextNode node = MakeBodyFunction(fkWurzel, std::move(body));
    node.Text1 = std::move(index);
    return AddFunction(row, std::move(node), element);
  }

  // msub, msup, msubsup, munder, mover, munderover: bounds on a sum or
  // integral sign, otherwise a power or subscript characters.
  bool Scripts(TSiblings siblings, std::size_t& i, TRow& row, bool textOnly) {
    const TXmlElement& element = siblings[i];
    const bool both = Is(element, TTag::Msubsup) || Is(element, TTag::Munderover);
    if (!WantChildren(element, both ? 3 : 2)) return false;
    const TXmlElement& base = element.Children[0];
    const bool lowerFirst = both || Is(element, TTag::Msub) || Is(element, TTag::Munder);
    const TXmlElement* lower = lowerFirst ? &element.Children[1] : nullptr;
    const TXmlElement* upper = both         ? &element.Children[2]
                               : lowerFirst ? nullptr
                                            : &element.Children[1];
    if (!textOnly && !BigOperatorSign(base).empty()) {
      return BigOperator(siblings, i, row, base, lower, upper);
    }
    if (Is(element, TTag::Munder) || Is(element, TTag::Mover) || Is(element, TTag::Munderover)) {
      return Fail(element,
                  "Das Element " + Quoted(NameOf(element)) + " wird nur mit ∑ oder ∫ unterstützt.");
    }
    if (upper != nullptr && !textOnly && lower == nullptr) return Power(element, base, *upper, row);
    // Text alone (a bound) takes a raised part as superscript characters.
    if (!Contents(base, row, textOnly)) return false;
    if (lower != nullptr && !Script(*lower, row, false)) return false;
    if (upper == nullptr) return true;
    if (textOnly) return Script(*upper, row, true);
    TRow exponent;
    if (!Contents(*upper, exponent, false)) return false;
    TRow baseRow = row.TakeBase();
    return AddFunction(row, MakeFunction(fkPotenz, std::move(exponent), std::move(baseRow)),
                       element);
  }

  // Some producers raise only the closing parenthesis: the power then takes
  // the whole parenthesised block before it.
  bool Power(const TXmlElement& element, const TXmlElement& base, const TXmlElement& upper,
             TRow& row) {
    TRow baseRow;
    if (IsOperator(base, u")")) {
      row.AddCloseParen();
      baseRow = row.TakeBase();
    } else {
      if (!Contents(base, baseRow, false)) return false;
      baseRow.StripParentheses();
    }
    TRow exponent;
    if (!Contents(upper, exponent, false)) return false;
    return AddFunction(row, MakeFunction(fkPotenz, std::move(exponent), std::move(baseRow)),
                       element);
  }

  bool Script(const TXmlElement& element, TRow& row, bool superscript) {
    std::u16string text;
    if (!TextOf(element, text)) return false;
    std::string problem = AddScript(row, text, superscript);
    return problem.empty() || Fail(element, std::move(problem));
  }

  TTextError error_;
};

}  // namespace

bool FormulaFromMathML(std::string_view xml, TEntryCursor* cursor, TOwnedLine& out,
                       TTextError& error) {
  out.reset();
  if (xml.size() > kMaxFormulaTextBytes) {
    error = TTextError{kTextTooLarge, 0, 1, 1};
    return false;
  }
  bool read = false;
  const bool ran = RunOnDeepStack(CountOf(xml, std::string_view("<")), [&] {
    TXmlElement root;
    TXmlTreeReader reader(xml);
    if (!reader.Read(root)) {
      error = reader.Error();
      return;
    }
    TMathMLConverter converter;
    TTextSeq seq;
    if (!converter.Convert(root, seq)) {
      error = converter.Error();
      return;
    }
    out.reset(BuildLine(seq, cursor));
    if (out == nullptr) error = TTextError{kTextNoMemory, 0, 1, 1};
    read = out != nullptr;
  });
  if (!ran) {
    out.reset();
    error = TTextError{kTextNoMemory, 0, 1, 1};
  }
  return read && ran;
}
