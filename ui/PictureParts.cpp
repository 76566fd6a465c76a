#include "ui/PictureParts.h"

#include <algorithm>
#include <array>
#include <new>

#include "textio/FormulaText.h"
#include "ui/FixedDialog.h"
#include "ui/FormulaHits.h"

namespace {

TBox United(const TBox& a, const TBox& b) {
  const std::int64_t left = std::min(a.Left, b.Left);
  const std::int64_t top = std::min(a.Top, b.Top);
  const std::int64_t right =
      std::max<std::int64_t>(std::int64_t{a.Left} + a.Width, std::int64_t{b.Left} + b.Width);
  const std::int64_t bottom =
      std::max<std::int64_t>(std::int64_t{a.Top} + a.Height, std::int64_t{b.Top} + b.Height);
  return {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
          static_cast<std::int32_t>(right - left), static_cast<std::int32_t>(bottom - top)};
}

}  // namespace

TPictureParts::TPictureParts(TFormulaLine** root, const THitMap& placed)
    : root_(root), placed_(placed) {}

// The old parts stay until the new ones are built, to be compared with
// them; nothing reads their entries any more.
void TPictureParts::Renew(std::int32_t width, std::int32_t height) {
  whole_ = {0, 0, width, height};
  built_ = false;
}

int TPictureParts::Count() {
  if (!built_) Build();
  return std::max(1, static_cast<int>(nodes_.size()));
}

const TPictureParts::TNode& TPictureParts::NodeAt(int part) {
  // Parts that could not be built: the whole formula without parts.
  static const TNode kNoParts;
  Count();
  if (nodes_.empty()) return kNoParts;
  return nodes_[part >= 0 && static_cast<std::size_t>(part) < nodes_.size() ? part : kWhole];
}

int TPictureParts::Parent(int part) { return NodeAt(part).Parent; }

int TPictureParts::ChildCount(int part) { return static_cast<int>(NodeAt(part).Children.size()); }

int TPictureParts::Child(int part, int index) {
  const std::vector<int>& children = NodeAt(part).Children;
  return index >= 0 && index < static_cast<int>(children.size()) ? children[index] : -1;
}

int TPictureParts::IndexInParent(int part) { return NodeAt(part).IndexInParent; }

TBox TPictureParts::Box(int part) { return NodeAt(part).Box; }

// ---- building ---------------------------------------------------------------

// Without the memory for the parts, the picture has none: the keys stay on
// the whole formula, which still opens.
void TPictureParts::Build() {
  built_ = true;
  std::vector<TNode> before = std::move(nodes_);
  nodes_.clear();
  try {
    BuildNodes();
  } catch (const std::bad_alloc&) {
    nodes_.clear();
    nodes_.shrink_to_fit();
  }
  if (!SameTree(before, nodes_)) ++generation_;
}

bool TPictureParts::SameTree(const std::vector<TNode>& a, const std::vector<TNode>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const TNode& x, const TNode& y) {
    return x.Kind == y.Kind && x.Parent == y.Parent && x.Index == y.Index && x.Part == y.Part &&
           x.IndexInParent == y.IndexInParent;
  });
}

// One pass over the recording: a function is placed before the entries of
// its sequences, so their parents exist when they come.
void TPictureParts::BuildNodes() {
  nodes_.clear();
  TNode whole;
  whole.Box = whole_;
  whole.Line = *root_;
  AddNode(std::move(whole));
  const std::vector<THitMap::TPlaced>& placed = placed_.Placed();
  // A sum's bounds and the like lie outside its box but belong to it.
  std::vector<TBox> extents(placed.size());
  for (std::size_t i = 0; i < placed.size(); ++i) extents[i] = placed[i].Box;
  for (const THitMap::TOwnDrawing& own : placed_.OwnDrawings()) {
    if (own.Function >= 0 && static_cast<std::size_t>(own.Function) < extents.size()) {
      extents[own.Function] = United(extents[own.Function], own.Box);
    }
  }
  std::vector<std::array<int, 2>> sequences(placed.size(), {-1, -1});
  for (std::size_t i = 0; i < placed.size(); ++i) AddEntry(i, extents[i], sequences);
}

// An entry the tree no longer holds where the paint found it is left out,
// with all that lies inside it.
void TPictureParts::AddEntry(std::size_t i, const TBox& extent,
                             std::vector<std::array<int, 2>>& sequences) {
  const THitMap::TPlaced& placed = placed_.Placed()[i];
  int parent = kWhole;
  if (placed.Parent >= 0) {
    if (static_cast<std::size_t>(placed.Parent) >= i) return;
    parent = sequences[placed.Parent][static_cast<int>(placed.Part)];
    if (parent < 0) return;
  }
  const TFormulaLine* line = nodes_[parent].Line;
  if (line == nullptr || placed.Index >= line->Count()) return;
  TNode node;
  node.Kind = TKind::Entry;
  node.Parent = parent;
  node.Index = placed.Index;
  node.Box = extent;
  node.Entry = EntryAt(*line, placed.Index);
  const bool isFunction = node.Entry->IsFunction == 1;
  const int added = AddNode(std::move(node));
  if (isFunction) AddSequences(added, placed, sequences[i]);
}

