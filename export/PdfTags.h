// The structure of the PDF page the writer drew, for assistive technology:
// a tagged PDF whose one Formula element stands for the whole page, with
// the spoken formula as its text alternative (/Alt) and German as the
// document's language. The text layer (PdfText.h) stays inside it, so that
// copying text still gives the terms.
//
// Only files laid out as Qt's PDF writer lays them out are changed; any
// other goes out as it came.
#pragma once

#include <QByteArray>
#include <string_view>

// The catalog gets /MarkInfo, /Lang (de-DE) and the structure tree, the
// page /StructParents 0, and its content is marked as the Formula's
// content item 0.
QByteArray WithStructure(const QByteArray& pdf, std::u16string_view alt);

// A PDF text string: a literal string where the text is printable ASCII,
// otherwise UTF-16BE with its byte order mark, in hex.
QByteArray PdfTextString(std::u16string_view text);
