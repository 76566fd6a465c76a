// Text into XML: markup characters as references, and what XML 1.0 cannot
// hold (control characters, lone surrogates, U+FFFE and U+FFFF) as U+FFFD,
// so that any formula text gives well-formed MathML and SVG.
#pragma once

#include <string>
#include <string_view>

#include "model/Utf.h"

enum class TXmlPlace { Content, Attribute };

// In an attribute the quote is escaped too, and tabs and line breaks go as
// character references, which a reader's attribute normalisation keeps.
inline void AppendXmlEscaped(std::u16string_view text, TXmlPlace place, std::u16string& out) {
  const bool attribute = place == TXmlPlace::Attribute;
  ForEachCodePoint(text, [&](char32_t c, bool lone) {
    if (c == u'<') {
      out += u"&lt;";
    } else if (c == u'>') {
      out += u"&gt;";
    } else if (c == u'&') {
      out += u"&amp;";
    } else if (c == u'"' && attribute) {
      out += u"&quot;";
    } else if ((c == u'\t' || c == u'\n' || c == u'\r') && attribute) {
      out += c == u'\t' ? u"&#9;" : c == u'\n' ? u"&#10;" : u"&#13;";
    } else if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || lone || c == 0xFFFE ||
               c == 0xFFFF) {
      out += u'\uFFFD';
    } else {
      AppendUtf16(c, out);
    }
  });
}

inline std::u16string XmlEscaped(std::u16string_view text, TXmlPlace place) {
  std::u16string out;
  AppendXmlEscaped(text, place, out);
  return out;
}
