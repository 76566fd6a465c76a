#include "ui/MainUnit.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QCompleter>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <exception>
#include <limits>
#include <new>
#include <utility>

#include "docfile/DocFile.h"
#include "export/Clipboard.h"
#include "export/EmbeddedDocument.h"
#include "export/PictureFormat.h"
#include "render/PictureLimit.h"
#include "render/QtFont.h"
#include "textio/FormulaText.h"
#include "ui/AboutBoxUnit.h"
#include "ui/Announce.h"
#include "ui/EditFUnit.h"
#include "ui/EventBoundary.h"
#include "ui/FixedDialog.h"
#include "ui/FocusRing.h"
#include "ui/FormelTextUnit.h"
#include "ui/FormulaAccess.h"
#include "ui/FormulaClipboard.h"
#include "ui/FormulaHits.h"

namespace {

constexpr int kPanelHeight = 129;
constexpr int kMinPictureHeight = 80;
const QString kUntitled = "unbenannt.qmt";
const QString kDocumentFilter = "Quillmora Dateien (*.qmt)";
const QString kPictureFilter = "Formelbilder (*.png *.svg)";
const QString kAppTitle = "Quillmora Editor";
// How long a confirmation stays in the status bar; problems stay until the next.
constexpr int kStatusMillis = 8000;
const QString kOpenQuestion = "Die Datei wurde noch nicht gespeichert. Wollen Sie jetzt speichern?";

std::string ToLocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Qt's own file dialog leaves some of its labels unlinked, and a screen
// reader then names a drop-down list by its choice alone ("Dokumente:
// Kombinationsfeld"). The widgets are found by the names Qt gives them.
void LinkFileDialogLabels(QFileDialog* dialog) {
  const std::pair<const char*, const char*> rows[] = {{"lookInLabel", "lookInCombo"},
                                                      {"fileNameLabel", "fileNameEdit"},
                                                      {"fileTypeLabel", "fileTypeCombo"}};
  for (const auto& [labelName, fieldName] : rows) {
    auto* label = dialog->findChild<QLabel*>(labelName);
    auto* field = dialog->findChild<QWidget*>(fieldName);
    if (label != nullptr && field != nullptr && label->buddy() == nullptr) label->setBuddy(field);
  }
}

// The parts of the formula that the sequence at `path` below *root is, from
// the outermost in, in the picture's words ("Inhalt des Integrals", "Zähler
// des Bruchs"): an entry list opened from the picture is named after them,
// as one opened through the dialogs is.
QStringList PlaceWords(TFormulaLine** root, const TSequencePath& path) {
  QStringList words;
  TFormulaLine** slot = root;
  for (const TPathStep& step : path) {
    if (*slot == nullptr || step.Index >= (*slot)->Count()) break;
    TFormulaEntry* entry = EntryAt(**slot, step.Index);
    if (entry->IsFunction != 1 || entry->Kind >= kFunctionKindCount) break;
    words << DescribeSequence(*entry, step.Part);
    slot = step.Part == TSequencePart::First ? &entry->First : &entry->Second;
  }
  return words;
}

}  // namespace

// ---- TPaintBox --------------------------------------------------------------

namespace {

// A frame `width` pixels wide along the inside of `outer`, pixel for pixel.
void FillFrame(QPainter& painter, const QRect& outer, int width, const QColor& colour) {
  painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), width), colour);
  painter.fillRect(QRect(outer.left(), outer.bottom() - width + 1, outer.width(), width), colour);
  painter.fillRect(QRect(outer.left(), outer.top(), width, outer.height()), colour);
  painter.fillRect(QRect(outer.right() - width + 1, outer.top(), width, outer.height()), colour);
}

// Two colours, black outside and white inside, each 2 pixels wide: on any
// background one of them stands out at far more than 3:1.
void DrawTwoColourFrame(QPainter& painter, const QRect& outer) {
  FillFrame(painter, outer, 2, Qt::black);
  FillFrame(painter, outer.adjusted(2, 2, -2, -2), 2, Qt::white);
}

// The highlighted part: a tint of the highlight colour over it and a frame
// of 2 pixels just outside its box, close enough to stay off a fraction's
// bar, in dark blue (7.6:1 on white) or, where the background is too dark
// for it, in white. An empty part still shows as a bar.
void DrawPartHighlight(QPainter& painter, const TBox& box, const QColor& tint,
                       const QColor& background) {
  QRect place(box.Left, box.Top, std::max(box.Width, 4), std::max(box.Height, 4));
  if (box.Width < 4) place.moveLeft(box.Left - (4 - box.Width) / 2);
  QColor fill = tint;
  fill.setAlpha(60);
  painter.fillRect(place, fill);
  const QColor dark(0x00, 0x47, 0xAB);
  const QColor light(Qt::white);
  const QColor ring =
      ContrastRatio(dark, background) >= ContrastRatio(light, background) ? dark : light;
  FillFrame(painter, place.adjusted(-2, -2, 2, 2), 2, ring);
}

}  // namespace

TPaintBox::TPaintBox(const TQImageCanvas& bitmap, std::function<void()> draw, QWidget* parent)
    : QWidget(parent), bitmap_(bitmap), draw_(std::move(draw)) {
  InstallFormulaAccess();
  setFocusPolicy(Qt::StrongFocus);
}

int TPaintBox::CurrentPart() const {
  return parts_ != nullptr ? parts_->PartOf(current_) : TPictureParts::kWhole;
}

void TPaintBox::ChoosePart(int part) {
  if (MoveHighlight(part)) TellFocusedPart();
}

bool TPaintBox::MoveHighlight(int part) {
  if (parts_ == nullptr || !parts_->Exists(part)) return false;
  current_ = parts_->Hit(part);
  update();
  const TBox box = parts_->Box(part);
  emit PartChosen(current_, QRect(box.Left, box.Top, box.Width, box.Height));
  return true;
}

void TPaintBox::OpenCurrentPart() {
  emit PartOpened(parts_ != nullptr ? parts_->Hit(CurrentPart()) : THit{});
}

// The whole formula is the picture itself, which has the focus already.
void TPaintBox::TellFocusedPart() {
  if (!hasFocus()) return;
  if (QAccessibleInterface* part = PictureChildInterface(this, CurrentPart())) {
    QAccessibleEvent focused(part, QAccessible::Focus);
    QAccessible::updateAccessibility(&focused);
  }
}

// The keys, the focus and the mouse end here when memory runs out on the
// way: the user is told, the picture stays as it is.
template <class Work>
void TPaintBox::Guarded(Work&& work) noexcept {
  try {
    work();
  } catch (...) {
    TellOfFailure(std::current_exception());
  }
}