void TPictureParts::AddSequences(int entryNode, const THitMap::TPlaced& placed,
                                 std::array<int, 2>& sequences) {
  const TFormulaEntry& entry = *nodes_[entryNode].Entry;
  for (const TSequencePart part : {TSequencePart::First, TSequencePart::Second}) {
    const TFormulaLine* line = part == TSequencePart::First ? entry.First : entry.Second;
    if (line == nullptr) continue;
    TNode node;
    node.Kind = TKind::Sequence;
    node.Parent = entryNode;
    node.Part = part;
    node.Box = placed.Areas[static_cast<int>(part)];
    node.Line = line;
    sequences[static_cast<int>(part)] = AddNode(std::move(node));
  }
  // Read as the eye meets them: a power's base stands left of its exponent.
  std::vector<int>& children = nodes_[entryNode].Children;
  if (children.size() == 2) {
    const TBox& first = nodes_[children[0]].Box;
    const TBox& second = nodes_[children[1]].Box;
    if (std::int64_t{second.Left} + second.Width <= first.Left && second.Left < first.Left) {
      std::swap(children[0], children[1]);
      nodes_[children[0]].IndexInParent = 0;
      nodes_[children[1]].IndexInParent = 1;
    }
  }
}

int TPictureParts::AddNode(TNode node) {
  const int added = static_cast<int>(nodes_.size());
  if (node.Parent >= 0) {
    std::vector<int>& siblings = nodes_[node.Parent].Children;
    node.IndexInParent = static_cast<int>(siblings.size());
    siblings.push_back(added);
  }
  nodes_.push_back(std::move(node));
  return added;
}

// ---- from parts to hits and back ---------------------------------------------

THit TPictureParts::Hit(int part) {
  THit hit;
  const TNode& node = NodeAt(part);
  if (node.Kind == TKind::Whole) return hit;
  // The entry itself, or for a sequence the function that holds it.
  const TNode& entry = node.Kind == TKind::Entry ? node : nodes_[node.Parent];
  for (int at = entry.Parent; nodes_[at].Kind == TKind::Sequence;
       at = nodes_[nodes_[at].Parent].Parent) {
    hit.Line.push_back({nodes_[nodes_[at].Parent].Index, nodes_[at].Part});
  }
  std::reverse(hit.Line.begin(), hit.Line.end());
  hit.Index = entry.Index;
  if (node.Kind == TKind::Sequence) {
    hit.Kind = THitKind::Body;
    hit.Part = node.Part;
  } else {
    hit.Kind = entry.Entry->IsFunction == 1 ? THitKind::Function : THitKind::Term;
  }
  return hit;
}

int TPictureParts::PartOf(const THit& hit) {
  Count();
  if (nodes_.empty()) return kWhole;
  // The entries of a sequence stand in their order.
  const auto entryIn = [this](int sequence, std::uint32_t index) {
    const std::vector<int>& children = nodes_[sequence].Children;
    const auto found = std::lower_bound(
        children.begin(), children.end(), index,
        [this](int child, std::uint32_t wanted) { return nodes_[child].Index < wanted; });
    return found != children.end() && nodes_[*found].Index == index ? *found : -1;
  };
  const auto sequenceOf = [this](int entry, TSequencePart part) {
    for (const int child : nodes_[entry].Children) {
      if (nodes_[child].Part == part) return child;
    }
    return -1;
  };
  if (hit.Kind == THitKind::Background) return kWhole;
  int at = kWhole;
  for (const TPathStep& step : hit.Line) {
    const int entry = entryIn(at, step.Index);
    if (entry < 0) return at;
    const int sequence = sequenceOf(entry, step.Part);
    if (sequence < 0) return entry;
    at = sequence;
  }
  const int entry = entryIn(at, hit.Index);
  if (entry < 0) return at;
  if (hit.Kind != THitKind::Body) return entry;
  const int sequence = sequenceOf(entry, hit.Part);
  return sequence < 0 ? entry : sequence;
}

int TPictureParts::PartAt(std::int32_t x, std::int32_t y) { return PartOf(placed_.HitAt(x, y)); }

// ---- words and steps ---------------------------------------------------------

QString TPictureParts::Speech(const TNode& node) const {
  switch (node.Kind) {
    case TKind::Entry:
      return ToQString(SpeechFromEntry(*node.Entry));
    case TKind::Sequence:
      return ToQString(SpeechFromPart(node.Line));
    case TKind::Whole:
      break;
  }
  return ToQString(SpeechFromFormula(node.Line));
}

QString TPictureParts::Name(int part) {
  const TNode& node = NodeAt(part);
  return DescribeHit(root_, Hit(part)) + ": " + Speech(node);
}

int TPictureParts::Step(int part, TPartStep step) {
  const TNode& node = NodeAt(part);
  part = Exists(part) ? part : kWhole;
  const std::vector<int>& own = node.Children;
  if (step == TPartStep::Into) return own.empty() ? part : own.front();
  if (step == TPartStep::Out) return node.Parent < 0 ? part : node.Parent;
  if (node.Parent < 0) {
    // The whole formula has no neighbours: its entries are the next thing.
    if (own.empty()) return part;
    return step == TPartStep::Previous || step == TPartStep::Last ? own.back() : own.front();
  }
  const std::vector<int>& siblings = nodes_[node.Parent].Children;
  const std::size_t at = static_cast<std::size_t>(node.IndexInParent);
  switch (step) {
    case TPartStep::Previous:
      return at > 0 ? siblings[at - 1] : part;
    case TPartStep::Next:
      return at + 1 < siblings.size() ? siblings[at + 1] : part;
    case TPartStep::First:
      return siblings.front();
    case TPartStep::Last:
      return siblings.back();
    case TPartStep::Into:
    case TPartStep::Out:
      break;
  }
  return part;
}
