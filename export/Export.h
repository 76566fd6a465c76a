// Saving the formula picture: PNG, JPEG and BMP as the screen shows it or at
// two to four times its resolution, SVG with text kept as text, PDF on a
// page of the picture's size. PNG and SVG carry the document with them.
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

#include "render/Paint.h"
#include "export/PictureFormat.h"
#include "render/RecordingCanvas.h"

inline constexpr int kMinExportScale = 1;
inline constexpr int kMaxExportScale = 4;
struct TPicture {
  QImage Bitmap;                       // the screen picture, pixel for pixel
  TRecording Recording;                // the paint that drew Bitmap, for other scales and vectors
  std::vector<std::uint8_t> Document;  // the .qmt bytes PNG and SVG carry; empty for none
  // The size the layout asked for, where it is beyond the picture limit
  // (PictureLimit.h) and Bitmap therefore null; otherwise 0 × 0.
  TSize TooLarge;
};

// The complete picture on a fresh bitmap, as the editor's second paint
// shows it, with the recording of that paint. Document stays empty. A
// picture beyond the limit is laid out once and gets no bitmap (TooLarge).
TPicture PaintPicture(const TPaintInput& input);

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
