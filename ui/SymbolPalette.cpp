#include "ui/SymbolPalette.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <algorithm>

#include "render/QtFont.h"

namespace SymbolPalette {

// The system colour "application workspace", by palette index.
constexpr std::uint32_t kWorkspaceColor = 0x8000000Cu;

namespace {

QString SymbolText(int cell) { return QString(QChar(kFirstSymbol + cell)); }

}  // namespace

int CentreX(int cell) { return (cell % kColumns) * kPitch + kPitch / 2; }
int CentreY(int cell) { return (cell / kColumns) * kPitch + kPitch / 2; }

namespace {

void PaintCell(QPainter& painter, int cell, const QColor& textColor) {
  const int left = (cell % kColumns) * kPitch;
  const int top = (cell / kColumns) * kPitch;
  // A 1-pixel pen outlines the 23 × 23 frame on its outermost pixels.
  painter.setPen(Qt::black);
  painter.drawRect(left, top, kCellSize - 1, kCellSize - 1);
  painter.setPen(textColor);
  const int baseline = top + kTextOffset + painter.fontMetrics().ascent();
  painter.drawText(left + kTextOffset, baseline, SymbolText(cell));
}

}  // namespace

TFontDesc PaletteFont(const TFontDesc& documentFont) {
  TFontDesc font = documentFont;
  font.Height = HeightFromPointSize(kPointSize, kScreenPixelsPerInch);
  return font;
}

void Paint(QPainter& painter, const TFontDesc* documentFont) {
  const TFontDesc font = PaletteFont(documentFont != nullptr ? *documentFont : TFontDesc());
  painter.setFont(QFontFromDesc(font, -font.Height));
  painter.setBrush(Qt::white);
  // The character stands on an opaque white ground, like the cell itself.
  painter.setBackground(Qt::white);
  painter.setBackgroundMode(Qt::OpaqueMode);
  const QColor textColor = ColorFromValue(font.Color);
  for (int cell = 0; cell < kCells; ++cell) PaintCell(painter, cell, textColor);
}

int CellAt(int x, int y) {
  if (x < 0 || y < 0) return -1;
  const int column = x / kPitch;
  const int cell = (y / kPitch) * kColumns + column;
  return column < kColumns && cell < kCells ? cell : -1;
}

void InsertSymbol(QLineEdit& field, int cell) {
  const int start = field.hasSelectedText() ? field.selectionStart() : field.cursorPosition();
  QString text = field.text();
  text.insert(start, SymbolText(cell));
  field.setText(text);
  field.setCursorPosition(start + 1);
}

void ClickAt(QLineEdit& field, int x, int y) {
  if (const int cell = CellAt(x, y); cell >= 0) InsertSymbol(field, cell);
}

}  // namespace SymbolPalette

TPaletteBox::TPaletteBox(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::TabFocus);
  setAccessibleName("Symbole");
}

void TPaletteBox::paintEvent(QPaintEvent*) {
  if (!OnPaint) return;
  QPainter painter(this);
  OnPaint(painter);
  if (!hasFocus()) return;
  // The mark: a 2-pixel ring in the highlight colour around the cell.
  using namespace SymbolPalette;
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
  painter.drawRect((marked_ % kColumns) * kPitch + 1, (marked_ / kColumns) * kPitch + 1,
                   kCellSize - 2, kCellSize - 2);
}

void TPaletteBox::keyPressEvent(QKeyEvent* event) {
  using namespace SymbolPalette;
  const int page = PageOfRows() * kColumns;
  switch (event->key()) {
    case Qt::Key_Left:
      return Mark(marked_ - 1);
    case Qt::Key_Right:
      return Mark(marked_ + 1);
    case Qt::Key_Up:
      return Mark(marked_ - kColumns);
    case Qt::Key_Down:
      return Mark(marked_ + kColumns);
    case Qt::Key_PageUp:
      return Mark(InColumnWithin(marked_ - page));
    case Qt::Key_PageDown:
      return Mark(InColumnWithin(marked_ + page));
    case Qt::Key_Home:
      return Mark(0);
    case Qt::Key_End:
      return Mark(kCells - 1);
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (OnMouseDown)
        OnMouseDown(Qt::LeftButton, Qt::NoModifier, CentreX(marked_), CentreY(marked_));
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

// A page up or down stops at the first or last row, in the same column.
int TPaletteBox::InColumnWithin(int cell) {
  using namespace SymbolPalette;
  while (cell < 0) cell += kColumns;
  while (cell >= kCells) cell -= kColumns;
  return cell;
}

// Moves the mark within the grid and scrolls it into view.
void TPaletteBox::Mark(int cell) {
  using namespace SymbolPalette;
  if (cell < 0 || cell >= kCells) return;
  marked_ = cell;
  if (auto* scroll = qobject_cast<QScrollArea*>(
          parentWidget() != nullptr ? parentWidget()->parentWidget() : nullptr)) {
    scroll->ensureVisible(CentreX(cell), CentreY(cell), kPitch, kPitch);
  }
  update();
}

// The whole rows the area shows at once.
int TPaletteBox::PageOfRows() const {
  const QWidget* viewport = parentWidget();
  const int shown = viewport != nullptr ? viewport->height() : height();
  return std::max(1, shown / SymbolPalette::kPitch);
}

void TPaletteBox::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  Mark(marked_);
}

void TPaletteBox::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

void TPaletteBox::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (OnMouseDown) OnMouseDown(event->button(), event->modifiers(), at.x(), at.y());
  event->accept();
}

TPaletteArea CreatePaletteArea(QWidget* parent, const QRect& geometry) {
  TPaletteArea area;
  area.ScrollBox1 = new QScrollArea(parent);
  area.ScrollBox1->setGeometry(geometry);
  area.ScrollBox1->setFocusPolicy(Qt::NoFocus);
  area.ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The gaps between the cells show the area's own colour, the workspace's.
  QPalette colours = area.ScrollBox1->viewport()->palette();
  colours.setColor(QPalette::Window, ColorFromValue(SymbolPalette::kWorkspaceColor));
  area.ScrollBox1->viewport()->setPalette(colours);
  area.ScrollBox1->viewport()->setBackgroundRole(QPalette::Window);
  area.ScrollBox1->viewport()->setAutoFillBackground(true);

  area.PaintBox1 = new TPaletteBox;
  area.PaintBox1->setFixedHeight(SymbolPalette::kSurfaceHeight);
  area.ScrollBox1->setWidgetResizable(true);
  area.ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  area.ScrollBox1->setWidget(area.PaintBox1);
  return area;
}
