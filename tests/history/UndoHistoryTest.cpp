#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "docfile/DocFile.h"
#include "history/UndoHistory.h"

namespace {

// A document of one term: states that differ by their text are different
// documents of about the same size.
TDocumentState StateWithTerm(const std::u16string& text, std::int32_t margin = 20) {
  TEntryCursor cursor = nullptr;
  TFormulaLine* root = CreateLine(&cursor);
  AppendTermEntry(root, text);
  TDocumentState state = TakeSnapshot(root, TFontDesc{}, kWhite, margin);
  freetheline(root);
  return state;
}

TDocumentState State(int n) { return StateWithTerm(u"term " + std::u16string(n, u'x')); }

// The states that undo reaches one after the other, newest first, each
// named by its index in `states`.
std::vector<int> UndoTrail(TUndoHistory& history, const std::vector<TDocumentState>& states) {
  std::vector<int> trail;
  while (const TDocumentState* state = history.Undo()) {
    int index = -1;
    for (std::size_t i = 0; i < states.size(); ++i) {
      if (states[i] == *state) index = static_cast<int>(i);
    }
    trail.push_back(index);
  }
  return trail;
}

TEST(SnapshotTest, RestoresTreeFontColourAndMarginExactly) {
  TEntryCursor cursor = nullptr;
  TFormulaLine* root = CreateLine(&cursor);
  BuildSampleFormula(root);
  TFontDesc font;
  font.Name = "DejaVu Serif";
  font.Height = -14;  // 10.5 points: the stored font block would round it
  font.Style = fsBold | fsItalic;
  font.Color = 0x000000FFu;
  const TDocumentState before = TakeSnapshot(root, font, 0x00112233u, 1500);

  // What a paint leaves in the layout fields is no part of the document.
  EntryAt(*root, 0)->BoxWidth = 77;
  EXPECT_EQ(TakeSnapshot(root, font, 0x00112233u, 1500), before);

  TRestoredDocument restored;
  std::string error;
  TEntryCursor otherCursor = nullptr;
  ASSERT_TRUE(RestoreSnapshot(before, &otherCursor, restored, error)) << error;
  EXPECT_EQ(restored.Root->CursorVar(), &otherCursor);
  EXPECT_EQ(restored.Font, font);
  EXPECT_EQ(restored.Background, 0x00112233u);
  EXPECT_EQ(restored.Margin, 1500);
  EXPECT_EQ(TakeSnapshot(restored.Root, restored.Font, restored.Background, restored.Margin),
            before);
  EXPECT_EQ(restored.Root->Count(), 4u);
  freetheline(restored.Root);
  freetheline(root);
}

// The layout fields are 40 of each record image's 64 bytes; a snapshot
// leaves them out, so that a hundred steps of 10,000 entries fit in 64 MiB.
TEST(SnapshotTest, LeavesTheLayoutFieldsOutSoAHundredLargeStepsFit) {
  TEntryCursor cursor = nullptr;
  TFormulaLine* root = CreateLine(&cursor);
  for (int i = 0; i < 2500; ++i) {
    AppendTermEntry(root, u"12 * 3 / 2 * x + ");
    TFormulaEntry* fraction = AppendFunctionEntry(root, fkBruch);
    AppendTermEntry(fraction->First, u" 2 + 5 ");
    AppendTermEntry(fraction->Second, u" 3 + 5 ");
  }
  const TDocumentState state = TakeSnapshot(root, {}, kWhite, 20);
  EXPECT_EQ(state.Bytes.size() + 10000 * 40,
            EncodeDocument(root, StoredFromFont({}), kWhite, 20.0).size());
  TUndoHistory history;
  history.Reset(state);
  EXPECT_LT(100 * history.MemoryBytes(), THistoryLimits{}.MaxBytes);
  TRestoredDocument restored;
  std::string error;
  ASSERT_TRUE(RestoreSnapshot(state, &cursor, restored, error)) << error;
  EXPECT_EQ(TakeSnapshot(restored.Root, restored.Font, restored.Background, restored.Margin),
            state);
  freetheline(restored.Root);
  freetheline(root);
}

TEST(SnapshotTest, AnEmptyFormulaComesBackAsAnEmptyLine) {
  TEntryCursor cursor = nullptr;
  TFormulaLine* root = CreateLine(&cursor);
  TRestoredDocument restored;
  std::string error;
  ASSERT_TRUE(RestoreSnapshot(TakeSnapshot(root, {}, kWhite, 0), &cursor, restored, error));
  ASSERT_NE(restored.Root, nullptr);
  EXPECT_EQ(restored.Root->Count(), 0u);
  freetheline(restored.Root);
  freetheline(root);
}

TEST(UndoHistoryTest, UndoAndRedoWalkTheStepsWithTheirNames) {
  const std::vector<TDocumentState> states = {State(0), State(1), State(2)};
  TUndoHistory history;
  history.Reset(states[0]);
  EXPECT_FALSE(history.CanUndo());
  EXPECT_TRUE(history.Record("Rand", states[1]));
  EXPECT_TRUE(history.Record("Schriftart", states[2]));
  EXPECT_EQ(history.UndoName(), "Schriftart");
  EXPECT_EQ(*history.Undo(), states[1]);
  EXPECT_EQ(history.UndoName(), "Rand");
  EXPECT_EQ(history.RedoName(), "Schriftart");
  EXPECT_EQ(*history.Undo(), states[0]);
  EXPECT_EQ(history.Undo(), nullptr);
  EXPECT_EQ(*history.Redo(), states[1]);
  EXPECT_EQ(*history.Redo(), states[2]);
  EXPECT_EQ(history.Redo(), nullptr);
  EXPECT_EQ(history.RedoName(), "");
}

TEST(UndoHistoryTest, AnUnchangedDocumentIsNoStep) {
  TUndoHistory history;
  history.Reset(State(0));
  EXPECT_FALSE(history.Record("Formel bearbeiten", State(0)));
  EXPECT_EQ(history.StepCount(), 0u);
}

TEST(UndoHistoryTest, ANewStepDropsWhatRedoCouldReach) {
  const std::vector<TDocumentState> states = {State(0), State(1), State(2), State(3)};
  TUndoHistory history;
  history.Reset(states[0]);
  history.Record("a", states[1]);
  history.Record("b", states[2]);
  history.Undo();
  history.Record("c", states[3]);
  EXPECT_FALSE(history.CanRedo());
  EXPECT_EQ(UndoTrail(history, states), (std::vector<int>{1, 0}));
}

struct TMergeCase {
  const char* What;
  std::vector<int> MarginRun;  // margins recorded one after the other as "Rand"
  bool EndBetween;             // the field was left after the first change
  std::size_t Steps;
};

class MergeTest : public ::testing::TestWithParam<TMergeCase> {};

TEST_P(MergeTest, RunsOfMarginChangesAreOneStep) {
  const TMergeCase& c = GetParam();
  TUndoHistory history;
  history.Reset(StateWithTerm(u"a", 20));
  for (std::size_t i = 0; i < c.MarginRun.size(); ++i) {
    history.Record("Rand", StateWithTerm(u"a", c.MarginRun[i]), true);
    if (i == 0 && c.EndBetween) history.EndMerge();
  }
  EXPECT_EQ(history.StepCount(), c.Steps);
  while (history.CanUndo()) history.Undo();
  EXPECT_EQ(history.Current()->Margin, 20);
}

INSTANTIATE_TEST_SUITE_P(
    Margin, MergeTest,
    ::testing::Values(TMergeCase{"typing 125 is one step", {1, 12, 125}, false, 1},
                      TMergeCase{"leaving the field starts a new step", {1, 12, 125}, true, 2},
                      TMergeCase{"typing back to 20 leaves no step", {2, 20}, false, 0},
                      TMergeCase{
                          "after coming back, a change is a new step", {2, 20, 3}, false, 1}),
    [](const auto& info) {
      std::string name = info.param.What;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST(UndoHistoryTest, OnlyStepsOfTheSameNameMerge) {
  TUndoHistory history;
  history.Reset(State(0));
  history.Record("Rand", State(1), true);
  history.Record("Hintergrundfarbe", State(2));
  history.Record("Rand", State(3), true);
  EXPECT_EQ(history.StepCount(), 3u);
  history.Undo();
  history.Record("Rand", State(4), true);  // after an undo: a step of its own
  EXPECT_EQ(history.StepCount(), 3u);
  EXPECT_EQ(*history.Undo(), State(2));
}

TEST(UndoHistoryTest, TheSavedMarkFollowsTheSavedState) {
  TUndoHistory history;
  history.Reset(State(0));
  EXPECT_TRUE(history.AtSaved());
  history.Record("Rand", State(1), true);
  EXPECT_FALSE(history.AtSaved());
  history.MarkSaved();
  history.Record("Schriftart", State(2));
  EXPECT_FALSE(history.AtSaved());
  history.Undo();
  EXPECT_TRUE(history.AtSaved());
  history.Undo();
  EXPECT_FALSE(history.AtSaved());
  history.Redo();
  EXPECT_TRUE(history.AtSaved());
  // Once a new step has dropped it, the saved state never comes back.
  history.Undo();
  history.Record("Rand", State(1));
  EXPECT_FALSE(history.AtSaved());
}

TEST(UndoHistoryTest, AMergedChangeMakesTheSavedStateAnotherOne) {
  TUndoHistory history;
  history.Reset(State(0));
  history.Record("Rand", State(1), true);
  history.MarkSaved();
  history.Record("Rand", State(2), true);
  EXPECT_EQ(history.StepCount(), 1u);
  EXPECT_FALSE(history.AtSaved());
}

TEST(UndoHistoryTest, TheStepLimitDropsTheOldestSteps) {
  std::vector<TDocumentState> states;
  for (int i = 0; i < 6; ++i) states.push_back(State(i));
  TUndoHistory history(THistoryLimits{.MaxSteps = 3, .MaxBytes = std::size_t{64} << 20});
  history.Reset(states[0]);
  for (int i = 1; i < 6; ++i) history.Record("Rand", states[i]);
  EXPECT_EQ(history.StepCount(), 3u);
  EXPECT_EQ(UndoTrail(history, states), (std::vector<int>{4, 3, 2}));
}

TEST(UndoHistoryTest, TheMemoryLimitDropsTheOldestStepsButKeepsTheCurrentState) {
  std::vector<TDocumentState> states;
  for (int i = 0; i < 6; ++i) states.push_back(StateWithTerm(std::u16string(1000 + i, u'y')));
  TUndoHistory probe;
  probe.Reset(states[0]);
  const std::size_t one = probe.MemoryBytes();
  TUndoHistory history(THistoryLimits{.MaxSteps = 1000, .MaxBytes = one * 3 + one / 2});
  history.Reset(states[0]);
  for (int i = 1; i < 6; ++i) {
    history.Record("Formel bearbeiten", states[i]);
    EXPECT_LE(history.MemoryBytes(), one * 3 + one / 2);
  }
  EXPECT_EQ(UndoTrail(history, states), (std::vector<int>{4, 3}));

  TUndoHistory tiny(THistoryLimits{.MaxSteps = 1000, .MaxBytes = 1});
  tiny.Reset(states[0]);
  tiny.Record("Formel bearbeiten", states[1]);
  EXPECT_EQ(*tiny.Current(), states[1]);
  EXPECT_FALSE(tiny.CanUndo());
}

TEST(UndoHistoryTest, AHundredStepsOfTheStartUpFormulaStayWellUnderTheLimit) {
  TEntryCursor cursor = nullptr;
  TFormulaLine* root = CreateLine(&cursor);
  BuildSampleFormula(root);
  TUndoHistory history;
  history.Reset(TakeSnapshot(root, {}, kWhite, 20));
  for (int step = 1; step <= 150; ++step) {
    history.Record("Rand", TakeSnapshot(root, {}, kWhite, 20 + step));
  }
  EXPECT_EQ(history.StepCount(), 150u);
  EXPECT_LT(history.MemoryBytes(), std::size_t{1} << 20);
  freetheline(root);
}

}  // namespace
