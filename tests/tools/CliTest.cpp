// quillmora-cli as a user runs it: the built binary, its output and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QByteArray>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "docfile/DocFile.h"
#include "tests/render/FormulaTrees.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

struct TRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    std::string pattern = (fs::temp_directory_path() / "qm-cli-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
  }
  ~CliTest() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
  }

  // `input` becomes the standard input.
  TRun Run(std::vector<std::string> args, const std::string& input = "") const {
    Write("stdin.txt", input);
    const std::string inPath = Path("stdin.txt");
    args.insert(args.begin(), QM_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string outPath = Path("stdout.txt");
    const std::string errPath = Path("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    TRun run;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = Slurp(outPath);
    run.err = Slurp(errPath);
    return run;
  }

  // dump's JSON of a document; fails the test when dump does.
  std::string Dump(const std::string& doc, bool layout = false) const {
    const TRun run = layout ? Run({"dump", "--layout", doc}) : Run({"dump", doc});
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  }

 private:
  fs::path dir_;
};

TEST_F(CliTest, SampleDumpBuildDumpIsTheSameDocument) {
  ASSERT_EQ(Run({"sample", Path("s.qmt")}).status, 0);
  const std::string json = Dump(Path("s.qmt"));
  Write("s.json", json);
  const TRun build = Run({"build", Path("s.json"), Path("b.qmt")});
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_EQ(Dump(Path("b.qmt")), json);
  EXPECT_EQ(Slurp(Path("b.qmt")), Slurp(Path("s.qmt")));
  EXPECT_NE(json.find("\"Text1\": \"12 * 3 / 2 *\""), std::string::npos);
  EXPECT_NE(json.find("\"Margin\": 20\n"), std::string::npos);
}

TEST_F(CliTest, LoneSurrogatesAndLayoutFieldsSurviveBuildAndDump) {
  Write("odd.json", R"({"Formula": [{"IsFunction": 0, "Kind": 0,
      "Text1": "\udc00a\ud800", "Text2": "\ud83d\ude00",
      "Layout": [-1, 2, -3, 4, -5, 6, -7, 8, -9, 2147483647]}],
      "Font": {"Name": "Cour\u20ac", "Size": 12, "PixelsPerInch": 120}, "Margin": 21.5})");
  ASSERT_EQ(Run({"build", Path("odd.json"), Path("odd.qmt")}).status, 0);
  const std::string json = Dump(Path("odd.qmt"));
  EXPECT_NE(json.find(R"("Text1": "\uDC00a\uD800")"), std::string::npos) << json;
  EXPECT_NE(json.find("\"Text2\": \"\U0001F600\""), std::string::npos) << json;
  EXPECT_NE(json.find("[-1, 2, -3, 4, -5, 6, -7, 8, -9, 2147483647]"), std::string::npos);
  EXPECT_NE(json.find("\"Name\": \"Cour\u20AC\""), std::string::npos);
  Write("odd2.json", json);
  ASSERT_EQ(Run({"build", Path("odd2.json"), Path("odd2.qmt")}).status, 0);
  EXPECT_EQ(Slurp(Path("odd2.qmt")), Slurp(Path("odd.qmt")));
}

// The width field of the PNG header.
std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& png) {
  const auto be32 = [&png](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(png[at + i]);
    return v;
  };
  if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return {0, 0};
  return {be32(16), be32(20)};
}

TEST_F(CliTest, RenderGivesThePictureThatLayoutDumpMeasures) {
  ASSERT_EQ(Run({"sample", Path("s.qmt")}).status, 0);
  std::string json = Dump(Path("s.qmt"));
  json.replace(json.find("\"Margin\": 20"), 12, "\"Margin\": 50");
  Write("wide.json", json);
  ASSERT_EQ(Run({"build", Path("wide.json"), Path("wide.qmt")}).status, 0);

  const TRun render =
      Run({"render", Path("s.qmt"), Path("s.png"), Path("wide.qmt"), Path("wide.png")});
  ASSERT_EQ(render.status, 0) << render.err;
  const auto [w, h] = PngSize(Slurp(Path("s.png")));
  const auto [wideW, wideH] = PngSize(Slurp(Path("wide.png")));
  const std::string layout = Dump(Path("s.qmt"), true);
  EXPECT_NE(layout.find("\"Width\": " + std::to_string(w) + ","), std::string::npos) << layout;
  EXPECT_NE(layout.find("\"Height\": " + std::to_string(h) + "\n"), std::string::npos);
  EXPECT_GT(w, 200u);
  EXPECT_EQ(wideW, w + 60) << "the margin is on both sides";
  EXPECT_EQ(wideH, h + 60);
  // The painted layout replaces the stored zeros.
  EXPECT_EQ(Dump(Path("s.qmt")).find("\"Picture\""), std::string::npos);
  EXPECT_NE(layout.find("\"Layout\": [0, 0, 0, 0, 0, 0, 0, 0, 0, 0]"),
            layout.find("\"Layout\": ["));

  if (const char* artefacts = std::getenv("QM_TEST_ARTEFACTS")) {
    fs::copy_file(Path("s.png"), fs::path(artefacts) / "cli_render_sample.png",
                  fs::copy_options::overwrite_existing);
  }
}

