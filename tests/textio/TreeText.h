// A formula tree written compactly, so that a test row can say which tree a
// text must give: terms in quotes, functions as kind[texts](First)(Second).
//   frac("1")("2")   root[3]("x")   sum[i=1,n]("i")   pow("2")("x")
// A power shows its exponent (First) before its base (Second).
#pragma once

#include <string>

#include "model/FormulaTree.h"

std::string TreeText(const TFormulaLine* line);
// Brings a random tree to what the editor makes: no damaged entries, every
// kind known, First always present, and a Second in every fraction and power.
void MakeEditable(TFormulaLine* line);
// Equal as drawn, up to blanks at the edges of terms and a root index "2"
// that becomes empty; names are compared without their outer blanks.
bool SameFormula(const TFormulaLine* a, const TFormulaLine* b);
