#include "export/PdfFile.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "export/Inflate.h"

namespace {

constexpr qsizetype kXrefEntry = 20;
// The streams read are the page's content and the fonts' glyph maps of a
// picture's PDF; one larger than this is not the writer's and stays as it is.
constexpr std::size_t kMaxInflatedStream = std::size_t{256} << 20;

bool StartsAt(const QByteArray& bytes, qsizetype at, QByteArrayView prefix) {
  return at >= 0 && at <= bytes.size() && QByteArrayView(bytes).sliced(at).startsWith(prefix);
}

std::optional<qsizetype> NumberAt(const QByteArray& bytes, qsizetype at, qsizetype& end) {
  end = at;
  while (end < bytes.size() && end - at < 12 && bytes[end] >= '0' && bytes[end] <= '9') ++end;
  if (end == at || end - at >= 12) return std::nullopt;
  return bytes.mid(at, end - at).toLongLong();
}

bool ReadXrefEntries(const QByteArray& pdf, qsizetype table, TPdfFile& file) {
  for (int number = 1; number < file.Size; ++number) {
    const QByteArray entry = pdf.mid(table + number * kXrefEntry, kXrefEntry);
    if (entry.size() != kXrefEntry || entry[17] == 'f') continue;
    qsizetype end = 0;
    const auto offset = NumberAt(entry, 0, end);
    if (!offset || entry[17] != 'n' || *offset >= file.StartXref) return false;
    if (!StartsAt(pdf, *offset, QByteArray::number(number) + " 0 obj")) return false;
    file.Objects.push_back({number, *offset, 0});
  }
  return !file.Objects.empty();
}

}  // namespace

bool ReadPdfFile(const QByteArray& pdf, TPdfFile& file) {
  file.StartXref = pdf.lastIndexOf("startxref");
  if (file.StartXref < 0) return false;
  qsizetype end = 0;
  const auto xref = NumberAt(pdf, file.StartXref + 10, end);
  if (!xref || *xref >= file.StartXref || !StartsAt(pdf, *xref, "xref\n0 ")) return false;
  const auto size = NumberAt(pdf, *xref + 7, end);
  if (!size || *size < 2 || *size > 1000000 || !StartsAt(pdf, end, "\n")) return false;
  file.Size = static_cast<int>(*size);
  const qsizetype table = end + 1;
  file.Trailer = table + file.Size * kXrefEntry;
  if (file.Trailer > file.StartXref || !StartsAt(pdf, file.Trailer, "trailer")) return false;
  if (!ReadXrefEntries(pdf, table, file)) return false;
  std::sort(file.Objects.begin(), file.Objects.end(),
            [](const TPdfObjectSpan& a, const TPdfObjectSpan& b) { return a.Begin < b.Begin; });
  for (std::size_t i = 0; i < file.Objects.size(); ++i) {
    file.Objects[i].End = i + 1 < file.Objects.size() ? file.Objects[i + 1].Begin : *xref;
    if (file.Objects[i].End <= file.Objects[i].Begin) return false;
  }
  return true;
}

QByteArray PdfObjectText(const QByteArray& pdf, const TPdfFile& file, int number) {
  for (const TPdfObjectSpan& object : file.Objects) {
    if (object.Number == number) return pdf.mid(object.Begin, object.End - object.Begin);
  }
  return {};
}

QByteArray PdfObjectDictionary(const QByteArray& pdf, const TPdfObjectSpan& object) {
  const QByteArrayView text = QByteArrayView(pdf).sliced(object.Begin, object.End - object.Begin);
  // The first keyword ends the dictionary, so the stream's bytes are never
  // looked at: they may hold anything, "/Type /Page" included.
  const qsizetype keyword = text.indexOf(QByteArrayView(">>\nstream\n"));
  return (keyword < 0 ? text : text.first(keyword + 2)).toByteArray();
}

