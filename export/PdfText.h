// The text layer of the PDF page the writer drew: the glyphs of every drawn
// text are marked with the text they stand for (/ActualText), so that a
// reader extracts exactly that text, spaces, ligatures and characters beyond
// 16 bits included. The writer's own glyph-to-character map covers only
// characters up to U+FFFF, one per glyph.
//
// Only files laid out as Qt's PDF writer lays them out are changed; anything
// else, or any part of the page not understood, is left as it stands.
#pragma once

#include <QByteArray>
#include <vector>

#include "render/Replay.h"

QByteArray WithTextLayer(const QByteArray& pdf, const std::vector<TDrawnText>& texts);
