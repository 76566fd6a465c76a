// The grid of the Mathematical Operators block (U+2200..U+22FF) under a
// dialog's text field; a click on a cell inserts its character at the caret.
// Both the entry list editor and the term editor host one; their PaintBox1
// handlers delegate here.
#pragma once

#include <QWidget>
#include <functional>

#include "model/FontDesc.h"

class QLineEdit;
class QPainter;
class QScrollArea;

namespace SymbolPalette {

inline constexpr int kColumns = 20;
inline constexpr int kRows = 13;
inline constexpr int kCells = 256;
inline constexpr int kPitch = 24;
inline constexpr int kCellSize = 23;
inline constexpr int kTextOffset = 3;
inline constexpr int kSurfaceHeight = kRows * kPitch;
inline constexpr int kGridWidth = kColumns * kPitch;
inline constexpr char16_t kFirstSymbol = 0x2200;
inline constexpr int kPointSize = 11;

// The document font at the palette's size: face, style and colour kept.
TFontDesc PaletteFont(const TFontDesc& documentFont);
// Draws every cell; the pixels between the cells are left alone. Without a
// document font the default description stands in.
void Paint(QPainter& painter, const TFontDesc* documentFont);
// The middle of the cell's square, where a click on it lands.
int CentreX(int cell);
int CentreY(int cell);
// The cell whose 24-pixel square holds (x, y), or -1 for none.
int CellAt(int x, int y);
// Puts the cell's character at the start of the field's selection, drops the
// selection and leaves the caret behind the character.
void InsertSymbol(QLineEdit& field, int cell);
// A press of any mouse button at (x, y) on the surface; outside the cells nothing happens.
void ClickAt(QLineEdit& field, int x, int y);

}  // namespace SymbolPalette

// PaintBox1: a surface that leaves painting and clicks to its dialog's
// handlers. A click leaves the focus where it was; Tab reaches the surface,
// and then the arrow keys move a visible mark over the symbols, Page Up and
// Page Down move it a page, and Enter or Space insert its symbol as a click
// on it does.
class TPaletteBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaletteBox(QWidget* parent = nullptr);

  std::function<void(QPainter&)> OnPaint;
  std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)> OnMouseDown;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Mark(int cell);
  int PageOfRows() const;
  static int InColumnWithin(int cell);

  int marked_ = 0;
};

// ScrollBox1 in the workspace colour with PaintBox1 at its top, as wide as the area.
struct TPaletteArea {
  QScrollArea* ScrollBox1 = nullptr;
  TPaletteBox* PaintBox1 = nullptr;
};
TPaletteArea CreatePaletteArea(QWidget* parent, const QRect& geometry);

// Builds the palette into a dialog's ScrollBox1 and PaintBox1 and hands the
// surface's painting and clicks to the dialog's PaintBox1 handlers.
template <class TDialog>
void HostPalette(TDialog& dialog, QWidget* parent, const QRect& geometry) {
  const TPaletteArea area = CreatePaletteArea(parent, geometry);
  dialog.ScrollBox1 = area.ScrollBox1;
  dialog.PaintBox1 = area.PaintBox1;
  dialog.PaintBox1->OnPaint = [&dialog](QPainter& canvas) { dialog.PaintBox1Paint(canvas); };
  dialog.PaintBox1->OnMouseDown = [&dialog](Qt::MouseButton button, Qt::KeyboardModifiers shift,
                                            int x, int y) {
    dialog.PaintBox1MouseDown(button, shift, x, y);
  };
}
