// The glyph map (ToUnicode CMap) of a PDF font with two-byte codes: the text
// each glyph code stands for, as readers extract it.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <map>
#include <string>

using TPdfGlyphMap = std::map<std::uint16_t, std::u16string>;

// Single codes and ranges, with one start or a list of texts; false for
// anything else, or counts that do not match their entries.
bool ReadPdfGlyphMap(const QByteArray& cmap, TPdfGlyphMap& map);
// Every code on its own, UTF-16 with surrogate pairs for characters beyond
// 16 bits.
QByteArray PdfGlyphMapText(const TPdfGlyphMap& map);
