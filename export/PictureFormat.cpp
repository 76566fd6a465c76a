#include "export/PictureFormat.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr TPictureFormatInfo kFormats[] = {
    {TPictureFormat::Png, "PNG-Bild", {".png", ""}, "image/png", true, true},
    {TPictureFormat::Jpeg, "JPEG-Bild", {".jpg", ".jpeg"}, "image/jpeg", false, false},
    {TPictureFormat::Bmp, "BMP-Bild", {".bmp", ""}, "image/bmp", false, false},
    {TPictureFormat::Svg, "SVG-Grafik", {".svg", ""}, "image/svg+xml", true, true},
    {TPictureFormat::Pdf, "PDF-Dokument", {".pdf", ""}, "application/pdf", false, false},
};

std::string LowerExtension(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

}  // namespace

std::span<const TPictureFormatInfo> PictureFormats() { return kFormats; }

const TPictureFormatInfo& InfoOf(TPictureFormat format) {
  return *std::find_if(std::begin(kFormats), std::end(kFormats),
                       [format](const TPictureFormatInfo& info) { return info.Format == format; });
}

const TPictureFormatInfo* PictureFormatOfPath(std::string_view path) {
  const std::string extension = LowerExtension(path);
  if (extension.empty()) return nullptr;
  for (const TPictureFormatInfo& info : kFormats) {
    if (std::find(info.Extensions.begin(), info.Extensions.end(), extension) !=
        info.Extensions.end()) {
      return &info;
    }
  }
  return nullptr;
}

std::string NameFilterOf(const TPictureFormatInfo& info) {
  std::string filter = std::string(info.Label) + " (";
  for (std::string_view extension : info.Extensions) {
    if (extension.empty()) continue;
    if (filter.back() != '(') filter += ' ';
    filter += '*';
    filter += extension;
  }
  return filter + ')';
}
