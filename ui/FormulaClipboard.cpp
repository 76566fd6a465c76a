#include "ui/FormulaClipboard.h"

#include <functional>
#include <span>
#include <vector>

#include "docfile/DocFile.h"
#include "export/Clipboard.h"
#include "export/EmbeddedDocument.h"

namespace {

std::span<const std::uint8_t> Bytes(const QByteArray& data) {
  return {reinterpret_cast<const std::uint8_t*>(data.constData()),
          static_cast<std::size_t>(data.size())};
}

bool FromDocument(std::span<const std::uint8_t> bytes, TEntryCursor* cursor, TOwnedLine& formula,
                  QString& problem) {
  TDocument document;
  std::string error;
  if (!DecodeDocument(bytes, cursor, document, error)) {
    problem = QString::fromStdString(error);
    return false;
  }
  formula.reset(document.TakeRoot(cursor));
  if (formula == nullptr) problem = kOutOfMemory;
  return formula != nullptr;
}

bool FromPicture(std::span<const std::uint8_t> picture, TEntryCursor* cursor, TOwnedLine& formula,
                 QString& problem) {
  std::vector<std::uint8_t> document;
  std::string error;
  if (!DocumentFromPicture(picture, document, error)) {
    problem = QString::fromStdString(error);
    return false;
  }
  return FromDocument(document, cursor, formula, problem);
}

bool FromText(const QString& text, bool mathml, TEntryCursor* cursor, TOwnedLine& formula,
              QString& problem) {
  TTextError error;
  const bool read = mathml ? FormulaFromMathML(text.toUtf8().toStdString(), cursor, formula, error)
                           : FormulaFromLatex(text.toStdU16String(), cursor, formula, error);
  if (!read) problem = QString::fromStdString(error.Describe());
  return read;
}

// The names under which word processors and browsers offer MathML.
constexpr const char* kMathMLFormats[] = {kMathMLMimeType, "application/mathml-presentation+xml",
                                          "text/mathml", "MathML Presentation", "MathML"};

}  // namespace

std::unique_ptr<QMimeData> MakeMathMLData(const TFormulaLine* formula) {
  const QString mathml = QString::fromStdU16String(MathMLFromFormula(formula));
  auto data = std::make_unique<QMimeData>();
  data->setData(kMathMLMimeType, mathml.toUtf8());
  data->setText(mathml);
  return data;
}

bool FormulaFromClipboard(const QMimeData* data, TEntryCursor* cursor, TOwnedLine& formula,
                          QString& problem) {
  problem = kNothingToPaste;
  if (data == nullptr) return false;
  // Each offer in turn; a damaged one leaves its message for the user unless
  // a later one can be read.
  std::vector<std::function<bool(QString&)>> offers;
  if (data->hasFormat(kDocumentMimeType)) {
    offers.push_back([&](QString& why) {
      return FromDocument(Bytes(data->data(kDocumentMimeType)), cursor, formula, why);
    });
  }
  for (const char* type : {"image/png", "image/svg+xml"}) {
    if (!data->hasFormat(type)) continue;
    offers.push_back([&, type](QString& why) {
      return FromPicture(Bytes(data->data(type)), cursor, formula, why);
    });
  }
  for (const char* type : kMathMLFormats) {
    if (!data->hasFormat(type)) continue;
    offers.push_back([&, type](QString& why) {
      return FromText(QString::fromUtf8(data->data(type)), true, cursor, formula, why);
    });
    break;
  }
  if (data->hasText() && !data->text().trimmed().isEmpty()) {
    offers.push_back([&](QString& why) {
      const QString text = data->text();
      return FromText(text, text.trimmed().startsWith('<'), cursor, formula, why);
    });
  }
  // A picture without a formula is no formula on the clipboard at all.
  for (const auto& offer : offers) {
    QString why;
    if (offer(why)) return true;
    if (problem == kNothingToPaste && why != kNoFormulaInPicture) problem = why;
  }
  return false;
}