// The objects with some replaced, at their new offsets, and a new table.
QByteArray RebuiltPdf(const QByteArray& pdf, const TPdfFile& file,
                      const std::map<int, QByteArray>& replaced,
                      const std::vector<QByteArray>& added) {
  QByteArray out = pdf.left(file.Objects.front().Begin);
  const int size = file.Size + static_cast<int>(added.size());
  std::vector<qsizetype> offsets(size, -1);
  for (const TPdfObjectSpan& object : file.Objects) {
    offsets[object.Number] = out.size();
    const auto found = replaced.find(object.Number);
    out +=
        found != replaced.end() ? found->second : pdf.mid(object.Begin, object.End - object.Begin);
  }
  for (std::size_t i = 0; i < added.size(); ++i) {
    offsets[file.Size + static_cast<int>(i)] = out.size();
    out += added[i];
  }
  const qsizetype xref = out.size();
  out += "xref\n0 " + QByteArray::number(size) + "\n0000000000 65535 f \n";
  for (int number = 1; number < size; ++number) {
    out += offsets[number] < 0
               ? QByteArray("0000000000 65535 f \n")
               : QByteArray::number(offsets[number]).rightJustified(10, '0') + " 00000 n \n";
  }
  QByteArray trailer = pdf.mid(file.Trailer, file.StartXref - file.Trailer);
  if (!added.empty()) {
    static const QRegularExpression sizeEntry(R"(/Size\s+\d+)");
    trailer = QString::fromLatin1(trailer)
                  .replace(sizeEntry, "/Size " + QString::number(size))
                  .toLatin1();
  }
  out += trailer;
  out += "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
  return out;
}

std::optional<TPdfPage> OnlyPdfPage(const QByteArray& pdf, const TPdfFile& file) {
  static const QRegularExpression page(R"(/Type\s*/Page\b)");
  static const QRegularExpression contents(R"(/Contents\s+(\d+)\s+0\s+R)");
  std::optional<TPdfPage> found;
  for (const TPdfObjectSpan& object : file.Objects) {
    const QString text = QString::fromLatin1(PdfObjectDictionary(pdf, object));
    if (!page.match(text).hasMatch()) continue;
    const QRegularExpressionMatch match = contents.match(text);
    if (found || !match.hasMatch()) return std::nullopt;
    found = TPdfPage{object.Number, match.captured(1).toInt()};
  }
  return found;
}

std::optional<int> PdfCatalog(const QByteArray& pdf, const TPdfFile& file) {
  static const QRegularExpression root(R"(/Root\s+(\d+)\s+0\s+R)");
  const QRegularExpressionMatch match =
      root.match(QString::fromLatin1(pdf.mid(file.Trailer, file.StartXref - file.Trailer)));
  if (!match.hasMatch()) return std::nullopt;
  static const QRegularExpression catalog(R"(/Type\s*/Catalog\b)");
  const int number = match.captured(1).toInt();
  if (!catalog.match(QString::fromLatin1(PdfObjectText(pdf, file, number))).hasMatch()) {
    return std::nullopt;
  }
  return number;
}

// ---------------------------------------------------------------------------
// Streams: the writer deflates the page and writes the glyph maps plain.

namespace {

const QRegularExpression& LengthEntry() {
  static const QRegularExpression length(R"(/Length\s+(\d+)(\s+0\s+R)?)");
  return length;
}

std::optional<qsizetype> StreamLength(const QByteArray& pdf, const TPdfFile& file,
                                      const QRegularExpressionMatch& length) {
  const qsizetype value = length.captured(1).toLongLong();
  if (length.captured(2).isEmpty()) return value;
  static const QRegularExpression object(R"(^\d+ 0 obj\s+(\d+)\s+endobj)");
  const QRegularExpressionMatch number =
      object.match(QString::fromLatin1(PdfObjectText(pdf, file, static_cast<int>(value))));
  if (!number.hasMatch()) return std::nullopt;
  return number.captured(1).toLongLong();
}

}  // namespace

bool ReadPdfStream(const QByteArray& pdf, const TPdfFile& file, int number, TPdfStream& stream) {
  const QByteArray text = PdfObjectText(pdf, file, number);
  const qsizetype open = text.indexOf("<<");
  const qsizetype keyword = text.indexOf(">>\nstream\n");
  if (open < 0 || keyword < 0) return false;
  stream.Dictionary = text.mid(open, keyword + 2 - open);
  const auto length =
      StreamLength(pdf, file, LengthEntry().match(QString::fromLatin1(stream.Dictionary)));
  const qsizetype start = keyword + 10;
  if (!length || start + *length > text.size()) return false;
  if (!text.mid(start + *length).trimmed().startsWith("endstream")) return false;
  stream.Data = text.mid(start, *length);
  stream.Deflated = stream.Dictionary.contains("/Filter /FlateDecode");
  if (stream.Dictionary.contains("/Filter") && !stream.Deflated) return false;
  if (!stream.Deflated) return true;
  std::string inflated;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.Data.constData());
  if (InflateCapped({bytes, static_cast<std::size_t>(stream.Data.size())}, kMaxInflatedStream,
                    inflated) != TInflateResult::Done) {
    return false;
  }
  stream.Data = QByteArray::fromStdString(inflated);
  return true;
}