// The format follows the extension; the scale multiplies the picture's
// pixels; PNG and SVG bring the document back to dump.
TEST_F(CliTest, RenderWritesEveryFormatAtTheScaleAndPicturesDumpTheirDocument) {
  ASSERT_EQ(Run({"sample", Path("s.qmt")}).status, 0);
  ASSERT_EQ(Run({"render", Path("s.qmt"), Path("one.png")}).status, 0);
  const TRun render = Run({"render", "--scale", "4", Path("s.qmt"), Path("s.png"), Path("s.qmt"),
                           Path("s.svg"), Path("s.qmt"), Path("s.PDF"), Path("s.qmt"),
                           Path("s.jpeg"), Path("s.qmt"), Path("s.bmp")});
  ASSERT_EQ(render.status, 0) << render.err;
  const auto [w, h] = PngSize(Slurp(Path("one.png")));
  EXPECT_EQ(PngSize(Slurp(Path("s.png"))), std::make_pair(4 * w, 4 * h));
  EXPECT_TRUE(Slurp(Path("s.PDF")).starts_with("%PDF-"));
  EXPECT_TRUE(Slurp(Path("s.jpeg")).starts_with("\xFF\xD8\xFF"));
  EXPECT_TRUE(Slurp(Path("s.bmp")).starts_with("BM"));
  const std::string svg = Slurp(Path("s.svg"));
  EXPECT_NE(svg.find("viewBox=\"0 0 " + std::to_string(4 * w) + " " + std::to_string(4 * h)),
            std::string::npos);
  EXPECT_NE(svg.find("<text"), std::string::npos);

  const std::string json = Dump(Path("s.qmt"));
  for (const char* picture : {"one.png", "s.png", "s.svg"}) {
    EXPECT_EQ(Dump(Path(picture)), json) << picture;
  }
  if (const char* artefacts = std::getenv("QM_TEST_ARTEFACTS")) {
    fs::copy_file(Path("s.png"), fs::path(artefacts) / "cli_render_sample_4x.png",
                  fs::copy_options::overwrite_existing);
  }
}

// Byte 25 of a PNG is its colour type, 3 for a palette; a palette with
// transparent entries has a tRNS chunk.
TEST_F(CliTest, TransparentRenderLeavesOutTheBackground) {
  ASSERT_EQ(Run({"sample", Path("s.qmt")}).status, 0);
  const TRun run =
      Run({"render", "--transparent", Path("s.qmt"), Path("t.png"), Path("s.qmt"), Path("t.svg")});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(Run({"render", Path("s.qmt"), Path("o.png"), Path("s.qmt"), Path("o.svg")}).status, 0);
  EXPECT_EQ(Slurp(Path("t.png")).at(25), 3);
  EXPECT_EQ(Slurp(Path("o.png")).at(25), 3);
  EXPECT_NE(Slurp(Path("t.png")).find("tRNS"), std::string::npos);
  EXPECT_EQ(Slurp(Path("o.png")).find("tRNS"), std::string::npos);
  const auto [w, h] = PngSize(Slurp(Path("o.png")));
  const std::string background = "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(w) +
                                 "\" height=\"" + std::to_string(h) + "\"";
  EXPECT_NE(Slurp(Path("o.svg")).find(background), std::string::npos);
  EXPECT_EQ(Slurp(Path("t.svg")).find(background), std::string::npos);
}

