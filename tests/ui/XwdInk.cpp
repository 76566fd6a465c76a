// Counts the dark pixels in a rectangle of an X window dump (xwd, ZPixmap,
// 24 or 32 bits per pixel): how much ink a screenshot shows there.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::uint32_t BigEndian(const std::vector<unsigned char>& d, std::size_t field) {
  const std::size_t at = field * 4;
  return std::uint32_t{d[at]} << 24 | std::uint32_t{d[at + 1]} << 16 |
         std::uint32_t{d[at + 2]} << 8 | d[at + 3];
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 6) {
    std::cerr << "usage: xwd-ink FILE.xwd X Y WIDTH HEIGHT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<unsigned char> d{std::istreambuf_iterator<char>(in), {}};
  if (d.size() < 100) return std::cerr << "not an xwd file\n", 1;
  const std::uint32_t headerSize = BigEndian(d, 0), width = BigEndian(d, 4),
                      height = BigEndian(d, 5), byteOrder = BigEndian(d, 7),
                      bitsPerPixel = BigEndian(d, 11), bytesPerLine = BigEndian(d, 12),
                      colors = BigEndian(d, 19);
  if (bitsPerPixel != 32 && bitsPerPixel != 24) {
    return std::cerr << "expected 24 or 32 bits per pixel\n", 1;
  }
  const std::size_t bytesPerPixel = bitsPerPixel / 8;
  const std::size_t data = headerSize + std::size_t{colors} * 12;
  const int x0 = std::stoi(argv[2]), y0 = std::stoi(argv[3]);
  const int x1 = x0 + std::stoi(argv[4]), y1 = y0 + std::stoi(argv[5]);
  long dark = 0;
  for (int y = std::max(0, y0); y < std::min<int>(y1, static_cast<int>(height)); ++y) {
    for (int x = std::max(0, x0); x < std::min<int>(x1, static_cast<int>(width)); ++x) {
      const std::size_t at = data + std::size_t(y) * bytesPerLine + std::size_t(x) * bytesPerPixel;
      if (at + bytesPerPixel > d.size()) break;
      const unsigned char* p = &d[at];
      // LSB first: B G R [X]; MSB first: [X] R G B.
      const std::size_t skip = bytesPerPixel - 3;
      const int r = byteOrder == 0 ? p[2] : p[skip], g = byteOrder == 0 ? p[1] : p[skip + 1],
                b = byteOrder == 0 ? p[0] : p[skip + 2];
      if (std::max({r, g, b}) < 100) ++dark;
    }
  }
  std::cout << dark << '\n';
  return 0;
}
