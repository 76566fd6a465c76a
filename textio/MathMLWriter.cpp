// Formula to presentation MathML. Characters that the reader would take for
// structure (bars, the signs of sums and integrals, the typographic
// operators) go into <mtext>, so that the same tree comes back.
#include <string>

#include "model/Utf.h"
#include "textio/FormulaText.h"
#include "textio/Symbols.h"
#include "textio/XmlEscape.h"

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
         (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x370 && c <= 0x3FF) ||
         (c >= 0x400 && c <= 0x4FF);
}

// Read back as something else when written as an operator: bars, the signs
// of sums and integrals, the typographic operators, primes, the invisible ones.
bool NeedsText(char16_t c) {
  return c == u'|' || c == u'\u2223' || c == u'\u2225' || c == u'\u2016' || c == u'\u2211' ||
         c == u'\u222B' || c == u'\u00D7' || c == u'\u2212' || c == u'\u2215' ||
         (c >= 0x2032 && c <= 0x2034) || (c >= 0x2061 && c <= 0x2064);
}

std::u16string_view OperatorOf(char16_t c) {
  switch (c) {
    case u'*':
      return u"\u00D7";
    case u'-':
      return u"\u2212";
    case u'/':
      return u"\u2215";
    default:
      return {};
  }
}

class TMathMLWriter {
 public:
  std::u16string Take() { return std::move(out_); }

  void WriteDocument(const TFormulaLine* line) {
    // The spoken formula is the text alternative of the whole element, for
    // readers that do not speak MathML and for documents that need one.
    out_ += u"<math xmlns=\"http://www.w3.org/1998/Math/MathML\" display=\"block\" alttext=\"";
    AppendXmlEscaped(SpeechFromFormula(line), TXmlPlace::Attribute, out_);
    out_ += u"\"><semantics><mrow>";
    WriteEntries(line);
    out_ += u"</mrow><annotation encoding=\"application/x-tex\">";
    PutEscaped(LatexFromFormula(line));
    // LibreOffice takes its own notation from here verbatim when there is one.
    out_ += u"</annotation><annotation encoding=\"StarMath 5.0\">";
    PutEscaped(StarMathFromFormula(line));
    out_ += u"</annotation></semantics></math>";
  }

