#include "tools/CliCommands.h"

#include <cstdio>
#include <iostream>
#include <string_view>

#include "docfile/DocFile.h"
#include "tools/CliPaint.h"
#include "tools/DocJson.h"

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

bool Open(const std::string& path, TOpenDocument& open) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadDocumentFile(path, bytes, error) ||
      !DecodeDocument(bytes, &open.Cursor, open.Document, error)) {
    Report(path, error);
    return false;
  }
  return true;
}

bool Save(const std::string& path, const TDocument& document) {
  std::string error;
  if (WriteDocumentFile(path, EncodeDocument(document), error)) return true;
  Report(path, error);
  return false;
}

int PrintJson(const TJsonValue& json) {
  const std::string text = WriteJson(json);
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    return Report("stdout", "Die Ausgabe konnte nicht geschrieben werden.");
  }
  return kExitOk;
}

TJsonValue PictureJson(const TPictureSize& size) {
  TJsonValue picture = TJsonValue::MakeObject();
  picture.Add("Width", TJsonValue::MakeNumber(std::to_string(size.Width)));
  picture.Add("Height", TJsonValue::MakeNumber(std::to_string(size.Height)));
  return picture;
}

}  // namespace

int RunDump(const TInvocation& call) {
  const std::string& path = call.Arguments[0];
  TOpenDocument open;
  if (!Open(path, open)) return kExitFailed;
  if (!call.Options.contains("--layout")) return PrintJson(JsonFromDocument(open.Document));

  TGuiSession gui;
  TPictureSize size;
  std::string error;
  if (!PaintAsEditor(open.Document, &open.Cursor, "", size, error)) return Report(path, error);
  TJsonValue json = JsonFromDocument(open.Document);
  json.Add("Picture", PictureJson(size));
  return PrintJson(json);
}

int RunBuild(const TInvocation& call) {
  const std::string& jsonPath = call.Arguments[0];
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

// Every pair is tried, so one bad document does not cost the pictures of the others.
int RunRender(const TInvocation& call) {
  TGuiSession gui;
  int status = kExitOk;
  for (std::size_t i = 0; i + 1 < call.Arguments.size(); i += 2) {
    const std::string& docPath = call.Arguments[i];
    const std::string& pngPath = call.Arguments[i + 1];
    TOpenDocument open;
    TPictureSize size;
    std::string error;
    if (!Open(docPath, open)) {
      status = kExitFailed;
    } else if (!PaintAsEditor(open.Document, &open.Cursor, pngPath, size, error)) {
      status = Report(pngPath, error);
    }
  }
  return status;
}

int RunSample(const TInvocation& call) {
  TOpenDocument sample;
  sample.Document.Root = CreateLine(&sample.Cursor);
  BuildSampleFormula(sample.Document.Root);
  return Save(call.Arguments[0], sample.Document) ? kExitOk : kExitFailed;
}
