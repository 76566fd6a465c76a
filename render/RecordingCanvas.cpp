#include "render/RecordingCanvas.h"

#include <utility>

TRecording TRecordingCanvas::TakeRecording(std::uint32_t background) {
  TRecording recording;
  recording.Size = {inner_.Width(), inner_.Height()};
  recording.Background = background;
  recording.Ops = std::move(ops_);
  ops_.clear();
  return recording;
}

// The extent of no text is the font's cell height: what a replay needs to
// place the text's baseline without the canvas.
void TRecordingCanvas::TextOut(std::int32_t x, std::int32_t y, std::u16string_view text) {
  inner_.TextOut(x, y, text);
  ops_.emplace_back(std::in_place_type<TRecordedText>,
                    TRecordedText{x, y, std::u16string(text), inner_.Font(),
                                  inner_.TextExtent(std::u16string_view()).cy});
}

void TRecordingCanvas::SetPenColor(std::uint32_t color) {
  penColor_ = color;
  inner_.SetPenColor(color);
}

void TRecordingCanvas::SetPenWidth(std::int32_t width) {
  penWidth_ = width;
  inner_.SetPenWidth(width);
}

void TRecordingCanvas::SetBrushColor(std::uint32_t color) {
  brushColor_ = color;
  inner_.SetBrushColor(color);
}

void TRecordingCanvas::MoveTo(std::int32_t x, std::int32_t y) {
  penX_ = x;
  penY_ = y;
  inner_.MoveTo(x, y);
}

void TRecordingCanvas::LineTo(std::int32_t x, std::int32_t y) {
  inner_.LineTo(x, y);
  ops_.emplace_back(std::in_place_type<TLineOp>, TLineOp{penX_, penY_, x, y, penWidth_, penColor_});
  penX_ = x;
  penY_ = y;
}

void TRecordingCanvas::FillRect(std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                std::int32_t y2) {
  inner_.FillRect(x1, y1, x2, y2);
  ops_.emplace_back(std::in_place_type<TFillOp>, TFillOp{x1, y1, x2, y2, brushColor_});
}

TRecordedPaint PaintFormulaRecorded(TCanvas& canvas, const TPaintInput& input) {
  const TSize before{canvas.Width(), canvas.Height()};
  TRecordingCanvas recorder(canvas);
  TRecordedPaint paint;
  paint.Size = PaintFormula(recorder, input);
  paint.Complete = paint.Size == before;
  paint.Recording = recorder.TakeRecording(input.Background);
  return paint;
}

TRecordedPaint PaintCompleteRecorded(TCanvas& canvas, const TPaintInput& input) {
  const TSize before{canvas.Width(), canvas.Height()};
  TRecordedPaint paint = PaintFormulaRecorded(canvas, input);
  if (RepaintCompletes(canvas, before, paint.Size)) paint = PaintFormulaRecorded(canvas, input);
  return paint;
}