void TPaintBox::keyPressEvent(QKeyEvent* event) {
  Guarded([&] { KeyPress(event); });
}

void TPaintBox::KeyPress(QKeyEvent* event) {
  static const std::pair<int, TPartStep> kSteps[] = {
      {Qt::Key_Left, TPartStep::Previous}, {Qt::Key_Right, TPartStep::Next},
      {Qt::Key_Home, TPartStep::First},    {Qt::Key_End, TPartStep::Last},
      {Qt::Key_Down, TPartStep::Into},     {Qt::Key_Up, TPartStep::Out},
  };
  const int key = event->key();
  if (parts_ != nullptr && event->modifiers() == Qt::NoModifier) {
    for (const auto& [stepKey, step] : kSteps) {
      if (key == stepKey) return ChoosePart(parts_->Step(CurrentPart(), step));
    }
  }
  if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
      (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
    return OpenCurrentPart();
  }
  QWidget::keyPressEvent(event);
}

// Assistive technology hears of the box's own focus after this handler;
// the highlighted part is told after that, from the event loop. A click
// chooses the part under the mouse itself, right after: showing the old
// part first would scroll the picture away from where it was clicked.
void TPaintBox::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
  if (parts_ == nullptr) return;
  if (event->reason() != Qt::MouseFocusReason) Guarded([this] { MoveHighlight(CurrentPart()); });
  QMetaObject::invokeMethod(
      this, [this] { Guarded([this] { TellFocusedPart(); }); }, Qt::QueuedConnection);
}

void TPaintBox::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

// A click chooses the part under the mouse, as the arrow keys would.
void TPaintBox::mousePressEvent(QMouseEvent* event) {
  if (parts_ != nullptr) {
    const QPoint at = event->position().toPoint();
    Guarded([&] { ChoosePart(parts_->PartAt(at.x(), at.y())); });
  }
  QWidget::mousePressEvent(event);
}

// Only while the box has the focus: elsewhere the picture is only a picture.
// The frame goes round the part of the picture in view, so that all four
// sides show while the picture is scrolled.
void TPaintBox::DrawFocus(QPainter& painter) {
  if (!hasFocus()) return;
  const QRect shown = visibleRegion().boundingRect();
  DrawTwoColourFrame(painter, shown.isEmpty() ? rect() : shown);
  const int part = CurrentPart();
  if (part != TPictureParts::kWhole) {
    DrawPartHighlight(painter, parts_->Box(part), palette().color(QPalette::Highlight),
                      background_);
  }
}

// Kept until the next picture; shown by the repaint that follows.
void TPaintBox::SetDeviceImage(QImage image) { deviceImage_ = std::move(image); }

void TPaintBox::ShowDrawn() {
  drawn_ = true;
  update();
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
  emit MouseMove(event->position().toPoint().x(), event->position().toPoint().y());
}

void TPaintBox::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  emit DblClick(event->position().toPoint().x(), event->position().toPoint().y());
}

void TPaintBox::leaveEvent(QEvent*) { emit MouseLeave(); }

// A repaint the windowing layer asks for draws the picture afresh; the one
// that ShowDrawn asked for only copies what was just drawn.
void TPaintBox::paintEvent(QPaintEvent*) {
  if (!drawn_) draw_();
  drawn_ = false;
  QPainter painter(this);
  // Image() finishes any drawing still under way on the bitmap.
  const QImage& bitmap = bitmap_.Image();
  if (!deviceImage_.isNull() && deviceImage_.deviceIndependentSize().toSize() == bitmap.size()) {
    // At a fractional ratio the next whole one is scaled down, smoothly.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(0, 0, deviceImage_);
  } else {
    painter.drawImage(0, 0, bitmap);
  }
  if (parts_ != nullptr) DrawFocus(painter);
}

// ---- TColorSwatch -----------------------------------------------------------

// A press from assistive technology clicks the button; the mouse and the
// keys open the colour choice at once, on the press.
TColorSwatch::TColorSwatch(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName("Hintergrundfarbe");
  connect(this, &QAbstractButton::clicked, this, &TColorSwatch::MouseDown);
  SetColor(color_);
}

void TColorSwatch::SetColor(std::uint32_t color) {
  color_ = color;
  setAccessibleDescription(ColorFromValue(color).name() +
                           "; Leertaste oder Eingabetaste wählt eine andere Farbe");
  update();
}

void TColorSwatch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(Qt::black);
  painter.setBrush(ColorFromValue(color_));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  // The focus shows inside the outline, in two colours so that it stays
  // visible on any background.
  if (hasFocus()) DrawTwoColourFrame(painter, rect().adjusted(2, 2, -2, -2));
}

void TColorSwatch::mousePressEvent(QMouseEvent*) { emit MouseDown(); }

void TColorSwatch::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (event->modifiers() == Qt::NoModifier &&
      (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
    emit MouseDown();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

// ---- TSpinEdit --------------------------------------------------------------

namespace {
constexpr int kMarginMin = 0;
constexpr int kMarginMax = 1000;
}  // namespace

TSpinEdit::TSpinEdit(QWidget* parent) : QSpinBox(parent) {
  // The box itself accepts any whole number; the spin buttons and the focus
  // change keep to 0..1000.
  setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  setAlignment(Qt::AlignRight);
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  setKeyboardTracking(true);
  lineEdit()->installEventFilter(this);
  // The field's own signal tells of typing, the spin box's of values set or
  // stepped (it blocks the field's signal then), and on Enter even of a text
  // that did not change; only a text that differs counts.
  connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinEdit::NoteText);
  connect(this, &QSpinBox::textChanged, this, &TSpinEdit::NoteText);
}

void TSpinEdit::NoteText() {
  const QString text = lineEdit()->text();
  if (text == lastText_) return;
  lastText_ = text;
  emit TextChange();
}

namespace {

// The keys of the document's undo and redo. Left unaccepted when the field
// asks whether it wants them, they go on to the window's shortcuts.
bool IsHistoryKey(const QEvent* event) {
  if (event->type() != QEvent::ShortcutOverride) return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
         key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y);
}

}  // namespace

bool TSpinEdit::eventFilter(QObject* watched, QEvent* event) {
  if (IsHistoryKey(event)) return true;
  return QSpinBox::eventFilter(watched, event);
}

// The spin box hands the question to its field directly, past the filter.
bool TSpinEdit::event(QEvent* event) {
  if (IsHistoryKey(event)) return true;
  return QSpinBox::event(event);
}

