// LibreOffice's formula document: the zip as Writer and LibreOffice Math
// take it, what they give back, and damaged or hostile zips.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "export/FormulaObject.h"
#include "model/Utf.h"

namespace {

std::vector<std::uint8_t> ZipOf(std::string_view mathml) {
  std::vector<std::uint8_t> zip;
  std::string error;
  EXPECT_TRUE(WriteFormulaObject(mathml, zip, error)) << error;
  return zip;
}

std::string LatexOf(const TFormulaLine* line) { return Utf8FromUtf16(LatexFromFormula(line)); }

// As LibreOffice Math 7.4 saves "x^{2} cdot y" (its content.xml, verbatim).
constexpr std::string_view kLibreOfficeContent =
    "<math xmlns=\"http://www.w3.org/1998/Math/MathML\" display=\"block\"><semantics><mrow>"
    "<msup><mi>x</mi><mn>2</mn></msup><mo stretchy=\"false\">⋅</mo><mi>y</mi></mrow>"
    "<annotation encoding=\"StarMath 5.0\">x^{2} cdot y</annotation></semantics></math>";

TEST(FormulaObjectTest, TheTypeComesFirstUncompressedWhereLibreOfficeLooksForIt) {
  const std::vector<std::uint8_t> zip = ZipOf("<math><mi>x</mi></math>");
  ASSERT_GT(zip.size(), 38u + std::strlen(kFormulaObjectMimeType));
  EXPECT_TRUE(LooksLikeZip(zip));
  EXPECT_EQ(zip[8] | zip[9] << 8, 0) << "stored, not deflated";
  EXPECT_EQ(zip[28] | zip[29] << 8, 0) << "no extra field before the data";
  EXPECT_EQ(std::string(zip.begin() + 30, zip.begin() + 38), "mimetype");
  EXPECT_EQ(std::string(zip.begin() + 38, zip.begin() + 38 + std::strlen(kFormulaObjectMimeType)),
            kFormulaObjectMimeType);
  std::string content;
  std::string error;
  ASSERT_TRUE(ReadFormulaObjectContent(zip, content, error)) << error;
  EXPECT_EQ(content, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<math><mi>x</mi></math>");
}

TEST(FormulaObjectTest, TheFormulaComesBack) {
  TEntryCursor cursor = nullptr;
  TOwnedLine sample(CreateLine(&cursor));
  BuildSampleFormula(sample.get());
  std::vector<std::uint8_t> zip;
  std::string error;
  ASSERT_TRUE(FormulaObjectFromFormula(sample.get(), zip, error)) << error;
  TOwnedLine back;
  ASSERT_TRUE(FormulaFromFormulaObject(zip, &cursor, back, error)) << error;
  EXPECT_EQ(LatexOf(back.get()), LatexOf(sample.get()));
}

struct TObjectCase {
  const char* What;
  std::vector<std::uint8_t> Zip;
  const char* Latex;    // what is read, or nullptr
  const char* Message;  // the message when nothing is
};

std::vector<std::uint8_t> Renamed(std::vector<std::uint8_t> zip) {
  const std::string_view name = "content.xml";
  for (std::size_t i = 0; i + name.size() <= zip.size(); ++i) {
    if (std::memcmp(&zip[i], name.data(), name.size()) == 0) zip[i + name.size() - 1] = 'z';
  }
  return zip;
}

std::vector<TObjectCase> ObjectCases() {
  const std::string blanks(kMaxFormulaTextBytes, ' ');
  return {
      {"LibreOffice's own MathML", ZipOf(kLibreOfficeContent), "\\left(x\\right)^{2}\\cdot{}y",
       nullptr},
      {"MathML we cannot read: its StarMath annotation",
       ZipOf("<math><semantics><mtable/><annotation encoding=\"StarMath 5.0\">{a} over "
             "{b}</annotation></semantics></math>"),
       "\\frac{a}{b}", nullptr},
      {"no content.xml", Renamed(ZipOf("<math/>")), nullptr, kNoFormulaObject},
      {"no zip at all", {'<', 'm', 'a', 't', 'h', '/', '>'}, nullptr, kNoFormulaObject},
      {"content.xml that inflates past 16 MiB, from a small zip", ZipOf(blanks), nullptr,
       "Die Formel im Formeldokument ist zu groß (mehr als 16 MiB)."},
      {"neither MathML nor annotation readable", ZipOf("<math><mtable/></math>"), nullptr,
       "content.xml: Zeile 2, Spalte 7: Das MathML-Element „mtable“ wird nicht unterstützt."},
  };
}

TEST(FormulaObjectTest, ReadsWhatLibreOfficeWritesAndRefusesTheRest) {
  for (const TObjectCase& row : ObjectCases()) {
    TEntryCursor cursor = nullptr;
    TOwnedLine line;
    std::string error;
    const bool read = FormulaFromFormulaObject(row.Zip, &cursor, line, error);
    if (row.Latex != nullptr) {
      ASSERT_TRUE(read) << row.What << ": " << error;
      EXPECT_EQ(LatexOf(line.get()), row.Latex) << row.What;
    } else {
      EXPECT_FALSE(read) << row.What;
      EXPECT_EQ(error, row.Message) << row.What;
    }
  }
}

// The fuzzing seeds: "ok-" files read, "bad-" files are refused.
TEST(FormulaObjectTest, EveryFileOfTheSeedCorpusReadsAsItsNameSays) {
  const char* source = std::getenv("QM_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  int files = 0;
  for (const auto& file :
       std::filesystem::directory_iterator(std::filesystem::path(source) / "tests/export/odf")) {
    std::ifstream in(file.path(), std::ios::binary);
    const std::vector<std::uint8_t> zip{std::istreambuf_iterator<char>(in), {}};
    TEntryCursor cursor = nullptr;
    TOwnedLine line;
    std::string error;
    const bool ok = file.path().filename().string().starts_with("ok-");
    EXPECT_EQ(FormulaFromFormulaObject(zip, &cursor, line, error), ok) << file.path() << error;
    ++files;
  }
  EXPECT_GE(files, 3);
}

}  // namespace
