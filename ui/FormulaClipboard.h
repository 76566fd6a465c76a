// The formula as text on the clipboard, and what "Einfügen" takes from it.
#pragma once

#include <QMimeData>
#include <QString>
#include <memory>

#include "textio/FormulaText.h"

inline constexpr const char* kMathMLMimeType = "application/mathml+xml";
inline constexpr const char* kNothingToPaste = "Die Zwischenablage enthält keine Formel.";
// Before the reason an offer on the clipboard could not be read.
inline constexpr const char* kNoReadableFormula = "Die Zwischenablage enthält keine lesbare Formel: ";

// The MathML as application/mathml+xml and as text, and LibreOffice's
// formula object with its descriptor, which Writer pastes as a formula.
std::unique_ptr<QMimeData> MakeMathMLData(const TFormulaLine* formula);

// The best formula the clipboard offers, in this order: the document of
// "In die Zwischenablage kopieren", LibreOffice's formula object, a PNG or
// SVG that carries a formula, MathML, then text (read as MathML when it is
// XML, as StarMath when it looks like LibreOffice Math's notation,
// otherwise as LaTeX).
// On failure `problem` says why, in German: what the best offer that could
// not be read reported, or kNothingToPaste.
bool FormulaFromClipboard(const QMimeData* data, TEntryCursor* cursor, TOwnedLine& formula,
                          QString& problem);
