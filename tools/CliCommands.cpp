#include "tools/CliCommands.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string_view>

#include "docfile/DocFile.h"
#include "export/EmbeddedDocument.h"
#include "export/FormulaObject.h"
#include "export/PictureFormat.h"
#include "render/PictureLimit.h"
#include "textio/FormulaText.h"
#include "tools/CliPaint.h"
#include "tools/DocJson.h"
#include "tools/RenderBatch.h"

namespace fs = std::filesystem;

namespace {

// The message the editor would show, with the file it is about.
int Report(const std::string& path, const std::string& message) {
  std::cerr << "quillmora-cli: " << path << ": " << message << '\n';
  return kExitFailed;
}

// A document with its own cursor variable; its tree goes when it does.
struct TOpenDocument {
  TEntryCursor Cursor = nullptr;
  TDocument Document;
  TOpenDocument() = default;
  TOpenDocument(const TOpenDocument&) = delete;
  ~TOpenDocument() { Document.Release(); }
};

enum class TTextForm { None, Latex, MathML, FormulaDocument };

// "-" is standard input, read as LaTeX.
TTextForm TextFormOfPath(const std::string& path) {
  if (path == "-") return TTextForm::Latex;
  std::string extension = fs::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".tex") return TTextForm::Latex;
  if (extension == ".mml") return TTextForm::MathML;
  if (extension == ".odf") return TTextForm::FormulaDocument;
  return TTextForm::None;
}

// Standard input is read once, however often "-" stands among the arguments;
// what lies beyond the longest formula text is not read at all.
bool ReadInput(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  if (path != "-") return ReadDocumentFile(path, bytes, error);
  static std::vector<std::uint8_t> input;
  static bool read = false;
  while (!read && input.size() <= kMaxFormulaTextBytes) {
    std::uint8_t chunk[65536];
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, stdin);
    input.insert(input.end(), chunk, chunk + got);
    read = got < sizeof chunk;
  }
  bytes = input;
  return true;
}

// A formula in LaTeX or MathML, with the font, colour and margin of a new
// document.
bool OpenFormulaText(const std::string& path, TTextForm form, TOpenDocument& open) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadInput(path, bytes, error)) {
    Report(path, error);
    return false;
  }
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  TOwnedLine line;
  TTextError problem;
  if (form == TTextForm::FormulaDocument) {
    if (!FormulaFromFormulaObject(bytes, &open.Cursor, line, error)) {
      Report(path, error);
      return false;
    }
  } else if (form == TTextForm::MathML
                 ? !FormulaFromMathML(text, &open.Cursor, line, problem)
                 : !FormulaFromLatex(Utf16FromUtf8(text), &open.Cursor, line, problem)) {
    Report(path == "-" ? "Standardeingabe" : path, problem.Describe());
    return false;
  }
  open.Document.Release();
  open.Document.Root = line.release();
  return true;
}

// A document file, the document a PNG or SVG picture carries, or a formula
// as text.
bool Open(const std::string& path, TOpenDocument& open) {
  if (const TTextForm form = TextFormOfPath(path); form != TTextForm::None) {
    return OpenFormulaText(path, form, open);
  }
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadDocumentFile(path, bytes, error) || !TakeDocumentFromFile(path, bytes, error) ||
      !DecodeDocument(bytes, &open.Cursor, open.Document, error)) {
    Report(path, error);
    return false;
  }
  return true;
}

// A document the reader would refuse is not written at all: the previous
// file stays as it was.
bool Save(const std::string& path, const TDocument& document) {
  std::string error;
  if (CheckDocumentForWriting(document, error) &&
      WriteDocumentFile(path, EncodeDocument(document), error)) {
    return true;
  }
  Report(path, error);
  return false;
}

// LibreOffice's formula document: the formula as MathML, without font or colour.
bool SaveFormulaDocument(const std::string& path, const TDocument& document) {
  std::vector<std::uint8_t> zip;
  std::string error;
  if (FormulaObjectFromFormula(document.Root, zip, error) && WriteDocumentFile(path, zip, error)) {
    return true;
  }
  Report(path, error);
  return false;
}

