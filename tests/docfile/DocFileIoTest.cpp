// Saving and opening document files: failures must leave the previous file
// as it was and say why.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "docfile/DocFile.h"
#include "docfile/SafeWrite.h"
#include "tests/docfile/DocTestSupport.h"

namespace fs = std::filesystem;

namespace {

class TTempDir {
 public:
  TTempDir() {
    std::string pattern = (fs::temp_directory_path() / "qm-docfile-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TTempDir() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const fs::path& Path() const { return path_; }
  // Everything in the folder, to see that no temporary file stayed behind.
  std::size_t FileCount() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(path_), fs::directory_iterator()));
  }

 private:
  fs::path path_;
};

std::vector<std::uint8_t> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::uint8_t> SampleBytes() {
  TEntryCursor cursor = nullptr;
  TFormulaLine* root = CreateLine(&cursor);
  BuildSampleFormula(root);
  std::vector<std::uint8_t> bytes = EncodeDocument(root, TStoredFont{}, kWhite, 20.0);
  freetheline(root);
  return bytes;
}

const std::vector<std::uint8_t> kOld = {'o', 'l', 'd'};

class DocFileIoTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetFileWriteFunction(); }
  TTempDir dir;
};

TEST_F(DocFileIoTest, SavedFileReadsBackAndKeepsItsPermissions) {
  const std::string path = dir / "Kreis.qmt";
  std::string error;
  ASSERT_TRUE(WriteDocumentFile(path, kOld, error)) << error;
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

  ASSERT_TRUE(WriteDocumentFile(path, SampleBytes(), error)) << error;
  std::vector<std::uint8_t> read;
  ASSERT_TRUE(ReadDocumentFile(path, read, error)) << error;
  EXPECT_EQ(read, SampleBytes());
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(dir.FileCount(), 1u);
}

TEST_F(DocFileIoTest, SavingThroughALinkKeepsTheLink) {
  const std::string real = dir / "real.qmt";
  const std::string link = dir / "link.qmt";
  std::string error;
  ASSERT_TRUE(WriteDocumentFile(real, kOld, error));
  fs::create_symlink(real, link);
  ASSERT_TRUE(WriteDocumentFile(link, SampleBytes(), error)) << error;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Slurp(real), SampleBytes());
}

struct TCreateFailureCase {
  const char* description;
  std::string name;
};

void PrintTo(const TCreateFailureCase& c, std::ostream* os) { *os << c.description; }

class CreateFailureTest : public DocFileIoTest,
                          public ::testing::WithParamInterface<TCreateFailureCase> {};

