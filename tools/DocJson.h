// A document as JSON and back, for quillmora-cli's dump and build:
//
// {"Formula": [ENTRY, ...] or null,
//  "Font": {"Charset", "Color", "Name", "Pitch", "PixelsPerInch", "Size", "Style"},
//  "Background": uint32, "Margin": number}
// ENTRY = {"IsFunction", "Kind", "Text1", "Text2", "First", "Second", "Layout": [ten ints]}
//
// Everything is as stored in the file. The face name is its Windows-1252
// bytes shown as text. A margin that is no number is written as one of the
// strings "NaN", "Infinity", "-Infinity", which build accepts back.
#pragma once

#include <string>

#include "docfile/DocFile.h"
#include "tools/Json.h"

// Room for a document nested kMaxNestingDepth deep and a level more, so that
// such a document gets the document's own message rather than the parser's.
inline constexpr int kMaxJsonDepth = 2 * kMaxNestingDepth + 8;

// The document's members, as they come inside the outermost object; the
// caller may add members of its own before it closes the object.
void WriteDocumentMembers(const TDocument& document, TJsonWriter& out);
// The whole document as JSON text, as dump prints it.
std::string DocumentJson(const TDocument& document);

// Builds a new tree bound to `cursor`. Unknown fields, values of the wrong
// type or range, sub-sequences of a term and nesting beyond
// kMaxNestingDepth are refused with a message naming the field; absent
// fields take the values of a new document (Formula [], layout fields 0).
// On failure nothing is allocated that outlives the call and `out` is untouched.
bool DocumentFromJson(const TJsonValue& json, TEntryCursor* cursor, TDocument& out,
                      std::string& error);
