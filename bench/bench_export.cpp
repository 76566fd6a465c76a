// The cost of saving the start-up formula's picture: the bitmap as it is
// (PNG 1x), a replay at four times the resolution (PNG 4x), and the vector
// files. The paint itself is done once, as the editor has it at hand.
#include <benchmark/benchmark.h>

#include "docfile/DocFile.h"
#include "render/Export.h"
#include "render/QImageCanvas.h"

namespace {

class TSamplePicture {
 public:
  TSamplePicture() : root_(CreateLine(&cursor_)) {
    BuildSampleFormula(root_);
    TPaintInput input;
    input.Root = root_;
    Picture = PaintPicture(input);
    Picture.Document = EncodeDocument(root_, TStoredFont(), kWhite, 20.0);
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

}  // namespace