// A document paints the same pixels every time, the first paint of a process
// included: the start-up formula (large signs) and random documents, each
// twice in one call and once more in a call of its own.
TEST_F(CliTest, EveryPaintOfADocumentGivesTheSamePixels) {
  std::vector<std::string> twice{"render"};
  for (std::uint32_t seed = 0; seed < 8; ++seed) {
    TFormulaTree tree;
    if (seed == 0) BuildSampleFormula(tree.Root());
    BuildRandomTree(tree.Root(), seed, {5, 40});
    const std::vector<std::uint8_t> bytes = EncodeDocument(tree.Root(), TStoredFont(), kWhite, 20);
    const std::string name = "r" + std::to_string(seed);
    Write(name + ".qmt", std::string(bytes.begin(), bytes.end()));
    for (const char* copy : {"a", "b"}) {
      twice.push_back(Path(name + ".qmt"));
      twice.push_back(Path(name + copy + ".bmp"));
    }
  }
  const TRun run = Run(twice);
  ASSERT_EQ(run.status, 0) << run.err;
  for (std::uint32_t seed = 0; seed < 8; ++seed) {
    const std::string name = "r" + std::to_string(seed);
    const std::string first = Slurp(Path(name + "a.bmp"));
    EXPECT_GT(first.size(), 1000u) << seed;
    EXPECT_TRUE(first == Slurp(Path(name + "b.bmp"))) << "seed " << seed;
    ASSERT_EQ(Run({"render", Path(name + ".qmt"), Path(name + "c.bmp")}).status, 0);
    EXPECT_TRUE(first == Slurp(Path(name + "c.bmp"))) << "seed " << seed << ", alone";
  }
}

TEST_F(CliTest, RenderGoesOnPastABadDocumentAndReportsIt) {
  ASSERT_EQ(Run({"sample", Path("s.qmt")}).status, 0);
  Write("cut.qmt", Slurp(Path("s.qmt")).substr(0, 100));
  const TRun run = Run({"render", Path("cut.qmt"), Path("cut.png"), Path("s.qmt"), Path("s.png")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cut.qmt: Read beyond end of file."), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(Path("cut.png")));
  EXPECT_TRUE(fs::exists(Path("s.png")));
}

// Inputs that once cost minutes or gigabytes. Time and memory are measured
// in `make bench`; the table below only sees them refused, or read
// correctly, with the right words.

// A power whose base holds a power, `levels` deep.
std::string DeepPowerJson(int levels) {
  std::string json = R"({"IsFunction": 0, "Text1": "x"})";
  for (int i = 0; i < levels; ++i) {
    json = R"({"IsFunction": 1, "Kind": 3, "First": [{"IsFunction": 0, "Text1": "2"}], )"
           R"("Second": [)" +
           json + "]}";
  }
  return R"({"Formula": [)" + json + "]}";
}

// A document whose root line holds `entries` terms, cut off just where the
// font block would begin.
std::string LongLineCutBeforeFont(std::uint32_t entries) {
  std::string bytes = std::string("\x01\0\0\0", 4);
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(char(entries >> shift));
  const std::string term = std::string(64, '\0') + std::string("\x01\0\0\0x\0\0\0\0\0", 10);
  for (std::uint32_t i = 0; i < entries; ++i) bytes += term;
  return bytes;
}

std::string ManyKeysThenADuplicate(int keys) {
  std::string json = "{";
  for (int i = 0; i < keys; ++i) json += "\"k" + std::to_string(i) + "\": 0, ";
  return json + "\"k0\": 1}";
}

std::string SvgCarrying(const std::string& base64) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\"><metadata><q:document "
         "xmlns:q=\"urn:x-quillmora:document\">" +
         base64 + "</q:document></metadata></svg>";
}

// The sample as an SVG whose base64 is wrapped at 76 columns with CR LF, as
// mail and other tools re-wrap it.
std::string WrappedSampleSvg() {
  TFormulaTree sample;
  BuildSampleFormula(sample.Root());
  const std::vector<std::uint8_t> bytes = EncodeDocument(sample.Root(), TStoredFont(), kWhite, 20);
  const std::string base64 =
      QByteArray(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes))
          .toBase64()
          .toStdString();
  std::string wrapped = "\r\n";
  for (std::size_t i = 0; i < base64.size(); i += 76) wrapped += base64.substr(i, 76) + "\r\n";
  return SvgCarrying(wrapped);
}

