// The parts of the picture that the keyboard steps through and a screen
// reader meets as the picture's children: the whole formula, its entries, a
// function's parts (its First and Second sequences, in the order the eye
// reads them) and their entries, to any depth. They come from the boxes the
// last paint recorded, so they are where the picture shows them.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "model/FormulaTree.h"
#include "render/HitMap.h"

// The keyboard's steps from part to part.
enum class TPartStep : std::uint8_t {
  Previous,  // the part before, in the same sequence or the same function
  Next,
  First,
  Last,
  Into,  // a function's first part, a part's first entry
  Out,   // the entry or function that holds it
};

class TPictureParts {
 public:
  // The whole formula; every other part lies inside it.
  static constexpr int kWhole = 0;

  // `root` is the variable that holds the root line; `placed` what the last
  // paint recorded. Both must outlive the parts.
  TPictureParts(TFormulaLine** root, const THitMap& placed);

  // The paint recorded anew (or recorded nothing, after a failure); the
  // parts are built again when next asked for. `width` and `height` are the
  // picture's size: the whole formula's box.
  void Renew(std::int32_t width, std::int32_t height);
  // Counts the changes of the parts' tree: a part number names the same part
  // (with maybe other words and another place) while the generation stays.
  // Every repaint renews the parts, and a screen reader asks about a part
  // after the repaint that showed it highlighted.
  std::uint64_t Generation() {
    Count();
    return generation_;
  }

  int Count();
  bool Exists(int part) { return part >= 0 && part < Count(); }
  // -1 for the whole formula.
  int Parent(int part);
  int ChildCount(int part);
  int Child(int part, int index);
  int IndexInParent(int part);
  // Where the part lies in the picture's pixels.
  TBox Box(int part);

  // What a double-click there hits: opening the part opens what the
  // double-click opens.
  THit Hit(int part);
  // The part `hit` names, or the innermost part around it that still exists
  // (the whole formula at worst): the same place after the formula changed.
  int PartOf(const THit& hit);
  int PartAt(std::int32_t x, std::int32_t y);

  // The status bar's words, then what the part says: "Nenner des Bruchs: b".
  QString Name(int part);

  // Where `step` leads from `part`; the part itself where it leads nowhere.
  int Step(int part, TPartStep step);

 private:
  enum class TKind : std::uint8_t { Whole, Entry, Sequence };
  struct TNode {
    TKind Kind = TKind::Whole;
    int Parent = -1;
    int IndexInParent = 0;
    // An entry: its place in its sequence. A sequence: which one of its function.
    std::uint32_t Index = 0;
    TSequencePart Part = TSequencePart::First;
    TBox Box;
    // An entry: the entry; a sequence and the whole: the line.
    const TFormulaEntry* Entry = nullptr;
    const TFormulaLine* Line = nullptr;
    std::vector<int> Children;
  };

  // Builds the parts if they are not built yet; `part`, or the whole
  // formula for a number that names no part.
  const TNode& NodeAt(int part);
  void Build();
  void BuildNodes();
  static bool SameTree(const std::vector<TNode>& a, const std::vector<TNode>& b);
  // Each placed function keeps the parts of its two sequences, -1 where it has none.
  void AddEntry(std::size_t placedIndex, const TBox& extent,
                std::vector<std::array<int, 2>>& sequences);
  void AddSequences(int entryNode, const THitMap::TPlaced& placed, std::array<int, 2>& sequences);
  int AddNode(TNode node);
  QString Speech(const TNode& node) const;

  TFormulaLine** root_;
  const THitMap& placed_;
  TBox whole_;
  std::uint64_t generation_ = 0;
  bool built_ = false;
  std::vector<TNode> nodes_;
};
