// Saving and opening document files: failures must leave the previous file
// as it was and say why.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

namespace fs = std::filesystem;

namespace {

// Everything in a folder, to see that no temporary file stayed behind.
std::size_t FileCount(const fs::path& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class TTempDir {
 public:
  TTempDir() {
    std::string pattern = (fs::temp_directory_path() / "qm-docfile-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    // An unprivileged child must be able to reach the folder.
    ::chmod(path_.c_str(), 0755);
  }
  ~TTempDir() {
    for (const auto& entry : fs::recursive_directory_iterator(path_)) {
      if (entry.is_directory() && !entry.is_symlink()) ::chmod(entry.path().c_str(), 0755);
    }
    fs::remove_all(path_);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const fs::path& Path() const { return path_; }
  std::size_t FileCount() const { return ::FileCount(path_); }

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
// Half the buffer lands, then the disk is full: the classic short write.
ssize_t FullAfter100Bytes(int fd, const void* data, std::size_t size) {
  static thread_local std::size_t written = 0;
  if (written >= 100) {
    written = 0;
    errno = ENOSPC;
    return -1;
  }
  const std::size_t n = std::min<std::size_t>(size, 100 - written);
  written += n;
  return ::write(fd, data, n);
}
ssize_t OneByteAtATime(int fd, const void* data, std::size_t) { return ::write(fd, data, 1); }

struct TWriteFailureCase {
  const char* description;
  TFileWriteFunction write;
  std::string error;
  bool hardLinked = false;  // a second name makes the save write in place
};

void PrintTo(const TWriteFailureCase& c, std::ostream* os) { *os << c.description; }

class WriteFailureTest : public DocFileIoTest,
                         public ::testing::WithParamInterface<TWriteFailureCase> {};

TEST_P(WriteFailureTest, LeavesTheOldFileByteForByte) {
  const std::string path = dir / "doc.qmt";
  std::string error;
  ASSERT_TRUE(WriteDocumentFile(path, kOld, error));
  if (GetParam().hardLinked) fs::create_hard_link(path, dir / "b.qmt");
  SetFileWriteFunction(GetParam().write);
  EXPECT_FALSE(WriteDocumentFile(path, SampleBytes(), error));
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(Slurp(path), kOld);
  EXPECT_EQ(Slurp(GetParam().hardLinked ? dir / "b.qmt" : path), kOld) << "the other name";
  EXPECT_EQ(dir.FileCount(), GetParam().hardLinked ? 2u : 1u) << "a temporary file stayed";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteFailureTest,
    ::testing::Values(TWriteFailureCase{"the disk is full at once", NoSpace, "Disk full."},
                      TWriteFailureCase{"the disk fills up midway", FullAfter100Bytes,
                                        "Disk full."},
                      TWriteFailureCase{"a write that takes nothing", TakesNothing, "Disk full."},
                      TWriteFailureCase{"a device error", IoError, "I/O error 5."},
                      TWriteFailureCase{"the disk fills up midway in a file of two names",
                                        FullAfter100Bytes, "Disk full.", true}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// ---- saving keeps what the file has ------------------------------------------
// Its other hard links, the link that names it, its owner and permission
// bits, and a folder that takes no new files.

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

void Put(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

struct stat StatOf(const fs::path& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st;
}

// Saves as a user without privileges: a root process cannot be kept out of
// a read-only folder, so it saves from a child that has become nobody.
bool SaveUnprivileged(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::string error;
  if (::geteuid() != 0) return WriteDocumentFile(path, bytes, error);
  const pid_t child = ::fork();
  if (child == 0) {
    const bool dropped = ::setgid(kNoGroup) == 0 && ::setuid(kNobody) == 0;
    ::_exit(dropped && WriteDocumentFile(path, bytes, error) ? 0 : 1);
  }
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

struct TKeepCase {
  const char* description;
  bool needsRoot;
  bool unprivileged;
  // Makes the files in `folder` and returns the name to save under.
  std::function<fs::path(const fs::path& folder)> prepare;
  std::function<void(const fs::path& folder)> check;
};

void PrintTo(const TKeepCase& c, std::ostream* os) { *os << c.description; }

const TKeepCase kKeepCases[] = {
    {"a hard link: both names see the new content", false, false,
     [](const fs::path& folder) {
       Put(folder / "a.qmt", kOld);
       fs::create_hard_link(folder / "a.qmt", folder / "b.qmt");
       return folder / "a.qmt";
     },
     [](const fs::path& folder) {
       EXPECT_EQ(Slurp(folder / "b.qmt"), SampleBytes());
       EXPECT_EQ(fs::hard_link_count(folder / "a.qmt"), 2u);
       EXPECT_EQ(FileCount(folder), 2u) << "the copy of the old content stayed";
     }},
    {"a dangling link: the link stays and its target is made", false, false,
     [](const fs::path& folder) {
       fs::create_symlink("made.qmt", folder / "link.qmt");
       return folder / "link.qmt";
     },
     [](const fs::path& folder) {
       EXPECT_TRUE(fs::is_symlink(folder / "link.qmt"));
       EXPECT_EQ(Slurp(folder / "made.qmt"), SampleBytes());
     }},
    {"a writable file in a read-only folder", false, true,
     [](const fs::path& folder) {
       fs::create_directory(folder / "ro");
       Put(folder / "ro" / "doc.qmt", kOld);
       ::chmod((folder / "ro" / "doc.qmt").c_str(), 0646);
       if (::geteuid() == 0) {
         ::chown((folder / "ro").c_str(), kNobody, kNoGroup);
         ::chown((folder / "ro" / "doc.qmt").c_str(), kNobody, kNoGroup);
       }
       ::chmod((folder / "ro").c_str(), 0555);
       return folder / "ro" / "doc.qmt";
     },
     [](const fs::path& folder) {
       EXPECT_EQ(StatOf(folder / "ro" / "doc.qmt").st_mode & 07777, 0646u);
       EXPECT_EQ(FileCount(folder / "ro"), 1u);
     }},
    {"a file of another owner keeps its owner and bits", true, false,
     [](const fs::path& folder) {
       Put(folder / "theirs.qmt", kOld);
       ::chown((folder / "theirs.qmt").c_str(), kNobody, kNoGroup);
       ::chmod((folder / "theirs.qmt").c_str(), 0604);
       return folder / "theirs.qmt";
     },
     [](const fs::path& folder) {
       const struct stat st = StatOf(folder / "theirs.qmt");
       EXPECT_EQ(st.st_uid, kNobody);
       EXPECT_EQ(st.st_gid, kNoGroup);
       EXPECT_EQ(st.st_mode & 07777, 0604u);
     }},
};

class KeepTest : public DocFileIoTest, public ::testing::WithParamInterface<TKeepCase> {};

TEST_P(KeepTest, SavesAndKeepsWhatTheFileHas) {
  if (GetParam().needsRoot && ::geteuid() != 0) GTEST_SKIP() << "needs a file of another owner";
  const fs::path path = GetParam().prepare(dir.Path());
  std::string error;
  ASSERT_TRUE(GetParam().unprivileged ? SaveUnprivileged(path, SampleBytes())
                                      : WriteDocumentFile(path, SampleBytes(), error))
      << error;
  EXPECT_EQ(Slurp(path), SampleBytes());
  GetParam().check(dir.Path());
}

INSTANTIATE_TEST_SUITE_P(Cases, KeepTest, ::testing::ValuesIn(kKeepCases),
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

// A batch commits on several threads: every one of many replaced files
// arrives, also where the process may open fewer files than the batch has,
// and a hard-linked file (written in place) named three times ends with the
// last content under both its names.
TEST_F(DocFileIoTest, ManyFilesReplacedTogetherAllArriveInOrder) {
  constexpr int kFiles = 100;
  std::string error;
  std::vector<TFileToWrite> files;
  std::vector<std::vector<std::uint8_t>> contents;
  for (int i = 0; i < kFiles; ++i) contents.push_back({'n', static_cast<std::uint8_t>(i)});
  for (int i = 0; i < kFiles; ++i) {
    ASSERT_TRUE(WriteDocumentFile(dir / ("p" + std::to_string(i)), kOld, error)) << error;
    files.push_back({dir / ("p" + std::to_string(i)), contents[static_cast<std::size_t>(i)]});
  }
  const std::string linked = dir / "linked";
  ASSERT_TRUE(WriteDocumentFile(linked, kOld, error)) << error;
  fs::create_hard_link(linked, dir / "other-name");
  for (std::size_t i : {0u, 1u, 2u}) files.push_back({linked, contents[i]});
  rlimit open{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &open), 0);
  const rlimit fewer{64, open.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &fewer), 0);
  const bool all = WriteFilesTogether(files, [](const std::string& path, const std::string& why) {
    ADD_FAILURE() << path << ": " << why;
  });
  ::setrlimit(RLIMIT_NOFILE, &open);
  EXPECT_TRUE(all);
  for (int i = 0; i < kFiles; ++i) {
    EXPECT_EQ(Slurp(dir / ("p" + std::to_string(i))), contents[static_cast<std::size_t>(i)]) << i;
  }
  EXPECT_EQ(Slurp(linked), contents[2]);
  EXPECT_EQ(Slurp(dir / "other-name"), contents[2]);
  EXPECT_EQ(dir.FileCount(), kFiles + 2u) << "a temporary file or a copy was left behind";
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
