// A formula with every kind of stroke for the export tests, and its picture.
#pragma once

#include <QImage>
#include <QRect>

#include "export/Export.h"
#include "tests/render/FormulaTrees.h"

// The start-up formula, then a cube root (slanted strokes) and an absolute
// value (2-pixel bars).
inline void BuildShowcase(TFormulaLine* root) {
  BuildSampleFormula(root);
  AppendTermEntry(root, u"+");
  AppendTermEntry(AddFunction(root, fkWurzel, u"3").First, u"x - 1");
  AppendTermEntry(root, u"-");
  AppendTermEntry(AddFunction(root, fkBetrag).First, u"y");
}

inline TPicture ShowcasePicture(const TFormulaTree& tree, std::uint32_t background = kWhite) {
  TPaintInput input;
  input.Root = tree.Root();
  input.Background = background;
  return PaintPicture(input);
}

// The smallest rectangle holding every pixel unlike the top-left one.
inline QRect InkBox(const QImage& image) {
  const QRgb paper = image.pixel(0, 0);
  QRect box;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != paper) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}