int TSpinEdit::Value() const { return valueFromText(lineEdit()->text()); }

int TSpinEdit::ReportedMinimum() const { return kMarginMin; }
int TSpinEdit::ReportedMaximum() const { return kMarginMax; }

QValidator::State TSpinEdit::validate(QString&, int&) const { return QValidator::Acceptable; }

int TSpinEdit::valueFromText(const QString& text) const {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  return ok ? value : 0;
}

void TSpinEdit::stepBy(int steps) {
  const long long next = static_cast<long long>(Value()) + steps;
  setValue(static_cast<int>(std::clamp<long long>(next, kMarginMin, kMarginMax)));
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
  const int value = Value();
  StepEnabled enabled = StepNone;
  if (value < kMarginMax) enabled |= StepUpEnabled;
  if (value > kMarginMin) enabled |= StepDownEnabled;
  return enabled;
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
  const int value = Value();
  const int clamped = std::clamp(value, kMarginMin, kMarginMax);
  if (clamped != value || lineEdit()->text() != QString::number(value)) setValue(clamped);
  NoteText();  // "020" becomes "20" without a new value
  QSpinBox::focusOutEvent(event);
}

// ---- TMainForm: construction -------------------------------------------------

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Quillmora Editor 1.0");
  setFont(TFixedDialog::InterfaceFont());
  resize(780, 580);
  BuildControls();
  BuildMenus();
  setAcceptDrops(true);
  statusBar()->setSizeGripEnabled(true);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  context_.CurrentEntry = &CurrentEntry;
  context_.DocumentFont = &FontDialog1->Font();
  context_.TermEditorSlot = &termEditor_;
  // While the editors are open, the picture behind them follows each change.
  context_.FormulaChanged = [this] { PaintBox1Paint(); };
  FormCreate();
}

TMainForm::~TMainForm() {
  // Closing the window takes the focus from the margin field, which may then
  // bring its text into range; the half-destroyed window must not hear of it.
  disconnect(RandEd, nullptr, this, nullptr);
  FormDestroy();
}

void TMainForm::SetDialogs(TEditForm* editForm, TAboutBox* aboutBox) {
  editForm_ = editForm;
  aboutBox_ = aboutBox;
}

QPushButton* TMainForm::AddButton(const QString& caption, QStyle::StandardPixmap picture,
                                  QRect place, void (TMainForm::*handler)()) {
  auto* button = new QPushButton(style()->standardIcon(picture), caption, ButtonPanel());
  button->setGeometry(place);
  button->setIconSize(QSize(16, 16));
  connect(button, &QPushButton::clicked, this, Command(handler));
  return button;
}

void TMainForm::BuildControls() {
  auto* central = new QWidget(this);
  setCentralWidget(central);
  panel_ = new QWidget(central);
  panel_->setFixedHeight(kPanelHeight);
  BuildButtons();
  BuildFormatControls();
  BuildPictureArea();
  // The controls stand at fixed places: the window gets no narrower than the
  // panel with its margin on both sides, nor lower than the panel over a
  // strip of the picture, so that no button is ever cut off.
  int right = 0;
  for (const QWidget* control : panel_->findChildren<QWidget*>()) {
    right = std::max(right, control->geometry().right() + 1);
  }
  panel_->setMinimumWidth(right + NewBtn->x());
  ScrollBox1->setMinimumHeight(kMinPictureHeight);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(panel_);
  layout->addWidget(ScrollBox1, 1);

  FontDialog1 = new TFontDialog(this);
  ColorDialog1 = new QColorDialog(this);
  ColorDialog1->setOption(QColorDialog::DontUseNativeDialog);
  ColorDialog1->setWindowTitle("Farbe");
  BuildFileDialogs();

  // Escape acts as "Beenden", wherever the focus is in the window.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, Command(&TMainForm::EndeBtnClick));
}

void TMainForm::BuildButtons() {
  NewBtn = AddButton("Neu", QStyle::SP_FileIcon, {16, 8, 105, 33}, &TMainForm::Neu1Click);
  OpenBtn = AddButton("Öffnen...", QStyle::SP_DialogOpenButton, {128, 8, 105, 33},
                      &TMainForm::ffnen1Click);
  SaveQMTBtn = AddButton("Speichern", QStyle::SP_DialogSaveButton, {240, 8, 145, 33},
                         &TMainForm::Speichern1Click);
  SaveAsBtn = AddButton("Speichern unterr...", QStyle::SP_DriveFDIcon, {392, 8, 145, 33},
                        &TMainForm::Speichernunter1Click);
  CopyBtn = AddButton("In die Zwischenablage kopieren", QStyle::SP_FileDialogDetailedView,
                      {544, 8, 209, 33}, &TMainForm::CopyBtnClick);
  EditBtn = AddButton("Bearbeiten...", QStyle::SP_FileDialogContentsView, {16, 48, 105, 33},
                      &TMainForm::EditBtnClick);
  FontBtn = AddButton("Schriftart...", QStyle::SP_FileDialogInfoView, {128, 48, 105, 33},
                      &TMainForm::FontBtnClick);
  SaveBtn = AddButton("Als Bild speichern...", QStyle::SP_DesktopIcon, {240, 48, 145, 33},
                      &TMainForm::SaveBtnClick);
  AboutBtn = AddButton("Über das Programm...", QStyle::SP_MessageBoxInformation, {392, 48, 145, 33},
                       &TMainForm::AboutBtnClick);
  EndeBtn = AddButton("Beenden", QStyle::SP_DialogCloseButton, {544, 48, 209, 33},
                      &TMainForm::EndeBtnClick);
}

void TMainForm::BuildFormatControls() {
  QWidget* panel = ButtonPanel();
  Label1 = new QLabel("Rand:", panel);
  Label1->move(16, 96);
  RandEd = new TSpinEdit(panel);
  RandEd->setGeometry(56, 96, 65, 21);
  RandEd->setValue(20);
  // Every change of the text counts, "20" to "020" too, and only a change.
  connect(RandEd, &TSpinEdit::TextChange, this, Command(&TMainForm::RandEdChange));
  // Typing "125" is one step: the changes join until the field is left.
  connect(RandEd, &QAbstractSpinBox::editingFinished, this, [this] { history_.EndMerge(); });
  Label2 = new QLabel("Hintergrundfarbe:", panel);
  Label2->move(128, 96);
  bkcolor = new TColorSwatch(panel);
  bkcolor->setGeometry(240, 88, 65, 33);
  connect(bkcolor, &TColorSwatch::MouseDown, this, Command(&TMainForm::bkcolorMouseDown));
  // The labels name their controls for a screen reader.
  Label1->setBuddy(RandEd);
  Label2->setBuddy(bkcolor);
}

