// LibreOffice's formula document (.odf): a zip whose first entry names its
// type, then the MathML in content.xml and a manifest. Writer takes the same
// zip from the clipboard as an editable formula object, and gives it back
// when one is copied. Read in memory only, bounded like every formula text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textio/FormulaText.h"

inline constexpr const char* kFormulaObjectMimeType = "application/vnd.oasis.opendocument.formula";
// The clipboard flavours under which LibreOffice offers and takes an
// embedded object: the zip, and a descriptor that must be offered beside it
// (Writer only asks for the zip). Its class and type name the entry in
// "Inhalte einfügen".
inline constexpr const char* kEmbedSourceFlavour =
    "application/x-openoffice-embed-source-xml;windows_formatname=\"Star Embed Source (XML)\"";
inline constexpr const char* kObjectDescriptorFlavour =
    "application/x-openoffice-objectdescriptor-xml;windows_formatname=\"Star Object Descriptor "
    "(XML)\";classname=\"078B7ABA-54FC-457F-8551-6147E776A997\";typename=\"LibreOffice 7.4 "
    "Formula\"";

inline constexpr const char* kNoFormulaObject =
    "Die Datei ist kein Formeldokument (keine ZIP-Datei mit „content.xml“).";

// The zip for `mathml` (UTF-8, one <math> element). False, with the message,
// only when the zip library fails.
bool WriteFormulaObject(std::string_view mathml, std::vector<std::uint8_t>& zip,
                        std::string& error);
// The formula's MathML in a zip of its own.
bool FormulaObjectFromFormula(const TFormulaLine* line, std::vector<std::uint8_t>& zip,
                              std::string& error);

// Whether `bytes` start as a zip does.
bool LooksLikeZip(std::span<const std::uint8_t> bytes);
// content.xml, refused past kMaxFormulaTextBytes once inflated; no other
// entry is read.
bool ReadFormulaObjectContent(std::span<const std::uint8_t> zip, std::string& content,
                              std::string& error);
// The text of <annotation encoding="StarMath 5.0">, when the MathML has one.
bool StarMathAnnotation(std::string_view mathml, std::u16string& starMath);
// The formula of a formula document: its MathML, or when that cannot be
// read, its StarMath annotation. On failure the MathML reader's message.
bool FormulaFromFormulaObject(std::span<const std::uint8_t> zip, TEntryCursor* cursor,
                              TOwnedLine& out, std::string& error);
