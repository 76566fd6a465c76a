// Every document of the fuzzing seed corpus goes through the reader: "ok-"
// files must open and survive a save and reopen unchanged, "bad-" files must
// be refused.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "docfile/DocFile.h"
#include "tests/docfile/DocTestSupport.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void ExpectOpensAndSurvivesASave(const std::vector<std::uint8_t>& bytes) {
  TEntryCursor cursor = nullptr;
  TDocument first;
  TDocument second;
  std::string error;
  ASSERT_TRUE(DecodeDocument(bytes, &cursor, first, error)) << error;
  ASSERT_TRUE(DecodeDocument(EncodeDocument(first), &cursor, second, error)) << error;
  EXPECT_EQ(DescribeLine(second.Root), DescribeLine(first.Root));
  EXPECT_EQ(second.Font, first.Font);
  EXPECT_EQ(second.Background, first.Background);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(second.Margin),
            std::bit_cast<std::uint64_t>(first.Margin));
  first.Release();
  second.Release();
}

TEST(CorpusTest, EveryDocumentReadsAsItsNameSays) {
  const char* source = std::getenv("QM_SOURCE_DIR");
  ASSERT_NE(source, nullptr) << "QM_SOURCE_DIR names the source root";
  const fs::path corpus = fs::path(source) / "tests/docfile/corpus";
  int good = 0;
  int bad = 0;
  for (const fs::directory_entry& file : fs::directory_iterator(corpus)) {
    const std::string name = file.path().filename().string();
    SCOPED_TRACE(name);
    const std::vector<std::uint8_t> bytes = Slurp(file.path());
    if (name.starts_with("ok-")) {
      ExpectOpensAndSurvivesASave(bytes);
      ++good;
    } else if (name.starts_with("bad-")) {
      TEntryCursor cursor = nullptr;
      TDocument doc;
      std::string error;
      EXPECT_FALSE(DecodeDocument(bytes, &cursor, doc, error));
      EXPECT_FALSE(error.empty());
      ++bad;
    } else {
      ADD_FAILURE() << "corpus files are named ok-* or bad-*";
    }
  }
  EXPECT_GE(good, 5);
  EXPECT_GE(bad, 5);
}

}  // namespace