void TMainForm::BuildPictureArea() {
  ScrollBox1 = new QScrollArea(centralWidget());
  ScrollBox1->setBackgroundRole(QPalette::Dark);  // the application-workspace colour
  ScrollBox1->setAccessibleName("Formelbild");
  // The picture inside takes the focus, not the area around it.
  ScrollBox1->setFocusPolicy(Qt::NoFocus);
  PaintBox1 = new TPaintBox(
      FormulaBitmap, [this] { Painting([this] { DrawPicture(); }); }, nullptr);
  PaintBox1->resize(760, 480);
  PaintBox1->setAccessibleName("Formel");
  PaintBox1->setAccessibleDescription(
      "Pfeiltasten wählen einen Teil der Formel, die Eingabetaste öffnet ihn.");
  PaintBox1->SetParts(&PictureParts);
  // Its own two-colour frame round the part in view shows the focus; the
  // application's ring would go round the scroll area as well.
  PaintBox1->setProperty(kDrawsOwnFocus, true);
  ScrollBox1->setWidget(PaintBox1);
  PaintBox1->setMouseTracking(true);
  connect(PaintBox1, &TPaintBox::DblClick, this,
          [this](int x, int y) { RunCommand([&] { PaintBox1DblClick(x, y); }); });
  connect(PaintBox1, &TPaintBox::MouseMove, this,
          [this](int x, int y) { RunCommand([&] { PaintBox1MouseMove(x, y); }); });
  connect(PaintBox1, &TPaintBox::MouseLeave, this, [this] {
    if (PictureTooLarge.cx == 0) statusBar()->clearMessage();
  });
  connect(PaintBox1, &TPaintBox::PartChosen, this, [this](const THit& hit, const QRect& place) {
    RunCommand([&] { PaintBox1PartChosen(hit, place); });
  });
  connect(PaintBox1, &TPaintBox::PartOpened, this,
          [this](const THit& hit) { RunCommand([&] { PaintBox1PartOpened(hit); }); });
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The focus frame follows the part of the picture in view.
  for (QScrollBar* bar : {ScrollBox1->horizontalScrollBar(), ScrollBox1->verticalScrollBar()}) {
    connect(bar, &QScrollBar::valueChanged, PaintBox1, [this] {
      if (PaintBox1->hasFocus()) PaintBox1->update();
    });
  }
}

void TMainForm::BuildFileDialogs() {
  OpenDialog1 = new QFileDialog(this, "Öffnen");
  OpenDialog1->setNameFilters({kDocumentFilter, kPictureFilter});
  OpenDialog1->setDefaultSuffix("qmt");
  OpenDialog1->setFileMode(QFileDialog::AnyFile);
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
  SaveDialog2 = new QFileDialog(this, "Speichern unter");
  SaveDialog2->setNameFilter(kDocumentFilter);
  SaveDialog2->setDefaultSuffix("qmt");
  SaveDialog2->setAcceptMode(QFileDialog::AcceptSave);
  PictureDialog = new QFileDialog(this, "Als Bild speichern");
  QStringList filters;
  for (const TPictureFormatInfo& info : PictureFormats()) {
    filters << QString::fromStdString(NameFilterOf(info));
  }
  PictureDialog->setNameFilters(filters);
  PictureDialog->setDefaultSuffix("png");
  PictureDialog->setAcceptMode(QFileDialog::AcceptSave);
  // A name without an extension gets the one of the chosen format.
  connect(PictureDialog, &QFileDialog::filterSelected, this, [this](const QString& filter) {
    const int index = static_cast<int>(PictureDialog->nameFilters().indexOf(filter));
    if (index >= 0) {
      const std::string_view extension = PictureFormats()[index].Extensions[0].substr(1);
      PictureDialog->setDefaultSuffix(QString::fromUtf8(extension.data(), extension.size()));
    }
  });
  for (QFileDialog* dialog : {OpenDialog1, SaveDialog2, PictureDialog}) {
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    LinkFileDialogLabels(dialog);
  }
  AddPictureOptions();
}

// The scale and the transparency sit in the picture dialog itself, under its
// file name and type rows.
void TMainForm::AddPictureOptions() {
  ScaleBox = new QComboBox(PictureDialog);
  ScaleBox->addItems({"1× (wie am Bildschirm)", "2× (192 dpi)", "3× (288 dpi)", "4× (384 dpi)"});
  TransparentBox = new QCheckBox("Durchsichtiger Hintergrund (nur PNG und SVG)", PictureDialog);
  auto* grid = qobject_cast<QGridLayout*>(PictureDialog->layout());
  if (grid == nullptr) return;
  // A row of layout only, no widget: the box stays a sibling of its label,
  // the only place where a screen reader looks for the label of a field.
  auto* row = new QHBoxLayout;
  row->addWidget(ScaleBox);
  row->addWidget(TransparentBox);
  row->addStretch();
  const int at = grid->rowCount();
  auto* scaleLabel = new QLabel("Auflösung:", PictureDialog);
  scaleLabel->setBuddy(ScaleBox);
  grid->addWidget(scaleLabel, at, 0);
  grid->addLayout(row, at, 1, 1, grid->columnCount() - 1);
}

void TMainForm::BuildMenus() {
  // Alt and the underlined letter open a menu; in an open menu the letter
  // alone chooses the entry.
  QMenu* file = menuBar()->addMenu("&Datei");
  file->addAction("&Neu", QKeySequence::New, this, Command(&TMainForm::Neu1Click));
  file->addAction("Ö&ffnen...", QKeySequence::Open, this, Command(&TMainForm::ffnen1Click));
  file->addAction("&Speichern", QKeySequence::Save, this, Command(&TMainForm::Speichern1Click));
  file->addAction("Speichern &unter...", this, Command(&TMainForm::Speichernunter1Click));
  file->addSeparator();
  file->addAction("&Beenden", QKeySequence(Qt::CTRL | Qt::Key_Q), this,
                  Command(&TMainForm::Beenden1Click));
  BuildEditMenu();
  QMenu* help = menuBar()->addMenu("&Hilfe");
  help->addAction("Ü&ber...", this, Command(&TMainForm::ber1Click));
}

void TMainForm::BuildEditMenu() {
  EditMenu = menuBar()->addMenu("&Bearbeiten");
  UndoAction = EditMenu->addAction("&Rückgängig", this, Command(&TMainForm::Rueckgaengig1Click));
  UndoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  RedoAction =
      EditMenu->addAction("&Wiederherstellen", this, Command(&TMainForm::Wiederherstellen1Click));
  RedoAction->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  BuildTextMenu();
}

