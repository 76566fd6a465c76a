// Saving keeps what the file has: its other hard links, the link that names
// it, its owner and permission bits, and a folder that takes no new files.
// Where the rename cannot keep these, the file is written in place, and a
// failure there puts the old content back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "docfile/DocFile.h"
#include "docfile/SafeWrite.h"
#include "tests/docfile/DocTestSupport.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

std::vector<std::uint8_t> Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Put(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::size_t FileCount(const fs::path& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

struct stat StatOf(const fs::path& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st;
}

// More than 100 bytes, so that a write failing after 100 has changed the file.
const std::vector<std::uint8_t> kOld(300, 'o');
const std::vector<std::uint8_t> kNew(1000, 'n');

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
  // Makes the files in `folder` and returns the name to save under.
  std::function<fs::path(const fs::path& folder)> prepare;
  std::function<bool(const fs::path& path, const std::vector<std::uint8_t>& bytes)> save;
  std::function<void(const fs::path& folder)> check;
};

void PrintTo(const TKeepCase& c, std::ostream* os) { *os << c.description; }

bool SaveDirectly(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::string error;
  return WriteDocumentFile(path, bytes, error);
}

const TKeepCase kKeepCases[] = {
    {"a hard link: both names see the new content", false,
     [](const fs::path& folder) {
       Put(folder / "a.qmt", kOld);
       fs::create_hard_link(folder / "a.qmt", folder / "b.qmt");
       return folder / "a.qmt";
     },
     SaveDirectly,
     [](const fs::path& folder) {
       EXPECT_EQ(Slurp(folder / "b.qmt"), kNew);
       EXPECT_EQ(fs::hard_link_count(folder / "a.qmt"), 2u);
       EXPECT_EQ(FileCount(folder), 2u) << "the copy of the old content stayed";
     }},
    {"a dangling link: the link stays and its target is made", false,
     [](const fs::path& folder) {
       fs::create_symlink("made.qmt", folder / "link.qmt");
       return folder / "link.qmt";
     },
     SaveDirectly,
     [](const fs::path& folder) {
       EXPECT_TRUE(fs::is_symlink(folder / "link.qmt"));
       EXPECT_EQ(Slurp(folder / "made.qmt"), kNew);
     }},
    {"a writable file in a read-only folder", false,
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
     SaveUnprivileged,
     [](const fs::path& folder) {
       EXPECT_EQ(StatOf(folder / "ro" / "doc.qmt").st_mode & 07777, 0646u);
       EXPECT_EQ(FileCount(folder / "ro"), 1u);
     }},
    {"a file of another owner keeps its owner and bits", true,
     [](const fs::path& folder) {
       Put(folder / "theirs.qmt", kOld);
       ::chown((folder / "theirs.qmt").c_str(), kNobody, kNoGroup);
       ::chmod((folder / "theirs.qmt").c_str(), 0604);
       return folder / "theirs.qmt";
     },
     SaveDirectly,
     [](const fs::path& folder) {
       const struct stat st = StatOf(folder / "theirs.qmt");
       EXPECT_EQ(st.st_uid, kNobody);
       EXPECT_EQ(st.st_gid, kNoGroup);
       EXPECT_EQ(st.st_mode & 07777, 0604u);
     }},
};

class SafeWriteTest : public ::testing::TestWithParam<TKeepCase> {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "qm-safewrite-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    // An unprivileged child must be able to reach the folder.
    ::chmod(folder_.c_str(), 0755);
  }
  void TearDown() override {
    ResetFileWriteFunction();
    for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
      if (entry.is_directory() && !entry.is_symlink()) ::chmod(entry.path().c_str(), 0755);
    }
    fs::remove_all(folder_);
  }
  fs::path folder_;
};

TEST_P(SafeWriteTest, SavesAndKeepsWhatTheFileHas) {
  if (GetParam().needsRoot && ::geteuid() != 0) GTEST_SKIP() << "needs a file of another owner";
  const fs::path path = GetParam().prepare(folder_);
  ASSERT_TRUE(GetParam().save(path, kNew));
  EXPECT_EQ(Slurp(path), kNew);
  GetParam().check(folder_);
}

INSTANTIATE_TEST_SUITE_P(Cases, SafeWriteTest, ::testing::ValuesIn(kKeepCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(SafeWriteTest, HardLinkIsWrittenInPlace) {
  Put(folder_ / "a.qmt", kOld);
  fs::create_hard_link(folder_ / "a.qmt", folder_ / "b.qmt");
  TSafeWrite write((folder_ / "a.qmt").string());
  std::string error;
  ASSERT_TRUE(write.Stage(kNew, error)) << error;
  EXPECT_TRUE(write.InPlace());
}

TEST_F(SafeWriteTest, FailedWriteInPlaceRestoresTheOldContent) {
  Put(folder_ / "a.qmt", kOld);
  fs::create_hard_link(folder_ / "a.qmt", folder_ / "b.qmt");
  SetFileWriteFunction(FullAfter100Bytes);
  std::string error;
  EXPECT_FALSE(WriteDocumentFile((folder_ / "a.qmt").string(), kNew, error));
  EXPECT_EQ(error, "Disk full.");
  EXPECT_EQ(Slurp(folder_ / "a.qmt"), kOld);
  EXPECT_EQ(Slurp(folder_ / "b.qmt"), kOld);
  EXPECT_EQ(FileCount(folder_), 2u) << "the copy of the old content stayed";
}

}  // namespace
