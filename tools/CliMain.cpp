// quillmora-cli: the editor's documents from the command line. One table
// names every command with its options and arguments; a new command or
// option is a new row.
#include <array>
#include <iostream>
#include <span>
#include <string_view>

#include "tools/CliCommands.h"

namespace {

struct TOption {
  std::string_view Name;
  std::string_view Help;
  bool TakesValue = false;  // "--name VALUE" or "--name=VALUE"
};

struct TCommand {
  std::string_view Name;
  std::string_view Arguments;  // as the usage shows them
  std::string_view Help;
  std::span<const TOption> Options;
  bool (*ArgumentsFit)(std::size_t count);
  // Checks options and arguments before the command runs; nullptr: none.
  bool (*Check)(const TInvocation& call, std::string& error);
  int (*Run)(const TInvocation& call);
};

constexpr TOption kDumpOptions[] = {
    {"--layout", "erst malen wie der Editor, dann die Layout-Felder und die Bildgröße zeigen"}};

constexpr TOption kRenderOptions[] = {
    {"--scale", "N: Auflösung 96 × N dpi, N von 1 bis 4 (1: das Bild des Editors, Pixel für Pixel)",
     true},
    {"--transparent", "durchsichtiger Hintergrund (nur PNG und SVG)"}};

constexpr bool One(std::size_t count) { return count == 1; }
constexpr bool Two(std::size_t count) { return count == 2; }
constexpr bool Pairs(std::size_t count) { return count >= 2 && count % 2 == 0; }

constexpr std::array kCommands = {
    TCommand{"dump", "[--layout] DOC",
             "zeigt das Dokument als JSON, so wie es gespeichert ist; aus einem PNG- oder "
             "SVG-Bild die Formel, die es mitträgt",
             kDumpOptions, One, nullptr, RunDump},
    TCommand{"latex",
             "DOC",
             "schreibt die Formel als LaTeX auf die Standardausgabe",
             {},
             One,
             nullptr,
             RunLatex},
    TCommand{"mathml",
             "DOC",
             "schreibt die Formel als MathML auf die Standardausgabe, mit dem LaTeX als Annotation",
             {},
             One,
             nullptr,
             RunMathML},
    TCommand{"starmath",
             "DOC",
             "schreibt die Formel in der Befehlssprache von LibreOffice Math (StarMath) auf die "
             "Standardausgabe",
             {},
             One,
             nullptr,
             RunStarMath},
    TCommand{"speech",
             "DOC",
             "schreibt die Formel in deutschen Worten auf die Standardausgabe, so wie ein "
             "Screenreader sie vorliest",
             {},
             One,
             nullptr,
             RunSpeech},
    TCommand{"build",
             "DOC.json|FORMEL.tex|FORMEL.mml|FORMEL.odf|- DOC.qmt",
             "schreibt das Dokument, das die JSON-Datei beschreibt, oder die Formel aus LaTeX, "
             "MathML oder einem Formeldokument von LibreOffice mit Schrift, Farbe und Rand eines "
             "neuen Dokuments",
             {},
             Two,
             nullptr,
             RunBuild},
    TCommand{"render", "[--scale N] [--transparent] DOC BILD.png [DOC2 BILD2.svg ...]",
             "malt jedes Dokument wie der Editor und speichert das Bild; das Format folgt der "
             "Endung (.png .jpg .jpeg .bmp .svg .pdf), PNG und SVG tragen die Formel mit; .odf "
             "schreibt ein Formeldokument für LibreOffice",
             kRenderOptions, Pairs, CheckRender, RunRender},
    TCommand{"sample",
             "DOC.qmt",
             "schreibt die Beispielformel des Programmstarts mit Schrift, Farbe und Rand eines "
             "neuen Dokuments",
             {},
             One,
             nullptr,
             RunSample},
};

void PrintUsage(std::ostream& out) {
  out << "Aufruf: quillmora-cli BEFEHL ARGUMENTE\n\nBefehle:\n";
  for (const TCommand& command : kCommands) {
    out << "  " << command.Name << ' ' << command.Arguments << "\n      " << command.Help << '\n';
    for (const TOption& option : command.Options) {
      out << "      " << option.Name << ": " << option.Help << '\n';
    }
  }
  out << "\nDOC: ein Dokument (.qmt), ein PNG- oder SVG-Bild mit Formel, eine Formel in LaTeX "
         "(.tex) oder MathML (.mml), ein Formeldokument von LibreOffice (.odf), oder - für "
         "LaTeX von der Standardeingabe.\n"
         "\nJSON: {\"Formula\": [EINTRAG, ...] oder null, \"Font\": {\"Charset\", \"Color\", "
         "\"Name\", \"Pitch\", \"PixelsPerInch\", \"Size\", \"Style\"}, \"Background\", "
         "\"Margin\"}\n"
         "EINTRAG: {\"IsFunction\", \"Kind\", \"Text1\", \"Text2\", \"First\", \"Second\", "
         "\"Layout\": [zehn ganze Zahlen]}\n"
         "Ein Rand, der keine Zahl ist, steht als \"NaN\", \"Infinity\" oder \"-Infinity\".\n"
         "\nExit-Status: 0 Erfolg; 1 ein Dokument, eine JSON-Datei, eine Formel oder ein Bild "
         "konnte nicht gelesen oder geschrieben werden (auch bei ungültigem JSON-Inhalt; bei einer "
         "Formel mit Zeile und Spalte); 2 falscher Aufruf.\n";
}

int UsageError(const std::string& message) {
  std::cerr << "quillmora-cli: " << message << "\n\n";
  PrintUsage(std::cerr);
  return kExitUsage;
}

const TCommand* FindCommand(std::string_view name) {
  for (const TCommand& command : kCommands) {
    if (command.Name == name) return &command;
  }
  return nullptr;
}

const TOption* FindOption(const TCommand& command, std::string_view name) {
  for (const TOption& option : command.Options) {
    if (option.Name == name) return &option;
  }
  return nullptr;
}

// Takes the option at args[i], with its value when it has one.
bool TakeOption(const TCommand& command, std::span<char*> args, std::size_t& i, TInvocation& call,
                std::string& error) {
  const std::string_view arg = args[i];
  const std::size_t equals = arg.find('=');
  const std::string_view name = arg.substr(0, equals);
  const TOption* option = FindOption(command, name);
  if (option == nullptr) {
    error = "unbekannte Option " + std::string(name) + " für " + std::string(command.Name);
    return false;
  }
  std::string value;
  if (equals != std::string_view::npos) {
    value = arg.substr(equals + 1);
  } else if (option->TakesValue && i + 1 < args.size()) {
    value = args[++i];
  }
  if (option->TakesValue == value.empty()) {
    error = "Option " + std::string(name) + (option->TakesValue ? " braucht" : " erlaubt") +
            " einen Wert";
    return false;
  }
  call.Options[std::string(name)] = value;
  return true;
}

// Options may stand anywhere among the arguments; "--" ends them, so that a
// file name may start with dashes.
bool SplitArguments(const TCommand& command, std::span<char*> args, TInvocation& call,
                    std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg.starts_with("--")) {
      if (!TakeOption(command, args, i, call, error)) return false;
    } else {
      call.Arguments.emplace_back(arg);
    }
  }
  if (!command.ArgumentsFit(call.Arguments.size())) {
    error = "falsche Zahl von Argumenten für " + std::string(command.Name);
    return false;
  }
  return command.Check == nullptr || command.Check(call, error);
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::span<char*> args(argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
  if (args.empty()) return UsageError("kein Befehl angegeben");
  const std::string_view name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(std::cout);
    return kExitOk;
  }
  const TCommand* command = FindCommand(name);
  if (command == nullptr) return UsageError("unbekannter Befehl " + std::string(name));
  TInvocation call;
  std::string error;
  if (!SplitArguments(*command, args.subspan(1), call, error)) return UsageError(error);
  return command->Run(call);
}