void TMainForm::BuildTextMenu() {
  EditMenu->addSeparator();
  CopyLatexAction =
      EditMenu->addAction("Als &LaTeX kopieren", this, Command(&TMainForm::AlsLaTeXkopieren1Click));
  CopyMathMLAction = EditMenu->addAction("Als &MathML kopieren", this,
                                         Command(&TMainForm::AlsMathMLkopieren1Click));
  PasteAction = EditMenu->addAction("&Einfügen", this, Command(&TMainForm::Einfuegen1Click));
  PasteAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  EditMenu->addSeparator();
  FormulaTextAction =
      EditMenu->addAction("&Formel als Text...", this, Command(&TMainForm::FormelalsText1Click));
}

// ---- TMainForm: the document ---------------------------------------------------

void TMainForm::FormCreate() {
  RootLine = NewLine(&CurrentEntry);
  BuildSampleFormula(RootLine);
  BaseCaption = windowTitle();
  StartHistory(CurrentState());
}

void TMainForm::FormDestroy() {
  freetheline(RootLine);
  RootLine = nullptr;
}

// The new formula belongs to no file: the first "Speichern" asks for a
// name, so the previous file is never overwritten by it unasked.
void TMainForm::NewItNow() {
  TFormulaLine* empty = NewLine(&CurrentEntry);
  freetheline(RootLine);
  RootLine = empty;
  FileName.clear();
  ComposeCaption();
  PaintBox1Paint();
}

void TMainForm::SetChanged() {
  Changed = true;
  ComposeCaption();
}

void TMainForm::SetUnChanged() {
  Changed = false;
  ComposeCaption();
}

// Only the file's own name shows, and "*" while the document has changed.
void TMainForm::ComposeCaption() {
  const QString name = FileName.isEmpty() ? kUntitled : QFileInfo(FileName).fileName();
  setWindowTitle(BaseCaption + " - [" + name + (Changed ? "*]" : "]"));
}

TPaintInput TMainForm::PaintInput() const {
  TPaintInput input;
  input.Root = RootLine;
  input.Font = FontDialog1->Font();
  input.Margin = RandEd->Value();
  input.Background = bkcolor->Color();
  return input;
}

// Paints the picture into FormulaBitmap, sizes the paint box to it and shows
// it. Only here can the formula have changed, so only here is it described.
void TMainForm::PaintBox1Paint() {
  Painting([this] {
    DrawPicture();
    DescribePicture();
  });
  PaintBox1->ShowDrawn();
}

// A picture that grew was drawn at the old size, so it is drawn once more at
// the new one, at once rather than in the repaint the size change causes.
void TMainForm::DrawPicture() {
  TPaintInput input = PaintInput();
  THitMap placed;
  input.Hits = &placed;
  TRecordedPaint paint = PaintCompleteRecorded(FormulaBitmap, input);
  const bool fits = PictureFits(paint.Size);
  TRecording previous =
      std::exchange(LastRecording, fits ? std::move(paint.Recording) : TRecording{});
  PlacedEntries = fits ? std::move(placed) : THitMap{};
  PictureParts.Renew(FormulaBitmap.Width(), FormulaBitmap.Height());
  ShowPictureLimit(paint.Size);
  ShowDevicePicture(previous);
  PaintBox1->SetBackground(ColorFromValue(input.Background));
  const QSize size(FormulaBitmap.Width(), FormulaBitmap.Height());
  if (PaintBox1->size() != size) PaintBox1->resize(size);
}

// Setting a new name tells assistive technology that it changed.
void TMainForm::DescribePicture() {
  const QString name = "Formel: " + ToQString(SpeechFromFormula(RootLine));
  if (PaintBox1->accessibleName() != name) PaintBox1->setAccessibleName(name);
}

// Layout and sizes stay in logical pixels, so the document and the 1x
// pictures are the same on every screen; only what is shown gets sharper.
// The replay costs more than the whole paint, and every repaint of the
// windowing layer paints: the same picture at the same ratio keeps its image.
void TMainForm::ShowDevicePicture(const TRecording& previous) {
  const int scale = std::clamp(static_cast<int>(std::ceil(PaintBox1->devicePixelRatioF())),
                               kMinExportScale, kMaxExportScale);
  const QImage& shown = PaintBox1->DeviceImage();
  const int shownScale = shown.isNull() ? 1 : qRound(shown.devicePixelRatio());
  if (shownScale == scale && (scale == 1 || previous == LastRecording)) return;
  QImage image;
  if (scale > 1) {
    image =
        ScaledBitmap(TPicture{FormulaBitmap.Image(), LastRecording, {}, PictureTooLarge}, scale);
    image.setDevicePixelRatio(scale);
  }
  PaintBox1->SetDeviceImage(std::move(image));
}

// A picture beyond the limit has no bitmap: the status bar says why in its
// place, and saving or copying the picture names its size.
void TMainForm::ShowPictureLimit(TSize size) {
  if (PictureFits(size)) {
    // Only the limit's own message goes; one about the picture stays.
    if (PictureTooLarge.cx > 0) statusBar()->clearMessage();
    PictureTooLarge = {};
    return;
  }
  // Every repaint comes here: the reason is spoken once, and again only
  // when the size it names changes.
  const bool news = PictureTooLarge.cx != size.cx || PictureTooLarge.cy != size.cy;
  PictureTooLarge = size;
  const QString reason = QString::fromStdString(PictureTooLargeText(size));
  if (news) {
    ShowStatus(reason);
  } else {
    statusBar()->showMessage(reason);
  }
}

void TMainForm::ShowStatus(const QString& text, int millis) {
  statusBar()->showMessage(text, millis);
  Announce(this, text);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  PaintBox1Paint();
}

// ---- TMainForm: files ------------------------------------------------------------

void TMainForm::ShowError(const QString& text) { QMessageBox::critical(this, kAppTitle, text); }

// The name last chosen stands selected in the name field, so that what the
// user types replaces it instead of being joined onto it; a completion list
// left open goes with the dialog.
QString TMainForm::ChooseFile(QFileDialog* dialog) {
  auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
  if (name != nullptr) {
    QTimer::singleShot(0, name, [name] {
      name->setFocus();
      name->selectAll();
    });
  }
  const bool accepted = dialog->exec() == QDialog::Accepted;
  if (name != nullptr && name->completer() != nullptr) name->completer()->popup()->hide();
  if (!accepted || dialog->selectedFiles().isEmpty()) return {};
  const QString chosen = dialog->selectedFiles().first();
  // The dialog shows the name last chosen in it the next time.
  dialog->selectFile(QFileInfo(chosen).fileName());
  return chosen;
}

