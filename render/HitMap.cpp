#include "render/HitMap.h"

#include <algorithm>

void THitMap::Clear() {
  placed_.clear();
  ownDrawings_.clear();
  open_.clear();
}

void THitMap::Open(std::uint32_t index) {
  TPlaced entry;
  entry.Index = index;
  entry.Depth = static_cast<std::int32_t>(open_.size());
  if (!open_.empty()) {
    entry.Parent = open_.back();
    entry.Part = placed_[entry.Parent].Entering;
  }
  placed_.push_back(entry);
  open_.push_back(static_cast<std::int32_t>(placed_.size() - 1));
}

void THitMap::EnterPart(TSequencePart part) {
  if (!open_.empty()) placed_[open_.back()].Entering = part;
}

void THitMap::SetBox(const TBox& box) {
  if (!open_.empty()) placed_[open_.back()].Box = box;
}

void THitMap::SetArea(TSequencePart part, const TBox& area) {
  if (open_.empty()) return;
  TPlaced& entry = placed_[open_.back()];
  entry.IsFunction = true;
  entry.Areas[static_cast<int>(part)] = area;
}

void THitMap::AddOwnDrawing(const TBox& box) {
  if (!open_.empty()) ownDrawings_.push_back({open_.back(), box});
}

void THitMap::Close() {
  if (!open_.empty()) open_.pop_back();
}

TSequencePath THitMap::PathTo(std::int32_t parent, TSequencePart part) const {
  TSequencePath path;
  for (; parent >= 0; parent = placed_[parent].Parent) {
    path.push_back({placed_[parent].Index, part});
    part = placed_[parent].Part;
  }
  std::reverse(path.begin(), path.end());
  return path;
}

// The deepest box wins: an entry lies inside the area of the function whose
// sequence holds it. Among equally deep boxes the one placed last is on top,
// and drawing outside a box lies over what is there.
std::int32_t THitMap::DeepestAt(std::int32_t x, std::int32_t y, bool& ownDrawing) const {
  std::int32_t best = -1;
  for (std::size_t i = 0; i < placed_.size(); ++i) {
    if (placed_[i].Box.Contains(x, y) && (best < 0 || placed_[i].Depth >= placed_[best].Depth)) {
      best = static_cast<std::int32_t>(i);
    }
  }
  ownDrawing = false;
  for (const TOwnDrawing& own : ownDrawings_) {
    if (own.Box.Contains(x, y) &&
        (best < 0 || placed_[own.Function].Depth >= placed_[best].Depth)) {
      best = own.Function;
      ownDrawing = true;
    }
  }
  return best;
}

THit THitMap::HitAt(std::int32_t x, std::int32_t y) const {
  bool ownDrawing = false;
  const std::int32_t best = DeepestAt(x, y, ownDrawing);
  THit hit;
  if (best < 0) return hit;
  const TPlaced& entry = placed_[best];
  hit.Line = PathTo(entry.Parent, entry.Part);
  hit.Index = entry.Index;
  hit.Kind = entry.IsFunction ? THitKind::Function : THitKind::Term;
  for (const TSequencePart part : {TSequencePart::First, TSequencePart::Second}) {
    if (!ownDrawing && entry.IsFunction && entry.Areas[static_cast<int>(part)].Contains(x, y)) {
      hit.Kind = THitKind::Body;
      hit.Part = part;
    }
  }
  return hit;
}

TFormulaLine** SequenceSlot(TFormulaLine** root, const TSequencePath& path) {
  TFormulaLine** slot = root;
  for (const TPathStep& step : path) {
    const TFormulaLine* line = *slot;
    if (line == nullptr || step.Index >= line->Count()) return nullptr;
    TFormulaEntry* entry = EntryAt(*line, step.Index);
    if (entry->IsFunction != 1) return nullptr;
    slot = step.Part == TSequencePart::First ? &entry->First : &entry->Second;
  }
  return *slot != nullptr ? slot : nullptr;
}
