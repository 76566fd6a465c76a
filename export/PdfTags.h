// The structure of the PDF page the writer drew, for assistive technology:
// a tagged PDF whose one Formula element stands for the whole page, with
// the spoken formula as its text alternative (/Alt) and German as the
// document's language. Each term's span of the text layer (PdfText.h)
// becomes a Span element below it, so that copying text still gives the
// terms; the drawing between the spans is the Formula's own content.
//
// Only files laid out as Qt's PDF writer lays them out are changed; any
// other goes out as it came.
#pragma once

#include <QByteArray>
#include <string_view>

// The catalog gets /MarkInfo, /Lang (de-DE) and the structure tree, the
// page /StructParents 0, and its content is cut into numbered content
// items (MCID) in content order, none inside another, each holding whole
// the saves and text objects it opens.
QByteArray WithStructure(const QByteArray& pdf, std::u16string_view alt);