// The open document as the file format sees it; the tree stays the window's.
TDocument TMainForm::DocumentView() const {
  return TDocument{RootLine, StoredFromFont(FontDialog1->Font()), bkcolor->Color(),
                   static_cast<double>(RandEd->Value())};
}

std::vector<std::uint8_t> TMainForm::DocumentBytes() const {
  return EncodeDocument(DocumentView());
}

TPicture TMainForm::CurrentPicture() const {
  return TPicture{FormulaBitmap.Image(), LastRecording, DocumentBytes(), PictureTooLarge,
                  PictureTextOf(RootLine)};
}

// A document the reader would refuse is refused before the file is touched.
bool TMainForm::WriteDocumentTo(const QString& path) {
  std::string error;
  if (!CheckDocumentForWriting(DocumentView(), error) ||
      !WriteDocumentFile(ToLocalPath(path), DocumentBytes(), error)) {
    ShowError(QString::fromStdString(error));
    return false;
  }
  // Only a written file becomes the document's file: a failed save keeps
  // the name the caption shows.
  FileName = path;
  history_.MarkSaved();
  SetUnChanged();
  return true;
}

bool TMainForm::SaveTheFile() { return WriteDocumentTo(FileName); }

bool TMainForm::SaveFile() {
  if (!FileName.isEmpty()) return SaveTheFile();
  const QString path = ChooseFile(SaveDialog2);
  return !path.isEmpty() && WriteDocumentTo(path);
}

void TMainForm::Speichernunter1Click() {
  const QString path = ChooseFile(SaveDialog2);
  if (!path.isEmpty()) WriteDocumentTo(path);
}

void TMainForm::Speichern1Click() { SaveFile(); }

// Replaces the open document by the file's content. A file that cannot be
// read, or is damaged, leaves the open document exactly as it was. A picture
// gives back the formula it carries as an untitled document, so that saving
// never writes into the picture.
bool TMainForm::OpenFileWithName(const QString& name) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  TDocument document;
  bool fromPicture = false;
  if (!ReadDocumentFile(ToLocalPath(name), bytes, error) ||
      !TakeDocumentFromFile(ToLocalPath(name), bytes, error, &fromPicture) ||
      !WritableUnlessPicture(ToLocalPath(name), fromPicture, error) ||
      !DecodeDocument(bytes, &CurrentEntry, document, error)) {
    ShowError(QString::fromStdString(error));
    PaintBox1Paint();
    return false;
  }
  // The tree is the document's until the window has taken it.
  const auto unused = qScopeGuard([&document] { document.Release(); });
  const TFontDesc font = FontFromStored(document.Font);
  TakeOverDocument(document.TakeRoot(&CurrentEntry), font, document.Background,
                   MarginFromStored(document.Margin));
  // An opened document starts a history of its own. The name changes only
  // once nothing can fail any more: a failed open must not leave the previous
  // document named after the file it tried to open.
  TDocumentState opened = CurrentState();
  FileName = fromPicture ? QString() : name;
  StartHistory(std::move(opened));
  return true;
}

// From here on the window owns `root`, whatever fails.
void TMainForm::TakeOverDocument(TFormulaLine* root, const TFontDesc& font,
                                 std::uint32_t background, std::int32_t margin) {
  if (root == nullptr) throw std::bad_alloc();
  freetheline(RootLine);
  RootLine = root;
  FontDialog1->SetFont(font);
  bkcolor->SetColor(background);
  takingOver_ = true;
  const auto done = qScopeGuard([this] { takingOver_ = false; });
  RandEd->setValue(margin);
  PaintBox1Paint();
}

bool TMainForm::OpenFile() {
  const QString path = ChooseFile(OpenDialog1);
  return !path.isEmpty() && OpenFileWithName(path);
}

// ---- TMainForm: commands -----------------------------------------------------------

bool TMainForm::SavePrompt(const QString& question) {
  if (!Changed) return true;
  QMessageBox box(QMessageBox::Question, "Speichern", question,
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
  // J, N and A answer, as do Alt+J, Alt+N and Alt+A.
  box.button(QMessageBox::Yes)->setText("&Ja");
  box.button(QMessageBox::No)->setText("&Nein");
  box.button(QMessageBox::Cancel)->setText("&Abbrechen");
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return SaveFile();
    case QMessageBox::No:
      return true;
    default:
      return false;
  }
}

// The user has just said what becomes of the old document's changes, and
// nothing new has been made: the new one is unchanged. Undo still brings the
// old one back as it was, changed or not.
void TMainForm::Neu1Click() {
  if (!SavePrompt("Die Datei ist noch nicht gespeichert. Wollen Sie jetzt speichern?")) return;
  NewItNow();
  RecordStep("Neu");
  SetUnChanged();
}

void TMainForm::ffnen1Click() {
  if (SavePrompt(kOpenQuestion)) OpenFile();
}

bool TMainForm::FormCloseQuery() { return SavePrompt(kOpenQuestion); }