const char* const kCannotWriteOutput = "Die Ausgabe konnte nicht geschrieben werden.";

int Print(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    return Report("stdout", kCannotWriteOutput);
  }
  return kExitOk;
}

// The formula of a document as text on standard output.
int PrintFormula(const TInvocation& call, std::u16string (*write)(const TFormulaLine*)) {
  TOpenDocument open;
  if (!Open(call.Arguments[0], open)) return kExitFailed;
  return Print(Utf8FromUtf16(write(open.Document.Root)) + "\n");
}

// Writes to stdout as the JSON is made, so that a long document is never
// held whole as text.
class TStdoutJson {
 public:
  TStdoutJson()
      : writer_([this](std::string_view text) {
          ok_ = ok_ && std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
        }) {}
  TJsonWriter& Writer() { return writer_; }
  int Finish() {
    writer_.Finish();
    if (ok_ && std::fflush(stdout) == 0) return kExitOk;
    return Report("stdout", kCannotWriteOutput);
  }

 private:
  bool ok_ = true;
  TJsonWriter writer_;
};

TJsonValue PictureJson(const TSize& size) {
  TJsonValue picture = TJsonValue::MakeObject();
  picture.Add("Width", TJsonValue::MakeNumber(std::to_string(size.cx)));
  picture.Add("Height", TJsonValue::MakeNumber(std::to_string(size.cy)));
  return picture;
}

bool ParseScale(const TInvocation& call, int& scale, std::string& error) {
  const auto given = call.Options.find("--scale");
  if (given == call.Options.end()) return true;
  const std::string& text = given->second;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), scale);
  if (status == std::errc() && end == text.data() + text.size() && scale >= kMinExportScale &&
      scale <= kMaxExportScale) {
    return true;
  }
  error = "--scale braucht eine ganze Zahl von 1 bis 4, nicht \"" + text + "\"";
  return false;
}

std::string KnownExtensions() {
  std::string known;
  for (const TPictureFormatInfo& info : PictureFormats()) {
    for (std::string_view extension : info.Extensions) {
      if (!extension.empty()) known += " " + std::string(extension);
    }
  }
  return known;
}

// The export settings of every picture of a render call, in argument order.
bool ParseRender(const TInvocation& call, std::vector<TExportOptions>& pictures,
                 std::string& error) {
  TExportOptions options;
  options.Transparent = call.Options.contains("--transparent");
  if (!ParseScale(call, options.Scale, error)) return false;
  pictures.clear();
  for (std::size_t i = 1; i < call.Arguments.size(); i += 2) {
    const std::string& path = call.Arguments[i];
    if (TextFormOfPath(path) == TTextForm::FormulaDocument) {
      pictures.push_back(options);  // no picture: the formula for LibreOffice
      continue;
    }
    const TPictureFormatInfo* format = PictureFormatOfPath(path);
    if (format == nullptr) {
      error = path + ": unbekannte Bildendung; möglich sind" + KnownExtensions();
      return false;
    }
    options.Format = format->Format;
    if (!CheckExportOptions(options, error)) {
      error = path + ": " + error;
      return false;
    }
    pictures.push_back(options);
  }
  return true;
}

}  // namespace

int RunDump(const TInvocation& call) {
  const std::string& path = call.Arguments[0];
  TOpenDocument open;
  if (!Open(path, open)) return kExitFailed;
  const bool layout = call.Options.contains("--layout");
  std::optional<TGuiSession> gui;
  TPicture picture;
  if (layout) {
    gui.emplace();
    picture = PaintAsEditor(open.Document, &open.Cursor);
  }
  TStdoutJson out;
  out.Writer().BeginObject();
  WriteDocumentMembers(open.Document, out.Writer());
  // The layout fields are there either way; a picture beyond the limit is
  // named with the size it asked for, and the command fails.
  const bool tooLarge = picture.TooLarge.cx > 0;
  if (layout) {
    TJsonValue size = PictureJson(tooLarge ? picture.TooLarge : picture.Recording.Size);
    if (tooLarge) size.Add("TooLarge", TJsonValue::MakeBool(true));
    out.Writer().Key("Picture");
    out.Writer().Value(size);
  }
  out.Writer().EndObject();
  const int printed = out.Finish();
  if (tooLarge) return Report(path, PictureTooLargeText(picture.TooLarge));
  return printed;
}