QByteArray PdfStreamObject(int number, const TPdfStream& stream) {
  const QByteArray data = stream.Deflated ? qCompress(stream.Data).mid(4) : stream.Data;
  QString dictionary = QString::fromLatin1(stream.Dictionary);
  dictionary.replace(LengthEntry(), "/Length " + QString::number(data.size()));
  return QByteArray::number(number) + " 0 obj\n" + dictionary.toLatin1() + "\nstream\n" + data +
         "\nendstream\nendobj\n";
}

// ---------------------------------------------------------------------------
// The page's content: operators with their operands, and where each stands.

namespace {

bool IsWhite(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool IsDelimiter(char c) { return c != '\0' && std::strchr("()<>[]{}/%", c) != nullptr; }

qsizetype SkipWhite(const QByteArray& s, qsizetype at) {
  while (at < s.size()) {
    if (s[at] == '%') {
      while (at < s.size() && s[at] != '\n' && s[at] != '\r') ++at;
    } else if (IsWhite(s[at])) {
      ++at;
    } else {
      break;
    }
  }
  return at;
}

qsizetype LiteralStringEnd(const QByteArray& s, qsizetype at) {
  int depth = 0;
  for (qsizetype i = at; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
    } else if (s[i] == '(') {
      ++depth;
    } else if (s[i] == ')' && --depth == 0) {
      return i + 1;
    }
  }
  return -1;
}

qsizetype TokenEnd(const QByteArray& s, qsizetype at);

// A dictionary or an array, with whatever it holds.
qsizetype CompoundEnd(const QByteArray& s, qsizetype at) {
  int depth = 0;
  qsizetype i = at;
  do {
    i = SkipWhite(s, i);
    if (i >= s.size()) return -1;
    const QByteArray two = s.mid(i, 2);
    if (two == "<<" || two == ">>") {
      depth += two == "<<" ? 1 : -1;
      i += 2;
    } else if (s[i] == '[' || s[i] == ']') {
      depth += s[i] == '[' ? 1 : -1;
      ++i;
    } else {
      i = TokenEnd(s, i);
      if (i < 0) return -1;
    }
  } while (depth > 0);
  return depth == 0 ? i : -1;
}

qsizetype TokenEnd(const QByteArray& s, qsizetype at) {
  const char c = s[at];
  if (c == '(') return LiteralStringEnd(s, at);
  if (s.mid(at, 2) == "<<" || c == '[') return CompoundEnd(s, at);
  if (c == '<') {
    const qsizetype end = s.indexOf('>', at);
    return end < 0 ? -1 : end + 1;
  }
  if (c != '/' && IsDelimiter(c)) return -1;
  qsizetype end = at + 1;
  while (end < s.size() && !IsWhite(s[end]) && !IsDelimiter(s[end])) ++end;
  return end;
}

bool IsOperator(const QByteArray& token) {
  const char c = token[0];
  if (c == '/' || c == '(' || c == '<' || c == '[' || c == '+' || c == '-' || c == '.')
    return false;
  if (c >= '0' && c <= '9') return false;
  return token != "true" && token != "false" && token != "null";
}

}  // namespace

bool ReadPdfOperations(const QByteArray& content, std::vector<TPdfOperation>& operations) {
  TPdfOperation pending;
  for (qsizetype at = SkipWhite(content, 0); at < content.size(); at = SkipWhite(content, at)) {
    const qsizetype end = TokenEnd(content, at);
    if (end < 0) return false;
    const QByteArray token = content.mid(at, end - at);
    if (pending.Operands.empty()) pending.Begin = at;
    if (!IsOperator(token)) {
      pending.Operands.push_back(token);
    } else {
      if (token == "BI" || token == "ID") return false;
      pending.Operator = token;
      pending.End = end;
      operations.push_back(std::move(pending));
      pending = {};
    }
    at = end;
  }
  return pending.Operands.empty();
}

QByteArray PdfUtf16Hex(std::u16string_view units) {
  QByteArray hex;
  for (const char16_t unit : units) hex += QByteArray::number(unit, 16).rightJustified(4, '0');
  return hex.toUpper();
}

QByteArray PdfHexTextString(std::u16string_view text) { return "<FEFF" + PdfUtf16Hex(text) + ">"; }

QByteArray PdfTextString(std::u16string_view text) {
  const bool ascii =
      std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x20 && c < 0x7F; });
  if (!ascii) return PdfHexTextString(text);
  QByteArray literal = "(";
  for (const char16_t c : text) {
    if (c == u'(' || c == u')' || c == u'\\') literal += '\\';
    literal += static_cast<char>(c);
  }
  return literal + ")";
}
