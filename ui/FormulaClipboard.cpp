#include "ui/FormulaClipboard.h"

#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "docfile/DocFile.h"
#include "export/Clipboard.h"
#include "export/EmbeddedDocument.h"
#include "export/FormulaObject.h"
#include "model/Utf.h"

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

bool FromFormulaObject(std::span<const std::uint8_t> zip, TEntryCursor* cursor,
                       TOwnedLine& formula, QString& problem) {
  std::string error;
  if (FormulaFromFormulaObject(zip, cursor, formula, error)) return true;
  problem = QString::fromStdString(error);
  return false;
}

enum class TTextKind { Latex, MathML, StarMath };

// XML is MathML; LibreOffice Math copies its own notation as plain text.
TTextKind KindOfText(const QString& text) {
  if (text.trimmed().startsWith('<')) return TTextKind::MathML;
  return LooksLikeStarMath(text.toStdU16String()) ? TTextKind::StarMath : TTextKind::Latex;
}

bool FromText(const QString& text, TTextKind kind, TEntryCursor* cursor, TOwnedLine& formula,
              QString& problem) {
  TTextError error;
  bool read = false;
  switch (kind) {
    case TTextKind::MathML:
      read = FormulaFromMathML(text.toUtf8().toStdString(), cursor, formula, error);
      break;
    case TTextKind::StarMath:
      read = FormulaFromStarMath(text.toStdU16String(), cursor, formula, error);
      break;
    case TTextKind::Latex:
      read = FormulaFromLatex(text.toStdU16String(), cursor, formula, error);
      break;
  }
  if (!read) problem = QString::fromStdString(error.Describe());
  return read;
}

// Text of NUL bytes, other control characters or bytes that are no UTF-8
// is data of some program, not a formula anybody typed.
bool IsTypedText(const QByteArray& bytes) {
  const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t code = 0;
    const std::size_t length = Utf8SequenceAt(text, pos, code);
    if (length == 0 || (code < 0x20 && code != '\t' && code != '\n' && code != '\r')) return false;
    pos += length;
  }
  return true;
}

// LibreOffice's formula object: the zip that Writer copies and takes.
QString EmbedSourceFormat(const QMimeData& data) {
  for (const QString& format : data.formats()) {
    if (format.startsWith("application/x-openoffice-embed-source-xml")) return format;
  }
  return {};
}

void AddFormulaObject(QMimeData& data, const TFormulaLine* formula) {
  std::vector<std::uint8_t> zip;
  std::string error;
  // Without it the MathML still goes out, as before.
  if (!FormulaObjectFromFormula(formula, zip, error)) return;
  data.setData(kEmbedSourceFlavour, QByteArray(reinterpret_cast<const char*>(zip.data()),
                                               static_cast<qsizetype>(zip.size())));
  data.setData(kObjectDescriptorFlavour, QByteArray());
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
  AddFormulaObject(*data, formula);
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
  if (const QString format = EmbedSourceFormat(*data); !format.isEmpty()) {
    offers.push_back([&, format](QString& why) {
      return FromFormulaObject(Bytes(data->data(format)), cursor, formula, why);
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
      return FromText(QString::fromUtf8(data->data(type)), TTextKind::MathML, cursor, formula,
                      why);
    });
    break;
  }
  if (data->hasText() && !data->text().trimmed().isEmpty() &&
      IsTypedText(data->data("text/plain"))) {
    offers.push_back([&](QString& why) {
      const QString text = data->text();
      return FromText(text, KindOfText(text), cursor, formula, why);
    });
  }
  // A picture without a formula is no formula on the clipboard at all.
  for (const auto& offer : offers) {
    QString why;
    if (offer(why)) return true;
    if (problem == kNothingToPaste && why != kNoFormulaInPicture) problem = kNoReadableFormula + why;
  }
  return false;
}
