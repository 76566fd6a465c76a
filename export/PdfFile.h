// Reading and rewriting the PDF files Qt's writer makes: the objects,
// found through the cross-reference table, their streams, and a page's
// content as operators with their operands. Only what that writer writes is
// understood; every reader fails on anything else rather than guess.
#pragma once

#include <QByteArray>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

// Objects stand from their offset to the next one's, so that stream data is
// never searched for keywords.
struct TPdfObjectSpan {
  int Number = 0;
  qsizetype Begin = 0;
  qsizetype End = 0;
};

struct TPdfFile {
  std::vector<TPdfObjectSpan> Objects;  // in file order
  int Size = 0;                         // entries of the table, the free 0 included
  qsizetype Trailer = 0;                // "trailer" up to "startxref"
  qsizetype StartXref = 0;
};

// The file's table and objects; false when they are not where it says.
bool ReadPdfFile(const QByteArray& pdf, TPdfFile& file);
// The object's bytes, "N 0 obj" to the next object; empty when there is none.
QByteArray PdfObjectText(const QByteArray& pdf, const TPdfFile& file, int number);
// The object's bytes without its stream: up to the end of the dictionary of
// a stream object, the whole object otherwise.
QByteArray PdfObjectDictionary(const QByteArray& pdf, const TPdfObjectSpan& object);
// The objects with some replaced by whole new ones, at their new offsets,
// and `added` after them as objects Size, Size + 1 and on (each written as
// "N 0 obj" ... "endobj" by the caller), under a new table; the trailer
// stays but for its /Size.
QByteArray RebuiltPdf(const QByteArray& pdf, const TPdfFile& file,
                      const std::map<int, QByteArray>& replaced,
                      const std::vector<QByteArray>& added = {});

struct TPdfPage {
  int Number = 0;
  int Contents = 0;  // its content stream
};

// The file's only page, with one content stream; none when there are more.
std::optional<TPdfPage> OnlyPdfPage(const QByteArray& pdf, const TPdfFile& file);
// The object the trailer names as the document's catalog.
std::optional<int> PdfCatalog(const QByteArray& pdf, const TPdfFile& file);

struct TPdfStream {
  QByteArray Dictionary;
  QByteArray Data;  // decoded
  bool Deflated = false;
};

// Plain or deflated streams only; the length may be an object of its own.
bool ReadPdfStream(const QByteArray& pdf, const TPdfFile& file, int number, TPdfStream& stream);
// The whole object again, compressed as it was, with its new length.
QByteArray PdfStreamObject(int number, const TPdfStream& stream);

struct TPdfOperation {
  QByteArray Operator;
  std::vector<QByteArray> Operands;
  qsizetype Begin = 0;  // of its first operand, or of the operator
  qsizetype End = 0;    // just after the operator
};

// Fails on what it cannot read, and on inline images, whose data is not
// made of tokens.
bool ReadPdfOperations(const QByteArray& content, std::vector<TPdfOperation>& operations);

// A PDF text string: a literal string where the text is printable ASCII,
// otherwise UTF-16BE with its byte order mark, in hex.
QByteArray PdfTextString(std::u16string_view text);
// Always the hex form, "<FEFF…>".
QByteArray PdfHexTextString(std::u16string_view text);
// UTF-16 units as four upper-case hex digits each, as hex strings and glyph
// maps write them.
QByteArray PdfUtf16Hex(std::u16string_view units);
