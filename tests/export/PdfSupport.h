// Reading back what a PDF holds: its streams, the texts its glyphs are
// marked with, and whether its cross-reference table points at its objects.
#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <map>
#include <ostream>
#include <vector>

// The streams of a PDF, inflated where the writer compressed them.
inline std::vector<QByteArray> PdfStreams(const QByteArray& pdf) {
  std::vector<QByteArray> streams;
  static const QRegularExpression start("(?<!end)stream\r?\n");
  // Latin-1, so that offsets in the text are offsets in the bytes.
  for (auto match = start.globalMatch(QString::fromLatin1(pdf)); match.hasNext();) {
    const qsizetype begin = match.next().capturedEnd();
    const qsizetype end = pdf.indexOf("endstream", begin);
    if (end < 0) break;
    const QByteArray raw = pdf.mid(begin, end - begin);
    if (!raw.startsWith('\x78')) {  // not deflated
      streams.push_back(raw);
      continue;
    }
    // qUncompress wants a size hint first; it grows its buffer as needed.
    streams.push_back(qUncompress(QByteArray("\0\0\0\0", 4) + raw));
  }
  return streams;
}

// A text the page's glyphs are marked with, and how many glyphs it covers.
struct TMarkedText {
  QString Text;
  int Glyphs = 0;
  bool operator==(const TMarkedText&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const TMarkedText& marked) {
  return out << '"' << marked.Text.toStdString() << "\" over " << marked.Glyphs << " glyphs";
}

inline QString FromUtf16Hex(const QString& hex) {
  QString text;
  for (qsizetype at = 0; at + 4 <= hex.size(); at += 4) {
    text += QChar(hex.mid(at, 4).toUShort(nullptr, 16));
  }
  return text;
}

// Every /ActualText span of every stream, in order. `unmarked` gets the
// glyphs shown outside any span.
inline std::vector<TMarkedText> MarkedTexts(const QByteArray& pdf, int& unmarked) {
  static const QRegularExpression span(R"(/Span <</ActualText <FEFF([0-9A-F]*)>>> BDC\n(.*?)EMC)",
                                       QRegularExpression::DotMatchesEverythingOption);
  std::vector<TMarkedText> texts;
  unmarked = 0;
  for (const QByteArray& stream : PdfStreams(pdf)) {
    const QString content = QString::fromLatin1(stream);
    int marked = 0;
    for (auto match = span.globalMatch(content); match.hasNext();) {
      const auto found = match.next();
      texts.push_back({FromUtf16Hex(found.captured(1)), int(found.captured(2).count(" Tj"))});
      marked += texts.back().Glyphs;
    }
    unmarked += int(content.count(" Tj")) - marked;
  }
  return texts;
}

// Every object the table lists stands at its offset, and the table where
// startxref says.
inline bool XrefPointsAtObjects(const QByteArray& pdf) {
  static const QRegularExpression tail(R"(startxref\s+(\d+)\s+%%EOF\s*$)");
  const auto end = tail.match(QString::fromLatin1(pdf.right(40)));
  if (!end.hasMatch()) return false;
  const qsizetype table = end.captured(1).toLongLong();
  static const QRegularExpression head(R"(^xref\n0 (\d+)\n)");
  const auto size = head.match(QString::fromLatin1(pdf.mid(table, 20)));
  if (!size.hasMatch()) return false;
  const qsizetype entries = table + size.capturedLength();
  for (int number = 1; number < size.captured(1).toInt(); ++number) {
    const QByteArray entry = pdf.mid(entries + number * 20, 20);
    if (entry.size() != 20) return false;
    if (entry[17] == 'n' &&
        !pdf.mid(entry.left(10).toLongLong()).startsWith(QByteArray::number(number) + " 0 obj")) {
      return false;
    }
  }
  return true;
}

// Glyph codes to texts, from the fonts' glyph maps (ToUnicode): single codes,
// and ranges with a start counting up or a list of texts.
inline std::map<QString, QString> GlyphMap(const QByteArray& pdf) {
  static const QRegularExpression single(R"(^<([0-9A-F]{4})> <([0-9A-F]+)>$)",
                                         QRegularExpression::MultilineOption);
  static const QRegularExpression range(
      R"(<([0-9A-F]{4})> <([0-9A-F]{4})> (?:\[([^\]]*)\]|<([0-9A-F]+)>))");
  static const QRegularExpression listed("<([0-9A-F]+)>");
  std::map<QString, QString> texts;
  for (const QByteArray& stream : PdfStreams(pdf)) {
    static const QRegularExpression codes("begincodespacerange.*?endcodespacerange",
                                          QRegularExpression::DotMatchesEverythingOption);
    const QString cmap = QString::fromLatin1(stream).remove(codes);
    if (!cmap.contains("begincmap")) continue;
    for (auto match = single.globalMatch(cmap); match.hasNext();) {
      const auto found = match.next();
      texts[found.captured(1)] = FromUtf16Hex(found.captured(2));
    }
    for (auto match = range.globalMatch(cmap); match.hasNext();) {
      const auto found = match.next();
      auto list = listed.globalMatch(found.captured(3));
      QString start = FromUtf16Hex(found.captured(4));
      for (int code = found.captured(1).toInt(nullptr, 16);
           code <= found.captured(2).toInt(nullptr, 16); ++code) {
        const QString key = QString("%1").arg(code, 4, 16, QChar('0')).toUpper();
        if (start.isEmpty()) {
          texts[key] = list.hasNext() ? FromUtf16Hex(list.next().captured(1)) : QString("?");
        } else {
          texts[key] = start;
          start.back() = QChar(start.back().unicode() + 1);
        }
      }
    }
  }
  return texts;
}

// Object `number` as the table finds it: its dictionary (or value) up to
// "endobj", or to "stream" for a stream. Empty when the table has no such
// object.
inline QByteArray PdfObjectAt(const QByteArray& pdf, int number) {
  static const QRegularExpression tail(R"(startxref\s+(\d+)\s+%%EOF\s*$)");
  const auto end = tail.match(QString::fromLatin1(pdf.right(40)));
  if (!end.hasMatch()) return {};
  const qsizetype table = end.captured(1).toLongLong();
  const qsizetype entries = pdf.indexOf('\n', pdf.indexOf('\n', table) + 1) + 1;
  const QByteArray entry = pdf.mid(entries + number * 20, 20);
  if (entry.size() != 20 || entry[17] != 'n') return {};
  const qsizetype begin = entry.left(10).toLongLong();
  qsizetype stop = pdf.indexOf("endobj", begin);
  const qsizetype stream = pdf.indexOf("stream", begin);
  if (stream >= 0 && stream < stop) stop = stream;
  return stop < 0 ? QByteArray() : pdf.mid(begin, stop - begin);
}