// A close whose save failed does not happen.
void TMainForm::closeEvent(QCloseEvent* event) {
  bool mayClose = false;
  RunCommand([&] { mayClose = FormCloseQuery(); });
  if (mayClose) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TMainForm::EndeBtnClick() { close(); }
void TMainForm::Beenden1Click() { close(); }

// A dialog left without choosing another font (Escape, "Abbrechen", or OK
// on the same font) changes nothing, the caption included.
void TMainForm::FontBtnClick() {
  const TFontDesc before = FontDialog1->Font();
  FontDialog1->Execute();
  if (FontDialog1->Font() == before) return;
  DocumentChangedBy("Schriftart");
}

void TMainForm::RandEdChange() { DocumentChangedBy("Rand", true); }

void TMainForm::bkcolorMouseDown() {
  ColorDialog1->setCurrentColor(ColorFromValue(bkcolor->Color()));
  if (ColorDialog1->exec() != QDialog::Accepted) return;
  bkcolor->SetColor(ValueFromColor(ColorDialog1->selectedColor()));
  DocumentChangedBy("Hintergrundfarbe");
}

void TMainForm::EditBtnClick() { EditFormulaAt(THit{}); }

void TMainForm::PaintBox1DblClick(int x, int y) { OpenPictureHit(PlacedEntries.HitAt(x, y)); }

void TMainForm::PaintBox1PartOpened(const THit& hit) { OpenPictureHit(hit); }

void TMainForm::OpenPictureHit(const THit& hit) {
  // Undo replaces the tree, and so may a dialog's own undo; no second edit
  // starts while one is open.
  if (QApplication::activeModalWidget() != nullptr) return;
  EditFormulaAt(hit);
}

// The whole formula needs no scrolling: the highlight is on none of its parts.
void TMainForm::PaintBox1PartChosen(const THit& hit, const QRect& place) {
  if (hit.Kind != THitKind::Background) {
    ScrollBox1->ensureVisible(place.center().x(), place.center().y(), place.width() / 2 + 8,
                              place.height() / 2 + 8);
  }
  if (PictureTooLarge.cx == 0) statusBar()->showMessage(DescribeHit(&RootLine, hit));
}

// Over a picture beyond the limit there is nothing to describe, and the
// reason it is missing stays in view.
void TMainForm::PaintBox1MouseMove(int x, int y) {
  if (PictureTooLarge.cx > 0) return;
  statusBar()->showMessage(DescribeHit(&RootLine, PlacedEntries.HitAt(x, y)));
}

// Everything done in the dialogs opened here is one step, and none when the
// formula came out as it went in.
void TMainForm::EditFormulaAt(const THit& hit) {
  OpenDialogFor(hit);
  DocumentChangedBy("Formel bearbeiten");
}

void TMainForm::OpenDialogFor(const THit& hit) {
  TFormulaEntry* entry = HitEntry(&RootLine, hit);
  if (entry == nullptr) return OpenEditorOn(&RootLine, -1, {});
  const QStringList place = PlaceWords(&RootLine, hit.Line);
  switch (hit.Kind) {
    case THitKind::Term:
      return OpenEditorOn(SequenceSlot(&RootLine, hit.Line), static_cast<int>(hit.Index), place);
    case THitKind::Body: {
      TFormulaLine** body = hit.Part == TSequencePart::First ? &entry->First : &entry->Second;
      if (*body != nullptr) {
        return OpenEditorOn(body, -1, place + QStringList{DescribeSequence(*entry, hit.Part)});
      }
      return EditFunctionEntry(context_, *entry, place);
    }
    default:
      return EditFunctionEntry(context_, *entry, place);
  }
}

// The root line has the editor made at start; a nested one gets its own, as
// the parameter dialogs give it.
void TMainForm::OpenEditorOn(TFormulaLine** line, int selectedRow, const QStringList& place) {
  if (line == &RootLine) {
    if (editForm_ != nullptr) editForm_->OpenOn(line, selectedRow);
    return;
  }
  TEditForm editor(context_);
  editor.OpenOn(line, selectedRow, place);
}

void TMainForm::AboutBtnClick() {
  if (aboutBox_ != nullptr) aboutBox_->exec();
}

void TMainForm::ber1Click() { AboutBtnClick(); }

// ---- TMainForm: the picture ------------------------------------------------------------

void TMainForm::SaveBtnClick() {
  const QString path = ChooseFile(PictureDialog);
  if (path.isEmpty()) return;
  const TPictureFormatInfo* info = PictureFormatOfPath(ToLocalPath(path));
  if (info == nullptr) {
    ShowError(
        "Dieses Bildformat wird nicht unterstützt. Bitte PNG, JPEG, BMP, SVG oder PDF wählen.");
    return;
  }
  TExportOptions options;
  options.Format = info->Format;
  options.Scale = ScaleBox->currentIndex() + 1;
  options.Transparent = TransparentBox->isChecked() && info->Transparency;
  std::string error;
  if (!ExportPicture(CurrentPicture(), ToLocalPath(path), options, error)) {
    ShowError(QString::fromStdString(error));
  }
}

void TMainForm::CopyBtnClick() {
  std::string error;
  std::unique_ptr<QMimeData> data = MakeClipboardData(CurrentPicture(), error);
  if (data == nullptr) return ShowError(QString::fromStdString(error));
  QGuiApplication::clipboard()->setMimeData(data.release());
}

// ---- TMainForm: the formula as text ------------------------------------------------------

void TMainForm::AlsLaTeXkopieren1Click() {
  QGuiApplication::clipboard()->setText(ToQString(LatexFromFormula(RootLine)));
  ShowStatus("Die Formel steht als LaTeX in der Zwischenablage.", kStatusMillis);
}

void TMainForm::AlsMathMLkopieren1Click() {
  QGuiApplication::clipboard()->setMimeData(MakeMathMLData(RootLine).release());
  ShowStatus("Die Formel steht als MathML in der Zwischenablage.", kStatusMillis);
}

// The pasted entries go to the end of the formula, as one step.
void TMainForm::Einfuegen1Click() {
  if (QApplication::activeModalWidget() != nullptr) return;
  TOwnedLine pasted;
  QString problem;
  if (!FormulaFromClipboard(QGuiApplication::clipboard()->mimeData(), &CurrentEntry, pasted,
                            problem)) {
    ShowStatus(problem);
    return;
  }
  const std::uint32_t count = pasted->Count();
  if (count == 0) {
    ShowStatus("Die Formel in der Zwischenablage ist leer.", kStatusMillis);
    return;
  }
  AppendFormula(pasted.get(), "Einfügen");
  ShowOutcome(QString("%1 %2 eingefügt.").arg(count).arg(count == 1 ? "Eintrag" : "Einträge"));
}

// What a command did, and at once why no picture shows when it grew beyond
// the limit: that reason stays until the picture fits again.
void TMainForm::ShowOutcome(const QString& done) {
  if (PictureTooLarge.cx == 0) return ShowStatus(done, kStatusMillis);
  ShowStatus(done + " " + QString::fromStdString(PictureTooLargeText(PictureTooLarge)));
}

void TMainForm::FormelalsText1Click() {
  TFormelTextForm dialog(ToQString(LatexFromFormula(RootLine)), PaintInput(), &CurrentEntry, this);
  if (dialog.exec() != QDialog::Accepted) return;
  TOwnedLine formula = dialog.TakeFormula();
  if (formula == nullptr) return;
  freetheline(RootLine);
  RootLine = formula.release();
  DocumentChangedBy("Formel als Text");
}

// Half a formula is no step: when the open one cannot take all of it, the
// boundary puts the document back as it was.
void TMainForm::AppendFormula(TFormulaLine* formula, const QString& step) {
  if (!MoveEntries(formula, RootLine)) throw std::bad_alloc();
  DocumentChangedBy(step);
}

void TMainForm::DocumentChangedBy(const QString& step, bool merge) {
  PaintBox1Paint();
  SetChanged();
  RecordStep(step, merge);
}

// ---- TMainForm: undo and redo -----------------------------------------------------------

TDocumentState TMainForm::CurrentState() const {
  return TakeSnapshot(RootLine, FontDialog1->Font(), bkcolor->Color(), RandEd->Value());
}

void TMainForm::RecordStep(const QString& name, bool merge) {
  // The fields set while a document is taken over (opened, undone) are no step.
  if (takingOver_) return;
  if (history_.Record(name.toStdString(), CurrentState(), merge)) ShowHistoryState();
}

// What was taken back or repeated is said, as the menu entry named it.
void TMainForm::Rueckgaengig1Click() {
  const QString told = "Rückgängig: " + QString::fromStdString(history_.UndoName());
  MoveInHistory(&TUndoHistory::Undo, &TUndoHistory::Redo, told);
}

void TMainForm::Wiederherstellen1Click() {
  const QString told = "Wiederherstellen: " + QString::fromStdString(history_.RedoName());
  MoveInHistory(&TUndoHistory::Redo, &TUndoHistory::Undo, told);
}

bool TMainForm::MoveInHistory(THistoryMove move, THistoryMove back, const QString& told) {
  // A dialog may hold references into the tree that the step would replace.
  if (QApplication::activeModalWidget() != nullptr) return false;
  const TDocumentState* state = (history_.*move)();
  if (state == nullptr) return false;
  TRestoredDocument restored;
  std::string error;
  if (!RestoreSnapshot(*state, &CurrentEntry, restored, error)) {
    (history_.*back)();
    ShowError(QString::fromStdString(error));
    return false;
  }
  TakeOverDocument(restored.Root, restored.Font, restored.Background, restored.Margin);
  // Back at the state last saved or opened, the document counts as unchanged.
  Changed = !history_.AtSaved();
  ComposeCaption();
  ShowHistoryState();
  Announce(this, told);
  return true;
}

void TMainForm::StartHistory(TDocumentState state) {
  history_.Reset(std::move(state));
  SetUnChanged();
  ShowHistoryState();
}

void TMainForm::ShowHistoryState() {
  const auto label = [](const char* command, const std::string& step) {
    return step.empty() ? QString(command) : QString(command) + ": " + QString::fromStdString(step);
  };
  UndoAction->setText(label("&Rückgängig", history_.UndoName()));
  UndoAction->setEnabled(history_.CanUndo());
  RedoAction->setText(label("&Wiederherstellen", history_.RedoName()));
  RedoAction->setEnabled(history_.CanRedo());
}

// ---- TMainForm: files from outside ---------------------------------------------------

namespace {

// The one local file a drag carries; empty for anything else.
QString DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().first();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

// Text that is no address: a formula in LaTeX.
bool IsDraggedText(const QMimeData* data) {
  return data != nullptr && data->urls().isEmpty() && !data->text().isEmpty();
}

}  // namespace

// Queued: the prompt and an error message are modal, and neither the start
// nor a drop source should wait for them.
void TMainForm::OpenFromOutside(const QString& path) {
  RunCommand([&] {
    QMetaObject::invokeMethod(
        this,
        [this, path]() {
          RunCommand([&] {
            if (SavePrompt(kOpenQuestion)) OpenFileWithName(path);
          });
        },
        Qt::QueuedConnection);
  });
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  RunCommand([&] {
    const QMimeData* data = event->mimeData();
    if (!DraggedFile(data).isEmpty() || IsDraggedText(data)) event->acceptProposedAction();
  });
}

void TMainForm::dropEvent(QDropEvent* event) {
  RunCommand([&] { TakeDrop(event); });
}

void TMainForm::TakeDrop(QDropEvent* event) {
  const QMimeData* data = event->mimeData();
  const QString path = DraggedFile(data);
  if (!path.isEmpty()) {
    event->acceptProposedAction();
    OpenFromOutside(path);
  } else if (IsDraggedText(data)) {
    event->acceptProposedAction();
    const QString text = data->text();
    QMetaObject::invokeMethod(
        this, [this, text]() { RunCommand([&] { AppendLatex(text); }); }, Qt::QueuedConnection);
  }
}

void TMainForm::AppendLatex(const QString& text) {
  TOwnedLine read;
  TTextError error;
  if (!FormulaFromLatex(text.toStdU16String(), &CurrentEntry, read, error)) {
    ShowError("Der Text ist keine lesbare Formel in LaTeX.\n" +
              QString::fromStdString(error.Describe()));
    return;
  }
  if (read->Count() > 0) AppendFormula(read.get(), "Text einfügen");
}

// ---- TMainForm: failures --------------------------------------------------------------

std::function<void()> TMainForm::Command(void (TMainForm::*handler)()) {
  return [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); };
}

