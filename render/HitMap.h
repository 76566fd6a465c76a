// Where a paint placed each entry of the formula, so that a point of the
// picture leads back to the entry drawn there without a second layout. The
// layout records while it draws; the main window asks afterwards.
#pragma once

#include <cstdint>
#include <vector>

#include "model/FormulaTree.h"

struct TBox {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;

  // Up to but not including the right and bottom edges, like a filled rectangle.
  bool Contains(std::int32_t x, std::int32_t y) const {
    return x >= Left && y >= Top && x - Left < Width && y - Top < Height;
  }
  bool operator==(const TBox&) const = default;
};

// The two sequences of a function entry.
enum class TSequencePart : std::uint8_t { First, Second };

// One step down the tree: the entry at Index of a sequence, then its First
// or Second sequence.
struct TPathStep {
  std::uint32_t Index = 0;
  TSequencePart Part = TSequencePart::First;
  bool operator==(const TPathStep&) const = default;
};
// From the root line down to a sequence; empty for the root line itself.
using TSequencePath = std::vector<TPathStep>;

// What a point of the picture lies on.
enum class THitKind : std::uint8_t {
  Background,  // the margin, or space between entries: the whole formula
  Term,        // a term's text cell
  Body,        // a function's First or Second area, off the entries placed there
  Function,    // a function's own drawing: signs, bars, parentheses, bounds, names
};

struct THit {
  THitKind Kind = THitKind::Background;
  // The sequence that holds the term or the function, and its place there.
  TSequencePath Line;
  std::uint32_t Index = 0;
  // For Body: which of the function's sequences.
  TSequencePart Part = TSequencePart::First;
};

class THitMap {
 public:
  void Clear();

  // Recording, in the order the layout places entries: Open an entry of the
  // sequence being placed, give it its box (and a function the areas of its
  // sequences, announcing each before it is placed), then Close it.
  void Open(std::uint32_t index);
  void EnterPart(TSequencePart part);
  void SetBox(const TBox& box);
  void SetArea(TSequencePart part, const TBox& area);
  // Drawing of the open function that lies outside its box, such as the
  // bounds of a sum; it counts as the function's own drawing.
  void AddOwnDrawing(const TBox& box);
  void Close();

  // The innermost entry at (x, y).
  THit HitAt(std::int32_t x, std::int32_t y) const;
  std::size_t Size() const { return placed_.size(); }

  struct TPlaced {
    std::int32_t Parent = -1;  // the function whose sequence holds it; -1: the root line
    TSequencePart Part = TSequencePart::First;      // which sequence of the parent
    TSequencePart Entering = TSequencePart::First;  // a function: the sequence placed now
    std::uint32_t Index = 0;
    std::int32_t Depth = 0;
    bool IsFunction = false;
    TBox Box;
    TBox Areas[2];
  };
  struct TOwnDrawing {
    std::int32_t Function = 0;  // the place in Placed() of the function that drew it
    TBox Box;
  };
  // What was recorded, in the order the entries were placed: a function
  // before the entries of its sequences, a sequence in its own order.
  const std::vector<TPlaced>& Placed() const { return placed_; }
  const std::vector<TOwnDrawing>& OwnDrawings() const { return ownDrawings_; }

 private:
  TSequencePath PathTo(std::int32_t parent, TSequencePart part) const;

  std::int32_t DeepestAt(std::int32_t x, std::int32_t y, bool& ownDrawing) const;

  std::vector<TPlaced> placed_;
  std::vector<TOwnDrawing> ownDrawings_;
  std::vector<std::int32_t> open_;
};

// The variable that holds the sequence at `path` below *root: root itself,
// or the First or Second field of an entry. nullptr when the path leads
// nowhere in this tree (an index beyond its sequence, a term on the way).
TFormulaLine** SequenceSlot(TFormulaLine** root, const TSequencePath& path);
