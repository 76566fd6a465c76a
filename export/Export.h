// Saving the formula picture: PNG, JPEG and BMP as the screen shows it or at
// two to four times its resolution, SVG with text kept as text, PDF on a
// page of the picture's size. PNG and SVG carry the document with them;
// PNG, SVG and PDF describe the formula in words (TPictureText).
//
// The editor keeps, beside its bitmap, the recording of its last complete
// paint (PaintFormulaRecorded) and builds a TPicture from both when the user
// saves or copies the picture.
#pragma once

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

#include "export/PictureFormat.h"
#include "render/Paint.h"
#include "render/RecordingCanvas.h"

class TQImageCanvas;

inline constexpr int kMinExportScale = 1;
inline constexpr int kMaxExportScale = 4;

// What the picture says to those who cannot see it: the SVG's title and
// description, the PNG's Description, the PDF's structure element. Empty
// texts are written as the title "Formel".
struct TPictureText {
  std::u16string Spoken;  // SpeechFromFormula
  std::u16string Latex;   // LatexFromFormula
};

// The PNG text chunk (iTXt, German) that holds the spoken formula.
inline constexpr const char* kPictureDescriptionKey = "Description";

// Both texts of a formula, for whoever builds a TPicture from a tree.
TPictureText PictureTextOf(const TFormulaLine* line);
// The spoken formula as every picture carries it: "Formel" when there is
// none, without the characters that XML, PNG texts and PDF strings cannot
// hold (control characters and lone surrogates become U+FFFD), and cut
// after a word (with " …") where it would take hours to hear.
std::u16string PictureDescription(const TPictureText& text);

struct TPicture {
  QImage Bitmap;                       // the screen picture, pixel for pixel
  TRecording Recording;                // the paint that drew Bitmap, for other scales and vectors
  std::vector<std::uint8_t> Document;  // the .qmt bytes PNG and SVG carry; empty for none
  // The size the layout asked for, where it is beyond the picture limit
  // (PictureLimit.h) and Bitmap therefore null; otherwise 0 × 0.
  TSize TooLarge;
  TPictureText Text{};  // none for a picture only shown
};

// The complete picture on a fresh bitmap, as the editor's second paint
// shows it, with the recording of that paint. Document stays empty. A
// picture beyond the limit is laid out once and gets no bitmap (TooLarge).
TPicture PaintPicture(const TPaintInput& input);
// The same picture, pixel for pixel, on `canvas`, which a caller making many
// pictures keeps, as the editor keeps its own: a picture of the size the
// canvas has is painted once instead of twice, and the canvas's fonts and
// shaped texts serve every picture. One canvas for one thread.
TPicture PaintPicture(TQImageCanvas& canvas, const TPaintInput& input);

struct TExportOptions {
  TPictureFormat Format = TPictureFormat::Png;
  int Scale = kMinExportScale;  // resolution 96 × Scale pixels per inch
  bool Transparent = false;     // PNG and SVG only
};

// A German message for options no picture can be written with.
bool CheckExportOptions(const TExportOptions& options, std::string& error);

// The picture file's bytes. Raster formats at scale 1 are the bitmap itself;
// everything else is drawn from the recording.
bool EncodePicture(const TPicture& picture, const TExportOptions& options, QByteArray& bytes,
                   std::string& error);
// The picture drawn again from its recording at `scale` times the pixels, as
// the raster export draws it: for screens with more than one device pixel
// per logical pixel. Null when the recording is not the bitmap's or the
// size cannot be allocated.
QImage ScaledBitmap(const TPicture& picture, int scale);

// Encodes and writes atomically: an existing file is replaced only by a
// complete new one. `error` gets the message to show.
bool ExportPicture(const TPicture& picture, const std::string& path, const TExportOptions& options,
                   std::string& error);