const std::string kLargeFont =
    R"({"Formula": [{"Text1": "WWWWWWWWWWWWWWWW"}], "Font": {"Size": 7500}})";

struct TFailureCase {
  const char* description;
  std::vector<std::string> args;  // "@name" stands for a file in the test folder
  int status;
  std::string message;  // in stderr, or in stdout when the command succeeds
  // A file made in the test folder; a .json file is built into a .qmt first
  // unless the command is build.
  std::string file = "";
  std::function<std::string()> content = nullptr;
  std::string input = "";  // the standard input
};

void PrintTo(const TFailureCase& c, std::ostream* os) { *os << c.description; }

class CliFailureTest : public CliTest, public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(CliFailureTest, ExitsWithItsStatusAndSaysWhy) {
  Write("cut.qmt", std::string("\x01\0\0\0\x05", 5));
  Write("bad.json", R"({"Formula": [{"Kind": "zwei"}]})");
  Write("plain.png", std::string("\x89PNG\r\n\x1a\n", 8) + "no chunks");
  const TFailureCase& row = GetParam();
  if (row.content) Write(row.file, row.content());
  if (row.file.ends_with(".json") && row.args[0] != "build") {
    const std::string qmt = row.file.substr(0, row.file.size() - 5) + ".qmt";
    const TRun built = Run({"build", Path(row.file), Path(qmt)});
    ASSERT_EQ(built.status, 0) << built.err;
  }
  std::vector<std::string> args = row.args;
  for (std::string& arg : args) {
    if (arg.starts_with("@")) arg = Path(arg.substr(1));
  }
  const TRun run = Run(args, row.input);
  EXPECT_EQ(run.status, row.status) << run.err;
  EXPECT_NE((run.status == 0 ? run.out : run.err).find(row.message), std::string::npos) << run.err;
  if (row.status == 2) {
    EXPECT_NE(run.err.find("Aufruf: quillmora-cli"), std::string::npos);
  } else {
    EXPECT_LT(run.err.size(), 400u) << "a message echoes the input";
  }
  if (row.status == 1 && (args[0] == "build" || args[0] == "render")) {
    EXPECT_FALSE(fs::exists(args.back())) << "nothing is written";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliFailureTest,
    ::testing::Values(
        TFailureCase{"no command", {}, 2, "kein Befehl"},
        TFailureCase{"an unknown command", {"show", "@x.qmt"}, 2, "unbekannter Befehl show"},
        TFailureCase{"dump without a file", {"dump"}, 2, "Zahl von Argumenten"},
        TFailureCase{"an unknown option", {"dump", "--scale", "@x.qmt"}, 2, "--scale"},
        TFailureCase{"render with an odd count", {"render", "@a.qmt"}, 2, "Zahl von Argumenten"},
        TFailureCase{"a flag given a value", {"dump", "--layout=1", "@x.qmt"}, 2, "erlaubt"},
        TFailureCase{"scale 0", {"render", "--scale", "0", "@a.qmt", "@a.png"}, 2, "\"0\""},
        TFailureCase{"scale 5", {"render", "--scale=5", "@a.qmt", "@a.png"}, 2, "1 bis 4"},
        TFailureCase{"a scale that is no number",
                     {"render", "--scale", "2x", "@a.qmt", "@a.png"},
                     2,
                     "\"2x\""},
        TFailureCase{"a scale without its value",
                     {"render", "@a.qmt", "@a.png", "--scale"},
                     2,
                     "braucht einen Wert"},
        TFailureCase{"a transparent JPEG",
                     {"render", "--transparent", "@a.qmt", "@a.png", "@a.qmt", "@a.jpg"},
                     2,
                     "a.jpg: Einen durchsichtigen Hintergrund gibt es nur für PNG und SVG."},
        TFailureCase{"a picture name without a known extension",
                     {"render", "@a.qmt", "@a.gif"},
                     2,
                     "a.gif: unbekannte Bildendung"},
        TFailureCase{"a picture without a formula",
                     {"dump", "@plain.png"},
                     1,
                     "plain.png: Das Bild enthält keine Formel."},
        TFailureCase{"a document that does not exist",
                     {"dump", "@none.qmt"},
                     1,
                     "Die Datei konnte nicht geöffnet werden!"},
        TFailureCase{"a folder given as document",
                     {"dump", "@"},
                     1,
                     "Die Datei konnte nicht geöffnet werden!"},
        TFailureCase{"a damaged document", {"dump", "@cut.qmt"}, 1, "Read beyond end of file."},
        TFailureCase{
            "JSON with a wrong type", {"build", "@bad.json", "@x.qmt"}, 1, "Formula[0].Kind"},
        TFailureCase{"a target folder that does not exist",
                     {"sample", "@none/x.qmt"},
                     1,
                     "Die Datei konnte nicht erzeugt werden!"},
        TFailureCase{"LaTeX from standard input",
                     {"build", "-", "@x.qmt"},
                     1,
                     "quillmora-cli: Standardeingabe: Zeile 1, Spalte 10: Unbekannter Befehl "
                     "„\\foo“.",
                     "",
                     nullptr,
                     "\\frac{1}{\\foo}"},
        TFailureCase{"a LaTeX file over two lines",
                     {"build", "@bad.tex", "@x.qmt"},
                     1,
                     "bad.tex: Zeile 2, Spalte 1: Umgebungen wie „\\begin{matrix}“",
                     "bad.tex",
                     [] { return "a +\n\\begin{matrix}"; }},
        TFailureCase{"a MathML file",
                     {"build", "@bad.mml", "@x.qmt"},
                     1,
                     "bad.mml: Zeile 2, Spalte 1: Das MathML-Element „mtable“ wird nicht "
                     "unterstützt.",
                     "bad.mml",
                     [] { return "<math>\n<mtable/></math>"; }},
        TFailureCase{"render of LaTeX",
                     {"render", "@bad.tex", "@x.png"},
                     1,
                     "bad.tex: Zeile 1, Spalte 2: Nach „^“ fehlt ein Argument.",
                     "bad.tex",
                     [] { return "x^"; }},
        TFailureCase{"a large font: 16 × W at 7500 pt",
                     {"render", "@font.qmt", "@font.png"},
                     1,
                     "Pixel (höchstens 100 Millionen Pixel).",
                     "font.json",
                     [] { return kLargeFont; }},
        TFailureCase{"the large font's layout is dumped, the picture refused",
                     {"dump", "--layout", "@font.qmt"},
                     1,
                     "Das Bild ist zu groß: ",
                     "font.json",
                     [] { return kLargeFont; }},
        TFailureCase{"a power nested 24 levels deep in its base",
                     {"render", "--scale", "4", "@power.qmt", "@power.pdf"},
                     1,
                     "Das Bild ist zu groß: ",
                     "power.json",
                     [] { return DeepPowerJson(24); }},
        TFailureCase{"a line of 200,000 entries cut short before its font block",
                     {"dump", "@long.qmt"},
                     1,
                     "Read beyond end of file.",
                     "long.qmt",
                     [] { return LongLineCutBeforeFont(200000); }},
        TFailureCase{"100,000 JSON keys and then a duplicate",
                     {"build", "@keys.json", "@keys.qmt"},
                     1,
                     "doppelter Schlüssel \"k0\"",
                     "keys.json",
                     [] { return ManyKeysThenADuplicate(100000); }},
        TFailureCase{"a number of ten million digits",
                     {"build", "@number.json", "@number.qmt"},
                     1,
                     "gefunden 7777",
                     "number.json",
                     [] { return R"({"Font": {"Size": )" + std::string(10'000'000, '7') + "}}"; }},
        TFailureCase{"the formula in words, from LaTeX on standard input",
                     {"speech", "-"},
                     0,
                     "Quadratwurzel aus a durch b plus 1\n",
                     "",
                     nullptr,
                     "\\sqrt{\\frac{a}{b}}+1"},
        TFailureCase{"base64 wrapped at 76 columns",
                     {"dump", "@wrapped.svg"},
                     0,
                     "\"Text1\": \"12 * 3 / 2 *\"",
                     "wrapped.svg",
                     WrappedSampleSvg},
        TFailureCase{"a formula too large to carry in a picture",
                     {"dump", "@huge.svg"},
                     1,
                     "Die Formel im Bild ist zu groß (mehr als 4 MiB).",
                     "huge.svg",
                     [] { return SvgCarrying(std::string(6 << 20, 'A')); }}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(CliTest, DoubleDashLetsAFileNameStartWithDashes) {
  const std::string name = "--layout.qmt";
  const fs::path previous = fs::current_path();
  fs::current_path(Path(""));
  const TRun sample = Run({"sample", "--", name});
  const TRun dump = Run({"dump", "--", name});
  fs::current_path(previous);
  EXPECT_EQ(sample.status, 0) << sample.err;
  EXPECT_EQ(dump.status, 0) << dump.err;
}

TEST_F(CliTest, HelpGoesToStandardOutput) {
  const TRun run = Run({"--help"});
  EXPECT_EQ(run.status, 0);
  for (const char* command :
       {"dump", "latex", "mathml", "starmath", "speech", "build", "render", "sample"}) {
    EXPECT_NE(run.out.find(std::string("  ") + command + " "), std::string::npos) << command;
  }
}

// The three ways in (a .tex file, a .mml file, standard input) and the two
// ways out (latex, mathml), each run as a user would.
TEST_F(CliTest, FormulasTravelAsLatexAndMathML) {
  const TRun half = Run({"render", "-", Path("half.png")}, "\\frac{1}{2}\n");
  ASSERT_EQ(half.status, 0) << half.err;
  EXPECT_EQ(Run({"latex", Path("half.png")}).out, "\\frac{1}{2}\n") << "the PNG carries it";

  Write("root.tex", "$\\sqrt[3]{x}$");
  ASSERT_EQ(Run({"build", Path("root.tex"), Path("root.qmt")}).status, 0);
  EXPECT_EQ(Run({"latex", Path("root.qmt")}).out, "\\sqrt[3]{x}\n");
  const std::string json = Dump(Path("root.qmt"));
  EXPECT_NE(json.find("\"Margin\": 20"), std::string::npos) << "a new document's margin";
  EXPECT_NE(json.find("Microsoft Sans Serif"), std::string::npos) << "a new document's font";

  Write("frac.mml", "<math><mfrac><mi>a</mi><mi>b</mi></mfrac></math>");
  ASSERT_EQ(Run({"build", Path("frac.mml"), Path("frac.qmt")}).status, 0);
  const TRun mathml = Run({"mathml", Path("frac.qmt")});
  EXPECT_EQ(mathml.status, 0);
  EXPECT_EQ(mathml.out.rfind("<math xmlns=\"http://www.w3.org/1998/Math/MathML\"", 0), 0u);
  EXPECT_NE(mathml.out.find(">\\frac{a}{b}</annotation>"), std::string::npos) << mathml.out;

  // The start-up formula, out as LaTeX and in again, is the same formula.
  ASSERT_EQ(Run({"sample", Path("start.qmt")}).status, 0);
  const std::string latex = Run({"latex", Path("start.qmt")}).out;
  ASSERT_EQ(Run({"build", "-", Path("again.qmt")}, latex).status, 0);
  EXPECT_EQ(Run({"latex", Path("again.qmt")}).out, latex);
  Write("start.mml", Run({"mathml", Path("start.qmt")}).out);
  const TRun svg = Run({"render", Path("start.mml"), Path("start.svg")});
  EXPECT_EQ(svg.status, 0) << svg.err;
  EXPECT_EQ(Run({"latex", Path("start.svg")}).out, latex);
}

// LibreOffice's ways: its notation on standard output, its formula document
// written by render and read wherever a document is read.
TEST_F(CliTest, FormulasTravelToLibreOffice) {
  Write("half.tex", "\\frac{1}{2} + \\sqrt{x}");
  const TRun starMath = Run({"starmath", Path("half.tex")});
  EXPECT_EQ(starMath.status, 0) << starMath.err;
  EXPECT_EQ(starMath.out, "{{1} over {2}} + sqrt{x}\n");

  ASSERT_EQ(Run({"sample", Path("start.qmt")}).status, 0);
  const TRun odf = Run({"render", Path("start.qmt"), Path("start.odf"), Path("start.qmt"),
                        Path("start.png")});
  ASSERT_EQ(odf.status, 0) << odf.err;
  ASSERT_EQ(Run({"build", Path("start.odf"), Path("back.qmt")}).status, 0);
  EXPECT_EQ(Run({"latex", Path("back.qmt")}).out, Run({"latex", Path("start.qmt")}).out);

  Write("cut.odf", "PK\x03\x04 no more");
  const TRun cut = Run({"latex", Path("cut.odf")});
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.err.find("Das Formeldokument ist beschädigt."), std::string::npos) << cut.err;
}

}  // namespace
