#include "render/QtFont.h"

#include <QGuiApplication>
#include <QPalette>

#include "model/Ansi.h"

namespace {

// Windows system colour indices and the palette roles that stand in for them.
QColor SystemColor(std::uint32_t index) {
  const QPalette palette = QGuiApplication::palette();
  switch (index) {
    case 5:  // window
      return palette.color(QPalette::Base);
    case 6:  // window frame
      return palette.color(QPalette::Shadow);
    case 9:  // caption text
    case 8:  // window text
      return palette.color(QPalette::WindowText);
    case 12:  // application workspace
      return palette.color(QPalette::Dark);
    case 13:  // highlight
      return palette.color(QPalette::Highlight);
    case 14:  // highlight text
      return palette.color(QPalette::HighlightedText);
    case 15:  // button face
      return palette.color(QPalette::Button);
    case 16:  // button shadow
      return palette.color(QPalette::Mid);
    case 17:  // grey text
      return palette.color(QPalette::Disabled, QPalette::Text);
    case 18:  // button text
      return palette.color(QPalette::ButtonText);
    case 20:  // button highlight
      return palette.color(QPalette::Light);
    case 23:  // tooltip text
      return palette.color(QPalette::ToolTipText);
    case 24:  // tooltip background
      return palette.color(QPalette::ToolTipBase);
    default:
      return palette.color(QPalette::WindowText);
  }
}

}  // namespace

QColor ColorFromValue(std::uint32_t value) {
  if ((value >> 24) == 0x80) return SystemColor(value & 0xFF);
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

std::uint32_t ValueFromColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return static_cast<std::uint32_t>(rgb.red()) | static_cast<std::uint32_t>(rgb.green()) << 8 |
         static_cast<std::uint32_t>(rgb.blue()) << 16;
}

QFont QFontFromDesc(const TFontDesc& font, int pixelSize) {
  QFont qfont(QString::fromStdU16String(AnsiToUtf16(font.Name)));
  if (pixelSize > 0) qfont.setPixelSize(pixelSize);
  qfont.setBold(font.Style & fsBold);
  qfont.setItalic(font.Style & fsItalic);
  qfont.setUnderline(font.Style & fsUnderline);
  qfont.setStrikeOut(font.Style & fsStrikeOut);
  if (font.Pitch == 2) qfont.setFixedPitch(true);
  return qfont;
}
