// The road of one typical change, from the main window's "Bearbeiten..."
// through the fraction dialog and two nested editors back to the picture;
// and the start-up formula rebuilt by hand after "Neu".
#include <QTest>

#include "tests/ui/DialogDriver.h"
#include "tests/ui/Program.h"
#include "ui/MainUnit.h"

using namespace DialogDriver;

namespace {

// Whether anything but the background is drawn.
bool HasInk(const QImage& picture) {
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      if (picture.pixel(x, y) != picture.pixel(0, 0)) return true;
    }
  }
  return false;
}

}  // namespace

class EditingRoadTest : public QObject {
  Q_OBJECT

 private slots:
  // Every test starts from the program as it comes up, its first picture painted.
  void init() {
    program_ = std::make_unique<TProgram>();
    program_->MainForm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&program_->MainForm));
    startUp_ = SettledPicture(program_->MainForm);
    QVERIFY(HasInk(startUp_));
  }
  void cleanup() {
    program_.reset();
    QM_VERIFY_NO_PROBLEMS();
  }
  void fractionAddedFromTheMainWindow();
  void sampleTypedAfterNeuLooksLikeTheStartUpPicture();
  void pictureFollowsEachChangeWhileTheEditorsAreOpen();

 private:
  std::unique_ptr<TProgram> program_;
  QImage startUp_;
};

void EditingRoadTest::fractionAddedFromTheMainWindow() {
  TMainForm& main = program_->MainForm;
  const QImage& pictureBefore = startUp_;
  const QString captionBefore = main.windowTitle();
  const std::uint32_t entriesBefore = main.RootLine->Count();

  Answer<TEditForm>([](TEditForm* root) {
    AddFunction(root, fkBruch, [](TParamDialog* fraction) {
      EditSequence(fraction->EditBtn, [](TEditForm* numerator) { AddTerm(numerator, "1"); });
      EditSequence(fraction->BitBtnXP1, [](TEditForm* denominator) { AddTerm(denominator, "2"); });
    });
    root->close();
  });
  Click(main.EditBtn);

  QCOMPARE(main.RootLine->Count(), entriesBefore + 1);
  const TFormulaEntry& fraction = *EntryAt(*main.RootLine, entriesBefore);
  QCOMPARE(Outline(fraction), QString("1 0 '' ''\n  0 0 '1' ''\n  0 0 '2' ''\n"));
  const QImage pictureAfter = SettledPicture(main);
  SaveArtefact(pictureAfter, "road-fraction-added");
  QVERIFY(pictureAfter.width() > pictureBefore.width());
  QVERIFY(pictureAfter.copy(pictureBefore.rect()) != pictureBefore);
  QVERIFY(!captionBefore.contains('*'));
  QVERIFY(main.windowTitle().contains('*'));
  QCOMPARE(QString(main.windowTitle()).remove('*'), captionBefore);
}

void EditingRoadTest::sampleTypedAfterNeuLooksLikeTheStartUpPicture() {
  TMainForm& main = program_->MainForm;
  const QImage& startUp = startUp_;
  SaveArtefact(startUp, "road-start-up-picture");

  Click(main.NewBtn);  // an unchanged document goes without a question
  QCOMPARE(main.RootLine->Count(), 0u);
  QVERIFY(SettledPicture(main) != startUp);

  Answer<TEditForm>([](TEditForm* root) {
    TypeSampleFormula(root);
    Click(root->BackBtn);
  });
  Click(main.EditBtn);

  const QImage typed = SettledPicture(main);
  SaveArtefact(typed, "road-typed-sample-picture");
  QCOMPARE(typed, startUp);
}

// In the second integral's body, a term is added; then the lower part " 5 "
// is removed, then an empty one created: the picture behind the dialogs
// shows each change at once, and the caption gains its "*" only at the end.
void EditingRoadTest::pictureFollowsEachChangeWhileTheEditorsAreOpen() {
  TMainForm& main = program_->MainForm;
  auto seen = std::make_shared<QList<QImage>>();
  const auto look = [&main, seen] { *seen << SettledPicture(main); };
  auto captions = std::make_shared<QStringList>();
  Answer<TEditForm>([&main, look, captions](TEditForm* root) {
    root->ListView1->topLevelItem(3)->setSelected(true);
    Answer<TParamDialog>([look](TParamDialog* integral) {
      EditSequence(integral->EditBtn, [look](TEditForm* body) {
        look();
        AddTerm(body, "+ 7");
        look();
      });
      Click(integral->BitBtnXP2);  // "Zähler entfernen"
      look();
      EditSequence(integral->BitBtnXP1, [](TEditForm*) {});
      look();
      Click(integral->BackBtn);
    });
    Click(root->EditBtn);
    *captions << main.windowTitle();
    root->close();
  });
  Click(main.EditBtn);

  QCOMPARE(seen->size(), 4);
  QCOMPARE(seen->at(0), startUp_);
  QVERIFY(seen->at(1).width() > seen->at(0).width());  // the new term
  QVERIFY(seen->at(2) != seen->at(1));                 // no lower part
  QVERIFY(seen->at(3) != seen->at(2));                 // the bar of an empty one
  for (int i = 1; i < 4; ++i) SaveArtefact(seen->at(i), QString("road-live-%1").arg(i));
  QCOMPARE(captions->size(), 1);
  QVERIFY(!captions->at(0).contains('*'));
  QVERIFY(main.windowTitle().contains('*'));
}

QTEST_MAIN(EditingRoadTest)
#include "EditingRoadTest.moc"
