// What a double-click on the picture opens, in the words the status bar
// shows while the mouse moves over it.
#pragma once

#include <QString>

#include "model/FormulaTree.h"
#include "render/HitMap.h"

// The entry the hit names in the tree below *root, or nullptr for the
// background or a hit that no longer fits the tree.
TFormulaEntry* HitEntry(TFormulaLine** root, const THit& hit);

// "Term „+ 3 * “", "Nenner des Bruchs", "Integral von 1 bis 10"...
QString DescribeHit(TFormulaLine** root, const THit& hit);

// The words for the First or Second sequence of a function of `kind`, as the
// picture's hints name it ("Zähler des Bruchs"); empty for an unknown kind.
QString SequenceWords(std::uint32_t kind, TSequencePart part);
// The same for one entry: a named function adds its name
// ("Argument der Funktion „sin“").
QString DescribeSequence(const TFormulaEntry& entry, TSequencePart part);
