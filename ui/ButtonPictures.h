// The pictures on the dialogs' buttons, drawn by the program itself so that
// no image files travel with it.
#pragma once

#include <QIcon>
#include <QPixmap>

enum class TButtonPicture {
  CheckMark,    // green: confirm, add, close
  Cross,        // red: remove
  CycleArrows,  // green, chasing each other: edit
  ArrowUp,      // red
  ArrowDown,    // red
};

// The picture as the enabled button shows it, size × size logical pixels on
// a transparent ground, drawn at `ratio` device pixels per logical pixel.
QPixmap ButtonPixmap(TButtonPicture picture, int size, int ratio = 1);
// The grey outline that a disabled button shows instead.
QPixmap DisabledButtonPixmap(TButtonPicture picture, int size, int ratio = 1);
// Both forms, the grey one registered for QIcon::Disabled, each drawn for
// screens of 1 to 3 device pixels per logical pixel, so that a high-density
// screen shows them sharp.
QIcon ButtonIcon(TButtonPicture picture, int size);

// Picture sizes on the dialogs' buttons.
inline constexpr int kPanelPictureSize = 18;
inline constexpr int kMovePictureSize = 16;
