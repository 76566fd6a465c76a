#include "export/PdfGlyphMap.h"

#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <optional>

#include "export/PdfFile.h"

namespace {

constexpr int kEntriesPerSection = 100;  // the most a section may hold

std::optional<std::u16string> Units(const QString& hex) {
  if (hex.size() % 4 != 0) return std::nullopt;
  std::u16string text;
  for (qsizetype at = 0; at < hex.size(); at += 4) {
    bool ok = false;
    text += static_cast<char16_t>(hex.mid(at, 4).toUShort(&ok, 16));
    if (!ok) return std::nullopt;
  }
  return text;
}

// "<code> <text>" entries.
int ReadCharacters(const QString& section, TPdfGlyphMap& map) {
  static const QRegularExpression entry(R"(<([0-9A-Fa-f]{4})>\s*<([0-9A-Fa-f]*)>)");
  int count = 0;
  for (auto match = entry.globalMatch(section); match.hasNext(); ++count) {
    const auto found = match.next();
    const auto text = Units(found.captured(2));
    if (!text) return -1;
    map[found.captured(1).toUShort(nullptr, 16)] = *text;
  }
  return count;
}

// "<first> <last> <text>", the last unit counting up, or "<first> <last>
// [<text> ...]", a text per code.
int ReadRanges(const QString& section, TPdfGlyphMap& map) {
  static const QRegularExpression entry(
      R"(<([0-9A-Fa-f]{4})>\s*<([0-9A-Fa-f]{4})>\s*(?:<([0-9A-Fa-f]*)>|\[([^\]]*)\]))");
  static const QRegularExpression listed(R"(<([0-9A-Fa-f]*)>)");
  int count = 0;
  for (auto match = entry.globalMatch(section); match.hasNext(); ++count) {
    const auto found = match.next();
    const int first = found.captured(1).toInt(nullptr, 16);
    const int last = found.captured(2).toInt(nullptr, 16);
    std::optional<std::u16string> text = Units(found.captured(3));
    if (last < first || !text) return -1;
    auto list = listed.globalMatch(found.captured(4));
    for (int code = first; code <= last; ++code) {
      if (found.hasCaptured(4))
        text = list.hasNext() ? Units(list.next().captured(1)) : std::nullopt;
      if (!text || text->empty()) return -1;
      map[static_cast<std::uint16_t>(code)] = *text;
      if (!found.hasCaptured(4)) ++text->back();
    }
  }
  return count;
}

}  // namespace

bool ReadPdfGlyphMap(const QByteArray& cmap, TPdfGlyphMap& map) {
  static const QRegularExpression section(R"((\d+)\s+begin(bfchar|bfrange)\s(.*?)\send\2)",
                                          QRegularExpression::DotMatchesEverythingOption);
  const QString text = QString::fromLatin1(cmap);
  if (!text.contains("begincmap") || !text.contains("endcmap")) return false;
  for (auto match = section.globalMatch(text); match.hasNext();) {
    const auto found = match.next();
    const int count = found.captured(2) == "bfchar" ? ReadCharacters(found.captured(3), map)
                                                    : ReadRanges(found.captured(3), map);
    if (count != found.captured(1).toInt()) return false;
  }
  return true;
}

QByteArray PdfGlyphMapText(const TPdfGlyphMap& map) {
  QByteArray out =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
  auto entry = map.begin();
  for (std::size_t left = map.size(); left > 0;) {
    const std::size_t count = std::min<std::size_t>(left, kEntriesPerSection);
    out += QByteArray::number(count) + " beginbfchar\n";
    for (std::size_t i = 0; i < count; ++i, ++entry) {
      const char16_t code = entry->first;
      out += "<" + PdfUtf16Hex({&code, 1}) + "> <" + PdfUtf16Hex(entry->second) + ">\n";
    }
    out += "endbfchar\n";
    left -= count;
  }
  return out + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}
