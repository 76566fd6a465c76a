// A formula tree written compactly, so that a test row can say which tree a
// text must give: terms in quotes, functions as kind[texts](First)(Second).
//   frac("1")("2")   root[3]("x")   sum[i=1,n]("i")   pow("2")("x")
// A power shows its exponent (First) before its base (Second).
#pragma once

#include <string>
#include <string_view>

#include "model/FormulaTree.h"
#include "textio/FormulaText.h"

// `drawn`: only what the picture shows, so that trees drawn alike give the
// same text: terms and names without their outer blanks, no root index "2".
std::string TreeText(const TFormulaLine* line, bool drawn = false);
// Brings a random tree to what the editor makes: no damaged entries, every
// kind known, First always present, and a Second in every fraction and power.
void MakeEditable(TFormulaLine* line);

// The text forms through one pair of calls, the text in UTF-8 each way.
enum class TForm { Latex, MathML, StarMath };
std::string WriteFormula(TForm form, const TFormulaLine* line);
bool ReadFormula(TForm form, std::string_view text, TEntryCursor* cursor, TOwnedLine& out,
                 TTextError& error);
