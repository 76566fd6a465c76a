// The picture file formats, known by their extensions: one table for the
// command line, the editor's file dialog and the clipboard.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

enum class TPictureFormat { Png, Jpeg, Bmp, Svg, Pdf };

struct TPictureFormatInfo {
  TPictureFormat Format;
  std::string_view Label;                      // German, for file dialogs
  std::array<std::string_view, 2> Extensions;  // lower case with the dot; the first is the usual
  std::string_view MimeType;
  bool Transparency;     // can be written with a transparent background
  bool CarriesDocument;  // the formula travels inside the picture
};

std::span<const TPictureFormatInfo> PictureFormats();
const TPictureFormatInfo& InfoOf(TPictureFormat format);
// The format a file name's extension names, case aside; nullptr for none.
const TPictureFormatInfo* PictureFormatOfPath(std::string_view path);
// "PNG-Bild (*.png)", as a file dialog's name filter.
std::string NameFilterOf(const TPictureFormatInfo& info);
