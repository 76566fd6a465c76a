#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "docfile/DocFile.h"
#include "history/UndoHistory.h"
#include "tests/render/FormulaTrees.h"

namespace {

// The start-up formula, 10,000 entries and an empty formula, in a font that
// the stored font block would round (10.5 points). The layout fields are 40
// of each record image's 64 bytes; a snapshot leaves them out, so that what a
// paint leaves there is no part of the document and a hundred steps of
// 10,000 entries fit in the history.
TEST(SnapshotTest, RestoresTheDocumentExactlyWithoutTheLayoutFields) {
  TFontDesc font;
  font.Name = "DejaVu Serif";
  font.Height = -14;
  font.Style = fsBold | fsItalic;
  font.Color = 0x000000FFu;
  for (const int entries : {-1, 10000, 0}) {
    TFormulaTree tree;
    if (entries < 0) BuildSampleFormula(tree.Root());
    if (entries > 0) BuildTermsAndFractions(tree.Root(), entries);
    const TDocumentState state = TakeSnapshot(tree.Root(), font, 0x00112233u, 1500);
    FillLayoutFields(tree.Root(), 77);
    EXPECT_EQ(TakeSnapshot(tree.Root(), font, 0x00112233u, 1500), state);
    EXPECT_EQ(state.Bytes.size() + CollectLayoutFields(tree.Root()).size() * 40,
              EncodeDocument(tree.Root(), StoredFromFont(font), 0x00112233u, 1500.0).size());
    TUndoHistory history;
    history.Reset(state);
    EXPECT_LT(100 * history.MemoryBytes(), THistoryLimits{}.MaxBytes);

    TEntryCursor cursor = nullptr;
    TRestoredDocument restored;
    std::string error;
    ASSERT_TRUE(RestoreSnapshot(state, &cursor, restored, error)) << error;
    EXPECT_EQ(restored.Root->CursorVar(), &cursor);
    EXPECT_EQ(restored.Root->Count(), tree.Root()->Count());
    EXPECT_EQ(restored.Font, font);
    EXPECT_EQ(restored.Background, 0x00112233u);
    EXPECT_EQ(restored.Margin, 1500);
    EXPECT_EQ(TakeSnapshot(restored.Root, restored.Font, restored.Background, restored.Margin),
              state);
    freetheline(restored.Root);
  }
}

TEST(UndoHistoryTest, AHundredStepsOfTheStartUpFormulaStayWellUnderTheLimit) {
  TFormulaTree tree;
  BuildSampleFormula(tree.Root());
  TUndoHistory history;
  history.Reset(TakeSnapshot(tree.Root(), {}, kWhite, 20));
  for (int step = 1; step <= 150; ++step) {
    history.Record("Rand", TakeSnapshot(tree.Root(), {}, kWhite, 20 + step));
  }
  EXPECT_EQ(history.StepCount(), 150u);
  EXPECT_LT(history.MemoryBytes(), std::size_t{1} << 20);
}

// Documents of one term that differ by their text, of about the same size.
const std::vector<TDocumentState>& States() {
  static const std::vector<TDocumentState> states = [] {
    std::vector<TDocumentState> made;
    for (int n = 0; n < 6; ++n) {
      TFormulaTree tree;
      AppendTermEntry(tree.Root(), u"term " + std::u16string(n, u'x'));
      made.push_back(TakeSnapshot(tree.Root(), {}, kWhite, 20));
    }
    return made;
  }();
  return states;
}

int IndexOf(const TDocumentState& state) {
  for (std::size_t i = 0; i < States().size(); ++i) {
    if (States()[i] == state) return static_cast<int>(i);
  }
  return -1;
}

// What the user does, from a history that holds only state 0, one letter
// each: r<n> records state n as "Schriftart", m<n> as "Rand" and n<n> as
// "Farbe", both of which may merge; e ends a merge, u undoes, d redoes and
// s marks the current state saved.
void RunScript(TUndoHistory& history, const std::string& script, std::size_t maxBytes) {
  for (std::size_t i = 0; i < script.size(); ++i) {
    const char what = script[i];
    if (what == 'e') history.EndMerge();
    if (what == 'u') history.Undo();
    if (what == 'd') history.Redo();
    if (what == 's') history.MarkSaved();
    if (what != 'r' && what != 'm' && what != 'n') continue;
    const TDocumentState& state = States()[script[++i] - '0'];
    const TDocumentState before = *history.Current();
    const char* name = what == 'r' ? "Schriftart" : what == 'm' ? "Rand" : "Farbe";
    EXPECT_EQ(history.Record(name, state, what != 'r'), !(state == before)) << script;
    // Only the current state may stand beyond the memory limit.
    if (history.CanUndo()) {
      EXPECT_LE(history.MemoryBytes(), maxBytes) << script;
    }
  }
}

struct THistoryCase {
  const char* Script;
  std::size_t Steps;
  std::vector<int> Trail;  // the current state, then those that undo reaches one by one
  const char* UndoName;
  const char* RedoName;
  bool AtSaved = false;
  std::size_t MaxSteps = 1000;
  double MaxStates = 0;  // the memory limit in one-term states; 0 for the default
};

const THistoryCase kHistoryCases[] = {
    {"", 0, {0}, "", "", true},
    {"r0", 0, {0}, "", "", true},  // an unchanged document is no step
    {"r1m2u", 2, {1, 0}, "Schriftart", "Rand"},
    {"r1m2uuuddd", 2, {2, 1, 0}, "Rand", ""},
    {"r1r2ur3", 2, {3, 1, 0}, "Schriftart", ""},  // a new step drops what redo could reach
    // Typing into the margin field: one step until the field is left, none
    // when the text comes back to where it began.
    {"m1m2m3", 1, {3, 0}, "Rand", ""},
    {"m1em2m3", 2, {3, 1, 0}, "Rand", ""},
    {"m1m0", 0, {0}, "", "", true},
    {"m1m0m2", 1, {2, 0}, "Rand", ""},
    // A run that came back to where it began is closed: the next change of
    // the field is a step of its own and leaves the finished step reachable.
    {"m1em2m1m3", 2, {3, 1, 0}, "Rand", ""},
    // Only steps of the same name merge, and not across another step or an undo.
    {"m1n2", 2, {2, 1, 0}, "Farbe", ""},
    {"m1r2m3", 3, {3, 2, 1, 0}, "Rand", ""},
    {"m1r2m3um4", 3, {4, 2, 1, 0}, "Rand", ""},
    // The saved mark follows the saved state; once a new step or a merged
    // change has dropped it, it never comes back.
    {"m1sr2", 2, {2, 1, 0}, "Schriftart", ""},
    {"m1sr2u", 2, {1, 0}, "Rand", "Schriftart", true},
    {"m1sr2uu", 2, {0}, "", "Rand"},
    {"m1sr2uud", 2, {1, 0}, "Rand", "Schriftart", true},
    {"m1sr2uur1", 1, {1, 0}, "Schriftart", ""},
    {"m1sm2", 1, {2, 0}, "Rand", ""},
    // The limits drop the oldest steps; the current state always stays.
    {"r1r2r3r4r5", 3, {5, 4, 3, 2}, "Schriftart", "", false, 3},
    {"r1r2r3r4r5", 2, {5, 4, 3}, "Schriftart", "", false, 1000, 3.5},
    {"r1", 0, {1}, "", "", false, 1000, 0.001},
};

TEST(UndoHistoryTest, ScriptsOfSteps) {
  TUndoHistory probe;
  probe.Reset(States()[0]);
  for (const THistoryCase& c : kHistoryCases) {
    THistoryLimits limits{.MaxSteps = c.MaxSteps};
    if (c.MaxStates > 0) {
      limits.MaxBytes =
          static_cast<std::size_t>(c.MaxStates * static_cast<double>(probe.MemoryBytes()));
    }
    TUndoHistory history(limits);
    history.Reset(States()[0]);
    RunScript(history, c.Script, limits.MaxBytes);
    EXPECT_EQ(history.StepCount(), c.Steps) << c.Script;
    EXPECT_EQ(history.UndoName(), c.UndoName) << c.Script;
    EXPECT_EQ(history.RedoName(), c.RedoName) << c.Script;
    EXPECT_EQ(history.AtSaved(), c.AtSaved) << c.Script;
    std::vector<int> trail = {IndexOf(*history.Current())};
    while (const TDocumentState* state = history.Undo()) trail.push_back(IndexOf(*state));
    EXPECT_EQ(trail, c.Trail) << c.Script;
  }
}

}  // namespace