TFormulaLine* TMainForm::NewLine(TEntryCursor* cursor) {
  TFormulaLine* line = CreateLine(cursor);
  if (line == nullptr) throw std::bad_alloc();
  return line;
}

// The one boundary of the window's commands (RunCommand): whatever fails in a
// command ends that command, never the program. The user is told, and the
// document goes back to the state the history last recorded, which is the
// document as it was before the command (or, when the command had recorded
// its step, as it made it).
void TMainForm::EndFailedCommand(const std::exception_ptr& failure, TCommandStart start) noexcept {
  TellOfFailure(failure);
  try {
    BackToRecordedState(start);
  } catch (...) {
    TellOfFailure(std::current_exception());
  }
}

// An open dialog may hold references into the tree: the tree stays then.
void TMainForm::BackToRecordedState(TCommandStart start) {
  const TDocumentState* recorded = history_.Current();
  if (recorded == nullptr || QApplication::activeModalWidget() != nullptr) return;
  TRestoredDocument restored;
  std::string error;
  if (!RestoreSnapshot(*recorded, &CurrentEntry, restored, error)) {
    ReportFailureText(error);
    return;
  }
  TakeOverDocument(restored.Root, restored.Font, restored.Background, restored.Margin);
  // Back where the command began, the document is marked as it was then.
  Changed = history_.CurrentSerial() == start.Serial ? start.Changed : !history_.AtSaved();
  ComposeCaption();
  ShowHistoryState();
}

// A paint changes no document: one that fails leaves the picture as it was,
// with nothing that a double-click or an export could take from a half-made
// one. The message comes once until a paint succeeds, not at every repaint.
void TMainForm::EndFailedPaint(const std::exception_ptr& failure) noexcept {
  LastRecording = TRecording{};
  PlacedEntries = THitMap{};
  PictureParts.Renew(FormulaBitmap.Width(), FormulaBitmap.Height());
  if (!std::exchange(paintFailed_, true)) TellOfFailure(failure);
}