int RunLatex(const TInvocation& call) { return PrintFormula(call, LatexFromFormula); }

int RunMathML(const TInvocation& call) { return PrintFormula(call, MathMLFromFormula); }

int RunStarMath(const TInvocation& call) { return PrintFormula(call, StarMathFromFormula); }

int RunSpeech(const TInvocation& call) { return PrintFormula(call, SpeechFromFormula); }

int RunBuild(const TInvocation& call) {
  const std::string& jsonPath = call.Arguments[0];
  if (TextFormOfPath(jsonPath) != TTextForm::None) {
    TOpenDocument built;
    if (!Open(jsonPath, built)) return kExitFailed;
    return Save(call.Arguments[1], built.Document) ? kExitOk : kExitFailed;
  }
  std::vector<std::uint8_t> text;
  std::string error;
  if (!ReadDocumentFile(jsonPath, text, error)) return Report(jsonPath, error);
  TJsonValue json;
  const std::string_view chars(reinterpret_cast<const char*>(text.data()), text.size());
  if (!ParseJson(chars, kMaxJsonDepth, json, error)) return Report(jsonPath, error);
  TOpenDocument built;
  if (!DocumentFromJson(json, &built.Cursor, built.Document, error)) {
    return Report(jsonPath, error);
  }
  return Save(call.Arguments[1], built.Document) ? kExitOk : kExitFailed;
}

bool CheckRender(const TInvocation& call, std::string& error) {
  std::vector<TExportOptions> pictures;
  return ParseRender(call, pictures, error);
}

// Every pair is tried, so one bad document does not cost the pictures of the
// others. The documents are read in order (standard input once), and each
// picture is painted on the other cores while the next documents are read;
// the pictures are then written together.
int RunRender(const TInvocation& call) {
  std::vector<TExportOptions> pictures;
  std::string error;
  if (!ParseRender(call, pictures, error)) return Report("render", error);
  TGuiSession gui;
  int status = kExitOk;
  TRenderBatch batch(pictures.size(), Report);
  for (std::size_t i = 0; i + 1 < call.Arguments.size(); i += 2) {
    auto open = std::make_shared<TOpenDocument>();
    if (!Open(call.Arguments[i], *open)) {
      status = kExitFailed;
      continue;
    }
    if (TextFormOfPath(call.Arguments[i + 1]) == TTextForm::FormulaDocument) {
      if (!SaveFormulaDocument(call.Arguments[i + 1], open->Document)) status = kExitFailed;
      continue;
    }
    // A formula the picture cannot carry is refused before the paint.
    if (InfoOf(pictures[i / 2].Format).CarriesDocument &&
        MeasureDocument(open->Document).Bytes > kMaxEmbeddedDocumentBytes) {
      status = Report(call.Arguments[i + 1], kFormulaTooLargeForPicture);
      continue;
    }
    TDocument* document = &open->Document;
    TEntryCursor* cursor = &open->Cursor;
    batch.Add({document, cursor, call.Arguments[i + 1], pictures[i / 2], std::move(open)});
  }
  if (!batch.Finish()) status = kExitFailed;
  return status;
}

int RunSample(const TInvocation& call) {
  TOpenDocument sample;
  sample.Document.Root = CreateLine(&sample.Cursor);
  BuildSampleFormula(sample.Document.Root);
  return Save(call.Arguments[0], sample.Document) ? kExitOk : kExitFailed;
}
