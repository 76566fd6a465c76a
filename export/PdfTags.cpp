#include "export/PdfTags.h"

#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "export/PdfFile.h"

namespace {

// The entries the tagging adds; a dictionary that has one already was not
// made by the writer this code knows.
constexpr const char* kCatalogKeys[] = {"/MarkInfo", "/Lang", "/StructTreeRoot",
                                        "/ViewerPreferences"};
constexpr const char* kPageKeys[] = {"/StructParents", "/Tabs"};

// The object with `entries` at the end of its dictionary, or nothing when
// it is no plain dictionary object or holds one of `keys` already.
template <std::size_t N>
QByteArray WithEntries(const QByteArray& object, const char* const (&keys)[N],
                       const QByteArray& entries) {
  const qsizetype end = object.lastIndexOf("endobj");
  const qsizetype close = end < 0 ? -1 : object.lastIndexOf(">>", end);
  if (close < 0 || object.contains("stream") ||
      !object.mid(close + 2, end - close - 2).trimmed().isEmpty()) {
    return {};
  }
  for (const char* key : keys) {
    if (object.contains(key)) return {};
  }
  QByteArray result = object;
  result.insert(close, entries + "\n");
  return result;
}

QByteArray Reference(int number) { return QByteArray::number(number) + " 0 R"; }

QByteArray Object(int number, const QByteArray& dictionary) {
  return QByteArray::number(number) + " 0 obj\n" + dictionary + "\nendobj\n";
}

// ---------------------------------------------------------------------------
// The page's content as pieces that a marked-content sequence may go around
// but not into: a text object, a path from its first point to its painting,
// a marked-content sequence, or one operator.

struct TPiece {
  std::size_t First = 0;  // its operations, first to last
  std::size_t Last = 0;
  int Saves = 0;  // q +1, Q -1
  bool Paints = false;
  bool Term = false;  // a term's span of the text layer (PdfText.h)
};

// Saves nested deeper than this are not the writer's, which restores
// before it saves again; it also bounds the work of Stretches().
constexpr int kMaxSaves = 64;

bool IsPathConstruction(const QByteArray& name) {
  return name == "m" || name == "l" || name == "c" || name == "v" || name == "y" || name == "h" ||
         name == "re";
}

bool IsPathPainting(const QByteArray& name) {
  return name == "S" || name == "s" || name == "f" || name == "F" || name == "f*" || name == "B" ||
         name == "B*" || name == "b" || name == "b*" || name == "n";
}

// The content is marked already: it is someone else's structure.
bool HasMarkedContentId(const TPdfOperation& operation) {
  return std::any_of(operation.Operands.begin(), operation.Operands.end(),
                     [](const QByteArray& operand) { return operand.contains("/MCID"); });
}

bool IsTermSpan(const TPdfOperation& operation) {
  return operation.Operator == "BDC" && operation.Operands.size() == 2 &&
         operation.Operands[0] == "/Span" && operation.Operands[1].startsWith("<<") &&
         operation.Operands[1].contains("/ActualText");
}

// The last operation of the text object or marked-content sequence opened
// at `first`, or none when it does not close, crosses the other kind, or
// restores more than it saves.
std::optional<std::size_t> GroupEnd(const std::vector<TPdfOperation>& operations,
                                    std::size_t first) {
  const bool text = operations[first].Operator == "BT";
  int marks = 0;
  int saves = 0;
  bool inText = false;
  for (std::size_t i = first; i < operations.size(); ++i) {
    const QByteArray& name = operations[i].Operator;
    if (name == "BDC" || name == "BMC") ++marks;
    if (name == "EMC" && --marks < 0) return std::nullopt;
    if (name == "BT" && std::exchange(inText, true)) return std::nullopt;
    if (name == "ET" && !std::exchange(inText, false)) return std::nullopt;
    // Saves inside a text object are not allowed at all.
    if ((name == "q" || name == "Q") && (inText || (saves += name == "q" ? 1 : -1) < 0)) {
      return std::nullopt;
    }
    if (text ? name == "ET" : marks == 0) {
      return marks == 0 && !inText && saves == 0 ? std::optional(i) : std::nullopt;
    }
  }
  return std::nullopt;
}

// The last operation of the path that starts at `first`: its painting.
std::optional<std::size_t> PathEnd(const std::vector<TPdfOperation>& operations,
                                   std::size_t first) {
  for (std::size_t i = first; i < operations.size(); ++i) {
    const QByteArray& name = operations[i].Operator;
    if (IsPathPainting(name)) return i;
    if (!IsPathConstruction(name) && name != "W" && name != "W*") return std::nullopt;
  }
  return std::nullopt;
}

std::optional<TPiece> PieceAt(const std::vector<TPdfOperation>& operations, std::size_t first) {
  const TPdfOperation& operation = operations[first];
  const QByteArray& name = operation.Operator;
  if (name == "EMC" || name == "ET") return std::nullopt;
  TPiece piece{first, first};
  if (name == "BT" || name == "BDC" || name == "BMC") {
    const std::optional<std::size_t> last = GroupEnd(operations, first);
    if (!last) return std::nullopt;
    piece.Last = *last;
    piece.Paints = true;
    piece.Term = IsTermSpan(operation);
  } else if (IsPathConstruction(name)) {
    const std::optional<std::size_t> last = PathEnd(operations, first);
    if (!last) return std::nullopt;
    piece.Last = *last;
    piece.Paints = operations[*last].Operator != "n";
  } else {
    piece.Saves = name == "q" ? 1 : name == "Q" ? -1 : 0;
    piece.Paints = IsPathPainting(name) || name == "Do" || name == "sh";
  }
  return piece;
}

// The whole content in pieces; none when some part is not understood.
std::optional<std::vector<TPiece>> Pieces(const std::vector<TPdfOperation>& operations) {
  if (std::any_of(operations.begin(), operations.end(), HasMarkedContentId)) return std::nullopt;
  std::vector<TPiece> pieces;
  int saves = 0;
  for (std::size_t i = 0; i < operations.size(); ++i) {
    std::optional<TPiece> piece = PieceAt(operations, i);
    if (!piece || (saves += piece->Saves) > kMaxSaves) return std::nullopt;
    i = piece->Last;
    pieces.push_back(*piece);
  }
  return pieces;
}

// Pieces [Begin, End).
struct TRange {
  std::size_t Begin = 0;
  std::size_t End = 0;
};

bool AnyPaints(const std::vector<TPiece>& pieces, TRange range) {
  return std::any_of(pieces.begin() + range.Begin, pieces.begin() + range.End,
                     [](const TPiece& piece) { return piece.Paints; });
}

// The painting pieces of `run` in as few stretches as the saves allow: each
// stretch restores what it saves and restores nothing it did not save, so
// that the marks around it nest with the saves as the writer wrote them.
// `level` is the save depth before each piece, and after the last.
std::vector<TRange> Stretches(const std::vector<TPiece>& pieces, const std::vector<int>& level,
                              TRange run) {
  std::vector<TRange> found;
  std::vector<TRange> pending{run};
  while (!pending.empty()) {
    const TRange range = pending.back();
    pending.pop_back();
    if (!AnyPaints(pieces, range)) continue;
    // Between the first and the last point at the lowest depth the saves
    // pair up; before the first stands a restore, after the last a save,
    // and what lies beyond those is split again one level up.
    const auto levels = level.begin() + std::ptrdiff_t(range.Begin);
    const int low = *std::min_element(levels, levels + std::ptrdiff_t(range.End - range.Begin + 1));
    std::size_t first = range.Begin;
    while (level[first] != low) ++first;
    std::size_t last = range.End;
    while (level[last] != low) --last;
    TRange stretch{first, last};
    while (stretch.Begin < stretch.End && pieces[stretch.Begin].Saves == 0 &&
           !pieces[stretch.Begin].Paints) {
      ++stretch.Begin;
    }
    while (stretch.Begin < stretch.End && pieces[stretch.End - 1].Saves == 0 &&
           !pieces[stretch.End - 1].Paints) {
      --stretch.End;
    }
    if (AnyPaints(pieces, stretch)) found.push_back(stretch);
    if (first > range.Begin) pending.push_back({range.Begin, first - 1});
    if (last < range.End) pending.push_back({last + 1, range.End});
  }
  std::sort(found.begin(), found.end(),
            [](const TRange& a, const TRange& b) { return a.Begin < b.Begin; });
  return found;
}

// A content item of the formula, numbered (MCID) in content order: a term's
// span, which becomes a Span element of its own, or a stretch of the
// picture between them (signs, strokes, background).
struct TItem {
  TRange Pieces;
  bool Term = false;
};

std::vector<TItem> Items(const std::vector<TPiece>& pieces) {
  std::vector<int> level{0};
  for (const TPiece& piece : pieces) level.push_back(level.back() + piece.Saves);
  std::vector<TItem> items;
  std::size_t runBegin = 0;
  for (std::size_t i = 0; i <= pieces.size(); ++i) {
    if (i < pieces.size() && !pieces[i].Term) continue;
    for (const TRange& stretch : Stretches(pieces, level, {runBegin, i})) {
      items.push_back({stretch, false});
    }
    if (i < pieces.size()) items.push_back({{i, i + 1}, true});
    runBegin = i + 1;
  }
  return items;
}

// The content with every item marked by its number, none inside another:
// readers such as poppler end a numbered item at the first EMC they meet,
// an inner one's included.
QByteArray MarkedContent(const QByteArray& content, const std::vector<TPdfOperation>& operations,
                         const std::vector<TPiece>& pieces, const std::vector<TItem>& items) {
  QByteArray out;
  qsizetype copied = 0;
  for (std::size_t n = 0; n < items.size(); ++n) {
    const TItem& item = items[n];
    const TPdfOperation& open = operations[pieces[item.Pieces.Begin].First];
    const qsizetype end = operations[pieces[item.Pieces.End - 1].Last].End;
    out += content.mid(copied, open.Begin - copied);
    const QByteArray id = "<</MCID " + QByteArray::number(qulonglong(n));
    if (item.Term) {
      out += open.Operands[0] + " " + id + " " + open.Operands[1].mid(2) + " BDC";
      out += content.mid(open.End, end - open.End);
    } else {
      out += "/Formula " + id + ">> BDC\n" + content.mid(open.Begin, end - open.Begin) + "\nEMC";
    }
    copied = end;
  }
  return out + content.mid(copied);
}

// The text a term's span stands for, as its BDC gives it.
QByteArray ActualTextOf(const TPdfOperation& open) {
  static const QRegularExpression actualText(R"(/ActualText\s*(<[0-9A-Fa-f\s]*>))");
  return actualText.match(QString::fromLatin1(open.Operands[1])).captured(1).toLatin1();
}

// ---------------------------------------------------------------------------
// The structure tree.

// The numbers of the objects the structure tree takes, after the file's own:
// the tree's root, the document, the formula, the parent tree and then a Span
// element per term.
struct TStructure {
  int Root = 0;
  int Document = 0;
  int Formula = 0;
  int Parents = 0;
  int FirstSpan = 0;
};

std::vector<QByteArray> StructureObjects(const TStructure& s, int page, std::u16string_view alt,
                                         const std::vector<QByteArray>& termTexts,
                                         const std::vector<TItem>& items) {
  QByteArray kids;     // the formula's, in content order
  QByteArray parents;  // each item's element, by its number
  std::vector<QByteArray> spans;
  for (std::size_t n = 0; n < items.size(); ++n) {
    const int element = items[n].Term ? s.FirstSpan + int(spans.size()) : s.Formula;
    kids += (kids.isEmpty() ? "" : " ") +
            (items[n].Term ? Reference(element) : QByteArray::number(qulonglong(n)));
    parents += (parents.isEmpty() ? "" : " ") + Reference(element);
    if (!items[n].Term) continue;
    const QByteArray& text = termTexts[spans.size()];
    spans.push_back(Object(element, "<<\n/Type /StructElem\n/S /Span\n/P " + Reference(s.Formula) +
                                        "\n/Pg " + Reference(page) + "\n/K " +
                                        QByteArray::number(qulonglong(n)) +
                                        (text.isEmpty() ? "" : "\n/ActualText " + text) + "\n>>"));
  }
  std::vector<QByteArray> objects{
      Object(s.Root, "<<\n/Type /StructTreeRoot\n/K " + Reference(s.Document) + "\n/ParentTree " +
                         Reference(s.Parents) + "\n/ParentTreeNextKey 1\n>>"),
      Object(s.Document, "<<\n/Type /StructElem\n/S /Document\n/P " + Reference(s.Root) + "\n/K [" +
                             Reference(s.Formula) + "]\n>>"),
      // /Alt is what is read out in place of the whole formula; its terms'
      // spans say what copying them gives.
      Object(s.Formula, "<<\n/Type /StructElem\n/S /Formula\n/P " + Reference(s.Document) +
                            "\n/Pg " + Reference(page) + "\n/K [" + kids + "]\n/Alt " +
                            PdfTextString(alt) + "\n>>"),
      // The page has /StructParents 0.
      Object(s.Parents, "<<\n/Nums [0 [" + parents + "]]\n>>"),
  };
  objects.insert(objects.end(), spans.begin(), spans.end());
  return objects;
}

}  // namespace

