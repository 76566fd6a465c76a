// Reading back what a PDF holds: its streams, the texts its glyphs are
// marked with, its structure tree, and whether its cross-reference table
// points at its objects.
#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <algorithm>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// A stream's data, inflated where the writer compressed it.
inline QByteArray InflatedStream(const QByteArray& raw) {
  if (!raw.startsWith('\x78')) return raw;  // not deflated
  // qUncompress wants a size hint first; it grows its buffer as needed.
  return qUncompress(QByteArray("\0\0\0\0", 4) + raw);
}

// The streams of a PDF, inflated where the writer compressed them.
inline std::vector<QByteArray> PdfStreams(const QByteArray& pdf) {
  std::vector<QByteArray> streams;
  static const QRegularExpression start("(?<!end)stream\r?\n");
  // Latin-1, so that offsets in the text are offsets in the bytes.
  for (auto match = start.globalMatch(QString::fromLatin1(pdf)); match.hasNext();) {
    const qsizetype begin = match.next().capturedEnd();
    const qsizetype end = pdf.indexOf("endstream", begin);
    if (end < 0) break;
    streams.push_back(InflatedStream(pdf.mid(begin, end - begin)));
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
  static const QRegularExpression span(
      R"(/Span <<(?:/MCID \d+ )?/ActualText <FEFF([0-9A-F]*)>>> BDC\n(.*?)EMC)",
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

// The cross-reference table startxref points at: where its entries begin
// (20 bytes each) and how many there are.
struct TXrefTable {
  qsizetype Entries = 0;
  int Size = 0;
};

inline std::optional<TXrefTable> XrefTableOf(const QByteArray& pdf) {
  static const QRegularExpression tail(R"(startxref\s+(\d+)\s+%%EOF\s*$)");
  const auto end = tail.match(QString::fromLatin1(pdf.right(40)));
  if (!end.hasMatch()) return std::nullopt;
  const qsizetype table = end.captured(1).toLongLong();
  static const QRegularExpression head(R"(^xref\n0 (\d+)\n)");
  const auto size = head.match(QString::fromLatin1(pdf.mid(table, 20)));
  if (!size.hasMatch()) return std::nullopt;
  return TXrefTable{table + size.capturedLength(), size.captured(1).toInt()};
}

// Every object the table lists stands at its offset, and the table where
// startxref says.
inline bool XrefPointsAtObjects(const QByteArray& pdf) {
  const std::optional<TXrefTable> table = XrefTableOf(pdf);
  if (!table) return false;
  for (int number = 1; number < table->Size; ++number) {
    const QByteArray entry = pdf.mid(table->Entries + number * 20, 20);
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
  const std::optional<TXrefTable> table = XrefTableOf(pdf);
  if (!table || number >= table->Size) return {};
  const QByteArray entry = pdf.mid(table->Entries + number * 20, 20);
  if (entry.size() != 20 || entry[17] != 'n') return {};
  const qsizetype begin = entry.left(10).toLongLong();
  qsizetype stop = pdf.indexOf("endobj", begin);
  const qsizetype stream = pdf.indexOf("stream", begin);
  if (stream >= 0 && stream < stop) stop = stream;
  return stop < 0 ? QByteArray() : pdf.mid(begin, stop - begin);
}

// The first group of `pattern` in an object's text; empty where it is not.
inline QString PdfEntry(const QByteArray& object, const QString& pattern) {
  return QRegularExpression(pattern).match(QString::fromLatin1(object)).captured(1);
}

// The number of the object that entry `key` refers to; 0 where there is none.
inline int PdfReference(const QByteArray& object, const QString& key) {
  return PdfEntry(object, key + R"(\s+(\d+) 0 R)").toInt();
}

// A page's content stream, inflated where the writer compressed it.
inline QByteArray PdfContentOf(const QByteArray& pdf, const QByteArray& page) {
  static const QRegularExpression contents(R"(/Contents\s+(\d+) 0 R)");
  const int number = contents.match(QString::fromLatin1(page)).captured(1).toInt();
  const QByteArray head = PdfObjectAt(pdf, number);
  const qsizetype begin = pdf.indexOf(head) + head.size();
  if (head.isEmpty() || pdf.mid(begin, 7) != "stream\n") return {};
  return InflatedStream(pdf.mid(begin + 7, pdf.indexOf("endstream", begin) - begin - 7));
}

// The formula's content items three ways, each as "Tag MCID text": as the
// page's content marks them, in order (with "!" before one inside another
// or one that cuts a save or a text object short); as the Formula element's
// /K lists them; and as the parent tree names their elements, by MCID. A
// Span element not below the Formula gets "!" too.
struct TTaggedItems {
  std::vector<std::string> Content, Kids, Parents;
};

inline TTaggedItems ReadTaggedItems(const QByteArray& pdf) {
  const QByteArray root = PdfObjectAt(
      pdf,
      PdfReference(PdfObjectAt(pdf, PdfReference(pdf.mid(pdf.lastIndexOf("trailer")), "/Root")),
                   "/StructTreeRoot"));
  const int formula =
      PdfEntry(PdfObjectAt(pdf, PdfReference(root, "/K")), R"(/K \[(\d+) 0 R\])").toInt();
  const QByteArray formulaObject = PdfObjectAt(pdf, formula);
  const auto item = [&](const QString& tag, const QString& id, const QString& text) {
    return (tag + " " + id + (text.isEmpty() ? "" : " " + text)).toStdString();
  };
  const auto element = [&](int number, int id) {
    if (number == formula) return item("Formula", QString::number(id), "");
    const QByteArray object = PdfObjectAt(pdf, number);
    return (PdfReference(object, "/P") == formula ? "" : "!") +
           item(PdfEntry(object, R"(/S /(\w+))"), PdfEntry(object, R"(/K (\d+))"),
                FromUtf16Hex(PdfEntry(object, R"(/ActualText <FEFF([0-9A-F]*)>)")));
  };
  TTaggedItems items;
  static const QRegularExpression kid(R"((\d+) 0 R|(\d+))");
  for (auto match = kid.globalMatch(PdfEntry(formulaObject, R"(/K \[([^\]]*)\])"));
       match.hasNext();) {
    const auto found = match.next();
    items.Kids.push_back(found.captured(1).isEmpty() ? element(formula, found.captured(2).toInt())
                                                     : element(found.captured(1).toInt(), -1));
  }
  const QString parents =
      PdfEntry(PdfObjectAt(pdf, PdfReference(root, "/ParentTree")), R"(/Nums \[0 \[([^\]]*)\]\])");
  static const QRegularExpression ref(R"((\d+) 0 R)");
  for (auto match = ref.globalMatch(parents); match.hasNext();) {
    items.Parents.push_back(element(match.next().captured(1).toInt(), int(items.Parents.size())));
  }
  // Marks, saves and text objects of the content, each numbered item with
  // what its saves and text objects add up to.
  static const QRegularExpression token(
      R"(/(\w+)\s*<<(.*?)>>\s*BDC|/\w+\s+BMC|(?<![\w/.*])(EMC|q|Q|BT|ET)(?![\w*]))",
      QRegularExpression::DotMatchesEverythingOption);
  struct TOpen {
    std::string Item;  // none: a sequence without a number
    int Saves = 0, Texts = 0;
    bool Cut = false;
  };
  std::vector<TOpen> open;
  const QByteArray content =
      PdfContentOf(pdf, PdfObjectAt(pdf, PdfReference(formulaObject, "/Pg")));
  for (auto match = token.globalMatch(QString::fromLatin1(content)); match.hasNext();) {
    const auto found = match.next();
    const QString name = found.captured(3);
    const QByteArray properties = found.captured(2).toLatin1();
    if (name.isEmpty()) {
      const bool nested = std::any_of(open.begin(), open.end(),
                                      [](const TOpen& outer) { return !outer.Item.empty(); });
      const QString id = PdfEntry(properties, R"(/MCID (\d+))");
      open.push_back({id.isEmpty() ? std::string()
                                   : (nested ? "!" : "") +
                                         item(found.captured(1), id,
                                              FromUtf16Hex(PdfEntry(
                                                  properties, "/ActualText <FEFF([0-9A-F]*)>")))});
    } else if (name == "EMC" && !open.empty()) {
      const TOpen& closed = open.back();
      if (!closed.Item.empty()) {
        items.Content.push_back((closed.Cut || closed.Saves || closed.Texts ? "!" : "") +
                                closed.Item);
      }
      open.pop_back();
    } else {
      for (TOpen& outer : open) {
        (name == "q" || name == "Q" ? outer.Saves : outer.Texts) +=
            name == "q" || name == "BT" ? 1 : -1;
        outer.Cut = outer.Cut || outer.Saves < 0 || outer.Texts < 0;
      }
    }
  }
  return items;
}
