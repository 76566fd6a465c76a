// Renders the program's SVG icon into the PNG sizes that icon themes look up
// first, so that no bitmap has to be kept beside the drawing.
// Usage: qm-render-icon ICON.svg OUTPUT_DIR SIZE...
// Writes OUTPUT_DIR/SIZExSIZE/quillmora.png for each size.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

namespace {

bool RenderOne(QSvgRenderer& renderer, const QString& folder, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter);
  painter.end();
  const QString sub = QString("%1x%1").arg(size);
  return QDir(folder).mkpath(sub) && image.save(folder + "/" + sub + "/quillmora.png");
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 4) {
    std::fputs("Aufruf: qm-render-icon SYMBOL.svg ZIELORDNER GRÖSSE...\n", stderr);
    return 2;
  }
  QGuiApplication app(argc, argv);
  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  if (!renderer.isValid()) {
    std::fprintf(stderr, "%s: kein lesbares SVG\n", argv[1]);
    return 1;
  }
  const QString folder = QString::fromLocal8Bit(argv[2]);
  for (int i = 3; i < argc; ++i) {
    const int size = QString::fromLocal8Bit(argv[i]).toInt();
    if (size <= 0 || !RenderOne(renderer, folder, size)) {
      std::fprintf(stderr, "%s: Größe %s nicht geschrieben\n", argv[2], argv[i]);
      return 1;
    }
  }
  return 0;
}