TEST_P(CreateFailureTest, SaysTheFileCouldNotBeCreated) {
  ASSERT_TRUE(fs::create_directory(dir / "folder"));
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  std::string error;
  EXPECT_FALSE(WriteDocumentFile(dir / GetParam().name, kOld, error));
  EXPECT_EQ(error, kCannotCreate);
  EXPECT_EQ(dir.FileCount(), 2u) << "the temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CreateFailureTest,
    ::testing::Values(TCreateFailureCase{"the folder does not exist", "missing/a.qmt"},
                      TCreateFailureCase{"the name is a folder", "folder"},
                      TCreateFailureCase{"the name is a named pipe", "pipe"},
                      TCreateFailureCase{"a file name longer than the system allows",
                                         "folder/" + std::string(300, 'x')}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(DocFileIoTest, WriteProtectedFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  const std::string path = dir / "locked.qmt";
  std::string error;
  ASSERT_TRUE(WriteDocumentFile(path, kOld, error));
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(WriteDocumentFile(path, SampleBytes(), error));
  EXPECT_EQ(error, kCannotCreate);
  EXPECT_EQ(Slurp(path), kOld);
}

// Replacement write(2)s: each fails the save in its own way, or succeeds slowly.
ssize_t NoSpace(int, const void*, std::size_t) {
  errno = ENOSPC;
  return -1;
}
ssize_t IoError(int, const void*, std::size_t) {
  errno = EIO;
  return -1;
}
ssize_t TakesNothing(int, const void*, std::size_t) { return 0; }
ssize_t OneByteAtATime(int fd, const void* data, std::size_t) { return ::write(fd, data, 1); }

struct TWriteFailureCase {
  const char* description;
  TFileWriteFunction write;
  std::string error;
};

void PrintTo(const TWriteFailureCase& c, std::ostream* os) { *os << c.description; }

class WriteFailureTest : public DocFileIoTest,
                         public ::testing::WithParamInterface<TWriteFailureCase> {};

TEST_P(WriteFailureTest, LeavesTheOldFileByteForByte) {
  const std::string path = dir / "doc.qmt";
  std::string error;
  ASSERT_TRUE(WriteDocumentFile(path, kOld, error));
  SetFileWriteFunction(GetParam().write);
  EXPECT_FALSE(WriteDocumentFile(path, SampleBytes(), error));
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(Slurp(path), kOld);
  EXPECT_EQ(dir.FileCount(), 1u) << "the temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteFailureTest,
    ::testing::Values(TWriteFailureCase{"the disk is full at once", NoSpace, "Disk full."},
                      TWriteFailureCase{"the disk fills up midway", FullAfter100Bytes,
                                        "Disk full."},
                      TWriteFailureCase{"a write that takes nothing", TakesNothing, "Disk full."},
                      TWriteFailureCase{"a device error", IoError, "I/O error 5."}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// Files written together: each one written or reported, the others not
// held up by a failure, a link written through, no temporary file left.
TEST_F(DocFileIoTest, FilesWrittenTogetherEachArriveOrAreReported) {
  const std::string old = dir / "old.png";
  const std::string linked = dir / "linked.png";
  std::string error;
  ASSERT_TRUE(WriteDocumentFile(old, kOld, error));
  ASSERT_TRUE(WriteDocumentFile(linked, kOld, error));
  fs::create_symlink(linked, dir / "link.png");
  fs::create_directory(dir / "folder.png");
  const std::vector<std::uint8_t> sample = SampleBytes();
  const std::vector<TFileToWrite> files = {
      {dir / "new.png", sample},    {old, sample},
      {dir / "folder.png", sample}, {dir / "link.png", sample},
      {dir / "none/x.png", sample}, {dir / "new.png", kOld},
  };
  std::vector<std::string> reported;
  const bool all = WriteFilesTogether(files, [&](const std::string& path, const std::string& why) {
    reported.push_back(path + ": " + why);
  });
  EXPECT_FALSE(all);
  const std::vector<std::string> expected = {dir / "folder.png: " + std::string(kCannotCreate),
                                             dir / "none/x.png: " + std::string(kCannotCreate)};
  EXPECT_EQ(reported, expected);
  EXPECT_EQ(Slurp(dir / "new.png"), kOld) << "the later of two pictures for one file wins";
  EXPECT_EQ(Slurp(old), sample);
  EXPECT_EQ(Slurp(linked), sample);
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  EXPECT_EQ(dir.FileCount(), 5u) << "a temporary file was left behind";
  EXPECT_TRUE(WriteFilesTogether({}, [](const std::string&, const std::string&) {}));
}

TEST_F(DocFileIoTest, ShortWritesAreContinued) {
  const std::string path = dir / "doc.qmt";
  SetFileWriteFunction(OneByteAtATime);
  std::string error;
  ASSERT_TRUE(WriteDocumentFile(path, SampleBytes(), error)) << error;
  EXPECT_EQ(Slurp(path), SampleBytes());
}

// A real full disk: a tiny tmpfs. Needs root; the injected failures above
// cover the same path everywhere.
TEST_F(DocFileIoTest, FullDiskLeavesTheOldFileIntact) {
  const std::string mountPoint = dir / "tiny";
  fs::create_directory(mountPoint);
  if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  const std::string path = mountPoint + "/doc.qmt";
  std::string error;
  const bool oldSaved = WriteDocumentFile(path, SampleBytes(), error);
  std::vector<std::uint8_t> big(200 * 1024, 0x5A);
  const bool bigSaved = WriteDocumentFile(path, big, error);
  const std::vector<std::uint8_t> after = Slurp(path);
  const std::size_t files = static_cast<std::size_t>(
      std::distance(fs::directory_iterator(mountPoint), fs::directory_iterator()));
  ASSERT_EQ(::umount(mountPoint.c_str()), 0);

  ASSERT_TRUE(oldSaved);
  EXPECT_FALSE(bigSaved);
  EXPECT_EQ(error, "Disk full.");
  EXPECT_EQ(after, SampleBytes());
  EXPECT_EQ(files, 1u);
}

struct TOpenFailureCase {
  const char* description;
  std::function<std::string(const TTempDir&)> prepare;  // returns the path to open
  std::string error;
};

void PrintTo(const TOpenFailureCase& c, std::ostream* os) { *os << c.description; }

class OpenFailureTest : public DocFileIoTest,
                        public ::testing::WithParamInterface<TOpenFailureCase> {};

TEST_P(OpenFailureTest, SaysWhyAndKeepsTheBuffer) {
  const std::string path = GetParam().prepare(dir);
  std::vector<std::uint8_t> bytes = kOld;
  std::string error;
  EXPECT_FALSE(ReadDocumentFile(path, bytes, error));
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(bytes, kOld);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenFailureTest,
    ::testing::Values(TOpenFailureCase{"the file does not exist",
                                       [](const TTempDir& d) { return d / "none.qmt"; },
                                       kCannotOpen},
                      TOpenFailureCase{"a folder is no document",
                                       [](const TTempDir& d) { return d.Path().string(); },
                                       kCannotOpen},
                      TOpenFailureCase{"a named pipe neither blocks nor opens",
                                       [](const TTempDir& d) {
                                         const std::string p = d / "pipe";
                                         ::mkfifo(p.c_str(), 0600);
                                         return p;
                                       },
                                       kCannotOpen},
                      TOpenFailureCase{"a file over 256 MiB is refused before reading",
                                       [](const TTempDir& d) {
                                         const std::string p = d / "huge.qmt";
                                         std::ofstream(p).close();
                                         fs::resize_file(p, kMaxDocumentFileBytes + 1);  // sparse
                                         return p;
                                       },
                                       kTooLarge}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