QByteArray WithStructure(const QByteArray& pdf, std::u16string_view alt) {
  TPdfFile file;
  if (!ReadPdfFile(pdf, file)) return pdf;
  const std::optional<TPdfPage> page = OnlyPdfPage(pdf, file);
  const std::optional<int> catalog = PdfCatalog(pdf, file);
  TPdfStream content;
  std::vector<TPdfOperation> operations;
  if (!page || !catalog || !ReadPdfStream(pdf, file, page->Contents, content) ||
      !ReadPdfOperations(content.Data, operations)) {
    return pdf;
  }
  const std::optional<std::vector<TPiece>> pieces = Pieces(operations);
  if (!pieces) return pdf;
  const std::vector<TItem> items = Items(*pieces);
  std::vector<QByteArray> termTexts;
  for (const TItem& item : items) {
    if (item.Term)
      termTexts.push_back(ActualTextOf(operations[(*pieces)[item.Pieces.Begin].First]));
  }
  const TStructure s{file.Size, file.Size + 1, file.Size + 2, file.Size + 3, file.Size + 4};
  std::map<int, QByteArray> replaced;
  replaced[*catalog] =
      WithEntries(PdfObjectText(pdf, file, *catalog), kCatalogKeys,
                  "/MarkInfo <</Marked true>>\n/Lang (de-DE)\n/StructTreeRoot " +
                      Reference(s.Root) + "\n/ViewerPreferences <</DisplayDocTitle true>>");
  // Keyboard order follows the structure (Qt writes an empty /Annots).
  replaced[page->Number] =
      WithEntries(PdfObjectText(pdf, file, page->Number), kPageKeys, "/StructParents 0\n/Tabs /S");
  if (replaced[*catalog].isEmpty() || replaced[page->Number].isEmpty()) return pdf;
  content.Data = MarkedContent(content.Data, operations, *pieces, items);
  replaced[page->Contents] = PdfStreamObject(page->Contents, content);
  const std::vector<QByteArray> added = StructureObjects(s, page->Number, alt, termTexts, items);
  const QByteArray tagged = RebuiltPdf(pdf, file, replaced, added);
  TPdfFile check;
  return ReadPdfFile(tagged, check) && check.Size == file.Size + int(added.size()) &&
                 check.Objects.size() == file.Objects.size() + added.size()
             ? tagged
             : pdf;
}
