#include "export/PdfTags.h"

#include <QRegularExpression>
#include <algorithm>
#include <map>
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

// Marked content may not be left open at the end of a stream, nor closed
// more often than opened.
bool MarksBalanced(const std::vector<TPdfOperation>& operations) {
  int open = 0;
  for (const TPdfOperation& operation : operations) {
    if (operation.Operator == "BDC" || operation.Operator == "BMC") ++open;
    if (operation.Operator == "EMC" && --open < 0) return false;
  }
  return open == 0;
}

// The numbers of the objects the structure tree takes, after the file's own.
struct TStructure {
  int Root = 0;
  int Document = 0;
  int Formula = 0;
  int Parents = 0;
};

std::vector<QByteArray> StructureObjects(const TStructure& s, int page, std::u16string_view alt) {
  return {
      Object(s.Root, "<<\n/Type /StructTreeRoot\n/K " + Reference(s.Document) + "\n/ParentTree " +
                         Reference(s.Parents) + "\n/ParentTreeNextKey 1\n>>"),
      Object(s.Document, "<<\n/Type /StructElem\n/S /Document\n/P " + Reference(s.Root) + "\n/K [" +
                             Reference(s.Formula) + "]\n>>"),
      // The page's content item 0 is the formula; /Alt is what is read out
      // in its place.
      Object(s.Formula, "<<\n/Type /StructElem\n/S /Formula\n/P " + Reference(s.Document) +
                            "\n/Pg " + Reference(page) + "\n/K 0\n/Alt " + PdfTextString(alt) +
                            "\n>>"),
      // Content item 0 of the page with /StructParents 0 belongs to it.
      Object(s.Parents, "<<\n/Nums [0 [" + Reference(s.Formula) + "]]\n>>"),
  };
}

}  // namespace

QByteArray PdfTextString(std::u16string_view text) {
  const bool ascii =
      std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x20 && c < 0x7F; });
  if (ascii) {
    QByteArray literal = "(";
    for (const char16_t c : text) {
      if (c == u'(' || c == u')' || c == u'\\') literal += '\\';
      literal += static_cast<char>(c);
    }
    return literal + ")";
  }
  QByteArray hex = "<FEFF";
  for (const char16_t unit : text) {
    hex += QByteArray::number(unit, 16).rightJustified(4, '0').toUpper();
  }
  return hex + ">";
}

QByteArray WithStructure(const QByteArray& pdf, std::u16string_view alt) {
  TPdfFile file;
  if (!ReadPdfFile(pdf, file)) return pdf;
  const std::optional<TPdfPage> page = OnlyPdfPage(pdf, file);
  const std::optional<int> catalog = PdfCatalog(pdf, file);
  TPdfStream content;
  std::vector<TPdfOperation> operations;
  if (!page || !catalog || !ReadPdfStream(pdf, file, page->Contents, content) ||
      !ReadPdfOperations(content.Data, operations) || !MarksBalanced(operations)) {
    return pdf;
  }
  const TStructure s{file.Size, file.Size + 1, file.Size + 2, file.Size + 3};
  std::map<int, QByteArray> replaced;
  replaced[*catalog] =
      WithEntries(PdfObjectText(pdf, file, *catalog), kCatalogKeys,
                  "/MarkInfo <</Marked true>>\n/Lang (de-DE)\n/StructTreeRoot " +
                      Reference(s.Root) + "\n/ViewerPreferences <</DisplayDocTitle true>>");
  // Keyboard order follows the structure (Qt writes an empty /Annots).
  replaced[page->Number] =
      WithEntries(PdfObjectText(pdf, file, page->Number), kPageKeys, "/StructParents 0\n/Tabs /S");
  if (replaced[*catalog].isEmpty() || replaced[page->Number].isEmpty()) return pdf;
  // The whole page, background included, is the formula's picture; the
  // text layer's spans stay nested inside.
  content.Data = "/Formula <</MCID 0>> BDC\n" + content.Data + "\nEMC\n";
  replaced[page->Contents] = PdfStreamObject(page->Contents, content);
  const QByteArray tagged = RebuiltPdf(pdf, file, replaced, StructureObjects(s, page->Number, alt));
  TPdfFile check;
  return ReadPdfFile(tagged, check) && check.Size == s.Parents + 1 &&
                 check.Objects.size() == file.Objects.size() + 4
             ? tagged
             : pdf;
}