 private:
  // A term's tokens stand in the row itself, as math programs expect of an
  // operator and its operands; only a term right after another term gets a
  // row of its own, which keeps the two apart when read back.
  void WriteEntries(const TFormulaLine* line) {
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

  void WriteTerm(std::u16string_view text, bool ownRow) {
    if (ownRow) out_ += u"<mrow>";
    // An empty term still needs a token, or it would be read as nothing.
    if (text.empty()) out_ += u"<mtext></mtext>";
    WriteTokens(text);
    if (ownRow) out_ += u"</mrow>";
  }

  // One element: an <mrow> around the sequence.
  void WriteLine(const TFormulaLine* line) {
    out_ += u"<mrow>";
    WriteEntries(line);
    out_ += u"</mrow>";
  }

  void WriteFunction(const TFormulaEntry& entry) {
    switch (entry.Kind) {
      case fkWurzel:
        return WriteRoot(entry);
      case fkSumme:
        return WriteBigOperator(u"\u2211", entry);
      case fkIntegral:
        return WriteBigOperator(u"\u222B", entry);
      case fkPotenz:
        return WritePower(entry);
      case fkBetrag:
        return WriteAbsolute(entry);
      case fkUser:
        return WriteNamed(entry);
      default:
        return WriteBody(entry);  // a fraction, or laid out as one
    }
  }

  // First over Second as <mfrac>, or First alone in an <mrow>, which keeps a
  // single fraction in First from being read as First over Second.
  void WriteBody(const TFormulaEntry& entry) {
    if (entry.Second == nullptr) return WriteLine(entry.First);
    out_ += u"<mfrac>";
    WriteLine(entry.First);
    WriteLine(entry.Second);
    out_ += u"</mfrac>";
  }

  void WriteFenced(std::u16string_view open, const TFormulaEntry& entry,
                   std::u16string_view close) {
    WriteOperator(open);
    WriteBody(entry);
    WriteOperator(close);
  }

  // The bars as opening and closing fences: a plain <mo>|</mo> leaves
  // readers guessing which bar opens.
  void WriteAbsolute(const TFormulaEntry& entry) {
    out_ += u"<mo fence=\"true\" form=\"prefix\">|</mo>";
    WriteBody(entry);
    out_ += u"<mo fence=\"true\" form=\"postfix\">|</mo>";
  }

  void WriteOperator(std::u16string_view op) {
    out_ += u"<mo>";
    PutEscaped(op);
    out_ += u"</mo>";
  }

  void WriteTextRow(std::u16string_view text) {
    out_ += u"<mrow>";
    WriteTokens(text);
    out_ += u"</mrow>";
  }

  void WriteRoot(const TFormulaEntry& entry) {
    const std::u16string_view index = TextOf(entry.Text1);
    if (index.empty() || index == u"2") {
      out_ += u"<msqrt>";
      WriteBody(entry);
      out_ += u"</msqrt>";
      return;
    }
    out_ += u"<mroot>";
    WriteBody(entry);
    WriteTextRow(index);
    out_ += u"</mroot>";
  }

  void WriteBigOperator(std::u16string_view sign, const TFormulaEntry& entry) {
    const std::u16string_view lower = TextOf(entry.Text1);
    const std::u16string_view upper = TextOf(entry.Text2);
    const std::u16string_view tag = !lower.empty() && !upper.empty() ? u"munderover"
                                    : !lower.empty()                 ? u"munder"
                                    : !upper.empty()                 ? u"mover"
                                                                     : u"";
    if (!tag.empty()) PutTag(tag);
    WriteOperator(sign);
    if (!lower.empty()) WriteTextRow(lower);
    if (!upper.empty()) WriteTextRow(upper);
    if (!tag.empty()) PutTag(tag, true);
    WriteFenced(u"(", entry, u")");
  }

  void WritePower(const TFormulaEntry& entry) {
    out_ += u"<msup><mrow>";
    WriteOperator(u"(");
    WriteLine(entry.Second);
    WriteOperator(u")");
    out_ += u"</mrow>";
    WriteLine(entry.First);
    out_ += u"</msup>";
  }

  void WriteNamed(const TFormulaEntry& entry) {
    out_ += u"<mi>";
    PutEscaped(WithoutOuterBlanks(TextOf(entry.Text1)));
    out_ += u"</mi><mo>&#x2061;</mo>";
    WriteFenced(u"(", entry, u")");
  }

  // Digit runs as <mn>, letters as <mi>, blanks as <mspace>, the rest as <mo>.
  void WriteTokens(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
      const char16_t c = text[i];
      std::size_t end = i + 1;
      if (IsDigit(c)) {
        while (end < text.size() && IsDigit(text[end])) ++end;
        WriteToken(u"mn", text.substr(i, end - i));
      } else if (c == u' ') {
        out_ += u"<mspace width=\"0.25em\"/>";
      } else if (!OperatorOf(c).empty()) {
        WriteToken(u"mo", OperatorOf(c));
      } else {
        if (IsSurrogate(c) && end < text.size() && IsSurrogate(text[end])) ++end;
        const std::u16string_view chars = text.substr(i, end - i);
        WriteToken(NeedsText(c) || IsSurrogate(c) ? u"mtext" : IsLetter(c) ? u"mi" : u"mo", chars);
      }
      i = end;
    }
  }

  void WriteToken(std::u16string_view tag, std::u16string_view text) {
    PutTag(tag);
    PutEscaped(text);
    PutTag(tag, true);
  }

  // Straight into the output: a token is written for every character.
  void PutTag(std::u16string_view tag, bool closing = false) {
    out_ += closing ? u"</" : u"<";
    out_ += tag;
    out_ += u'>';
  }

  void PutEscaped(std::u16string_view text) { AppendXmlEscaped(text, TXmlPlace::Content, out_); }

  std::u16string out_;
};

}  // namespace

std::u16string MathMLFromFormula(const TFormulaLine* line) {
  TMathMLWriter writer;
  writer.WriteDocument(line);
  return writer.Take();
}
