// The cost of saving the start-up formula's picture: the bitmap as it is
// (PNG 1x), a replay at four times the resolution (PNG 4x), and the vector
// files. The paint itself is done once, as the editor has it at hand.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImageWriter>

#include "docfile/DocFile.h"
#include "export/Export.h"
#include "export/PngWriter.h"
#include "render/Palette.h"
#include "render/QImageCanvas.h"

namespace {

class TSamplePicture {
 public:
  explicit TSamplePicture(std::uint32_t background = kWhite) : root_(CreateLine(&cursor_)) {
    BuildSampleFormula(root_);
    TPaintInput input;
    input.Root = root_;
    input.Background = background;
    Picture = PaintPicture(input);
    Picture.Document = EncodeDocument(root_, TStoredFont(), background, 20.0);
  }
  ~TSamplePicture() { freetheline(root_); }
  TSamplePicture(const TSamplePicture&) = delete;
  TSamplePicture& operator=(const TSamplePicture&) = delete;

  TPicture Picture;

 private:
  TEntryCursor cursor_ = nullptr;
  TFormulaLine* root_;
};

void BM_ExportSample(benchmark::State& state, TExportOptions options) {
  const TSamplePicture sample;
  QByteArray bytes;
  std::string error;
  for (auto _ : state) {
    if (!EncodePicture(sample.Picture, options, bytes, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
    benchmark::DoNotOptimize(bytes.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

BENCHMARK_CAPTURE(BM_ExportSample, Png1x, TExportOptions{TPictureFormat::Png, 1, false})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportSample, Png4x, TExportOptions{TPictureFormat::Png, 4, false})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportSample, Svg, TExportOptions{TPictureFormat::Svg, 1, false})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportSample, Pdf, TExportOptions{TPictureFormat::Pdf, 1, false})
    ->Unit(benchmark::kMillisecond);

// The PNG writer's compression level (0 for runs only, libdeflate's 1 to
// 12) on the start-up formula's palette picture, with the bytes it gives: the
// measurement behind the level the export uses. BM_PngCompressionQt is
// Qt's own writer (zlib) at its settings 0 to 100, for comparison.
void BM_PngCompression(benchmark::State& state) {
  const TSamplePicture sample;
  const QImage palette = PaletteImage(sample.Picture.Bitmap);
  TPngOptions options;
  options.Level = static_cast<int>(state.range(0));
  QByteArray bytes;
  for (auto _ : state) {
    if (!WritePng(palette, options, bytes)) state.SkipWithError("PNG not written");
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_PngCompression)->DenseRange(kMinPngLevel, kMaxPngLevel)->Unit(benchmark::kMicrosecond);

void BM_PngCompressionQt(benchmark::State& state) {
  const TSamplePicture sample;
  const QImage palette = PaletteImage(sample.Picture.Bitmap);
  QByteArray bytes;
  for (auto _ : state) {
    bytes.clear();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression(static_cast<int>(state.range(0)));
    if (!writer.write(palette)) state.SkipWithError("PNG not written");
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_PngCompressionQt)->DenseRange(0, 100, 10)->Unit(benchmark::kMicrosecond);

// Finding the palette of the start-up formula's picture: black on white,
// all greys, and on a light yellow background, which takes the search for
// colours (the value is the background's: red in the lowest byte); with the
// widest vector units here, and with AVX2 and none for processors without.
void BM_PaletteOfSample(benchmark::State& state, std::uint32_t background, TVectorUnits units) {
  const TSamplePicture sample(background);
  if (VectorUnitsUpTo(units) != units) state.SkipWithError("not on this processor");
  for (auto _ : state) {
    benchmark::DoNotOptimize(PaletteImage(sample.Picture.Bitmap, units).colorCount());
  }
  state.counters["colours"] = PaletteImage(sample.Picture.Bitmap, units).colorCount();
}
BENCHMARK_CAPTURE(BM_PaletteOfSample, BlackOnWhite, kWhite, TVectorUnits::Avx512)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PaletteOfSample, OnYellow, 0xC0FFFFu, TVectorUnits::Avx512)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PaletteOfSample, BlackOnWhiteAvx2, kWhite, TVectorUnits::Avx2)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PaletteOfSample, OnYellowAvx2, 0xC0FFFFu, TVectorUnits::Avx2)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PaletteOfSample, BlackOnWhitePlain, kWhite, TVectorUnits::Plain)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PaletteOfSample, OnYellowPlain, 0xC0FFFFu, TVectorUnits::Plain)
    ->Unit(benchmark::kMicrosecond);

// What the editor pays for keeping a recording of every paint: compare with
// bench_render's BM_PaintSampleFormulaOnQImage.
void BM_PaintSampleRecorded(benchmark::State& state) {
  TEntryCursor cursor = nullptr;
  TFormulaLine* root = CreateLine(&cursor);
  BuildSampleFormula(root);
  TQImageCanvas canvas;
  TPaintInput input;
  input.Root = root;
  PaintComplete(canvas, input);  // at its size: every paint below is one run
  for (auto _ : state) benchmark::DoNotOptimize(PaintFormulaRecorded(canvas, input).Complete);
  freetheline(root);
}
BENCHMARK(BM_PaintSampleRecorded)->Unit(benchmark::kMicrosecond);

// A windowing repaint on a screen of device pixel ratio 2 paints again; the
// picture at twice the pixels is redrawn only when the recording differs,
// which a comparison tells.
void BM_ScaledBitmap2x(benchmark::State& state) {
  const TSamplePicture sample;
  for (auto _ : state) benchmark::DoNotOptimize(ScaledBitmap(sample.Picture, 2));
}
BENCHMARK(BM_ScaledBitmap2x)->Unit(benchmark::kMicrosecond);

void BM_CompareSameRecording(benchmark::State& state) {
  const TSamplePicture sample;
  const TRecording copy = sample.Picture.Recording;
  for (auto _ : state) benchmark::DoNotOptimize(copy == sample.Picture.Recording);
}
BENCHMARK(BM_CompareSameRecording)->Unit(benchmark::kMicrosecond);

}  // namespace
