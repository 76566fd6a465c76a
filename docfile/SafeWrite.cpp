#include "docfile/SafeWrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "docfile/DocFile.h"

namespace {

TFileWriteFunction gWrite = ::write;

// Symbolic links nest at most this deep before the system gives up (ELOOP).
constexpr int kMaxLinkHops = 40;
constexpr std::size_t kCopyChunk = 1 << 16;

bool Fail(std::string& error, const std::string& message) {
  error = message;
  return false;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows links to the file they name, whether it exists or not, so that
// saving through a dangling link creates its target instead of replacing it.
std::string ResolveTarget(std::string path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string link(static_cast<std::size_t>(PATH_MAX), '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return path;
    link.resize(static_cast<std::size_t>(n));
    path = link.front() == '/' ? link : DirectoryOf(path) + "/" + link;
  }
  return path;
}

std::string TempNameIn(const std::string& directory) {
  static std::atomic<unsigned> counter{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  return directory + "/.quillmora-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
         "-" + std::to_string(ticks % 1000000007) + ".tmp";
}

// Opens a new file of our own in `directory`; O_EXCL guarantees that no
// other file is reused. Leaves errno as the failing open set it.
TFileDescriptor CreateTempIn(const std::string& directory, std::string& tempPath, int flags,
                             mode_t mode) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = TempNameIn(directory);
    const int fd = ::open(tempPath.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return TFileDescriptor(fd);
  }
  return TFileDescriptor();
}

bool WriteAllWith(TFileWriteFunction write, int fd, std::span<const std::uint8_t> bytes,
                  std::string& error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(error, IoErrorText(errno));
    // A write that takes nothing will never take the rest.
    if (n == 0) return Fail(error, IoErrorText(ENOSPC));
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Copies everything from the start of `from` over the start of `to` and
// cuts `to` to that length; the old content's own copies bypass the write
// that tests make fail.
bool CopyWhole(int from, int to, std::string& error) {
  if (::lseek(from, 0, SEEK_SET) < 0 || ::lseek(to, 0, SEEK_SET) < 0) {
    return Fail(error, IoErrorText(errno));
  }
  std::vector<std::uint8_t> chunk(kCopyChunk);
  off_t total = 0;
  for (;;) {
    const ssize_t n = ::read(from, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(error, IoErrorText(errno));
    if (n == 0) break;
    if (!WriteAllWith(::write, to, {chunk.data(), static_cast<std::size_t>(n)}, error)) {
      return false;
    }
    total += n;
  }
  if (::ftruncate(to, total) != 0 || ::fsync(to) != 0) return Fail(error, IoErrorText(errno));
  return true;
}

// A descriptor that only keeps the file from going away; -1 where the system
// has none such.
int HoldOpen(const std::string& path) {
#ifdef O_PATH
  return ::open(path.c_str(), O_PATH | O_CLOEXEC);
#else
  (void)path;
  return -1;
#endif
}

void SyncDirectory(const std::string& path) {
  const TFileDescriptor fd(::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Valid()) ::fsync(fd.Get());  // best effort: the rename has happened either way
}

// The target must be a file we may write, as it would have to be when
// rewritten in place: a write-protected document stays protected, and a
// folder, pipe or device is never replaced by a file.
bool CheckTarget(const std::string& target, struct stat& st, bool& exists, std::string& error) {
  exists = ::stat(target.c_str(), &st) == 0;
  if (!exists) return errno == ENOENT || Fail(error, kCannotCreate);
  if (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0) {
    return Fail(error, kCannotCreate);
  }
  return true;
}

// The copy of the old content: beside the file where possible, else in the
// system's folder for temporary files (a read-only folder takes no new file).
TFileDescriptor CreateBackup(const std::string& target, std::string& backupPath) {
  TFileDescriptor fd = CreateTempIn(DirectoryOf(target), backupPath, O_RDWR, 0600);
  if (fd.Valid()) return fd;
  std::error_code ignored;
  const std::string tmp = std::filesystem::temp_directory_path(ignored).string();
  return CreateTempIn(tmp.empty() ? "/tmp" : tmp, backupPath, O_RDWR, 0600);
}

// The new content over the old, cut to its own length and synced.
bool WriteInPlace(int fd, std::span<const std::uint8_t> bytes, std::string& error) {
  if (::lseek(fd, 0, SEEK_SET) != 0) return Fail(error, IoErrorText(errno));
  if (!WriteAllWith(gWrite, fd, bytes, error)) return false;
  if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd) != 0) {
    return Fail(error, IoErrorText(errno));
  }
  return true;
}

}  // namespace

void SetFileWriteFunction(TFileWriteFunction write) { gWrite = write; }
void ResetFileWriteFunction() { gWrite = ::write; }

TSafeWrite::TSafeWrite(const std::string& path) : target_(ResolveTarget(path)) {}

TSafeWrite::~TSafeWrite() {
  if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
}

bool TSafeWrite::Stage(std::span<const std::uint8_t> bytes, std::string& error) {
  if (!CheckTarget(target_, old_, exists_, error)) return false;
  // A rename would give the other names of a hard-linked file the old content.
  if (exists_ && old_.st_nlink > 1) {
    inPlace_ = true;
  } else {
    // 0666 less the umask, as any new file; an existing file's bits follow.
    temp_ = CreateTempIn(DirectoryOf(target_), tempPath_, O_WRONLY, 0666);
    if (!temp_.Valid()) {
      const bool folderRefuses = errno == EACCES || errno == EPERM || errno == EROFS;
      tempPath_.clear();
      if (!exists_ || !folderRefuses) return Fail(error, kCannotCreate);
      inPlace_ = true;
    } else if (exists_ && !KeepOwner(temp_.Get())) {
      temp_ = TFileDescriptor();
      ::unlink(tempPath_.c_str());
      tempPath_.clear();
      inPlace_ = true;
    }
  }
  if (inPlace_) {
    inPlaceBytes_ = bytes;
    return true;
  }
  return WriteAllWith(gWrite, temp_.Get(), bytes, error);
}

// The new file takes the old one's owner and permission bits; false when
// the process may not give it that owner.
bool TSafeWrite::KeepOwner(int fd) {
  struct stat made {};
  if (::fstat(fd, &made) != 0) return false;
  if ((made.st_uid != old_.st_uid || made.st_gid != old_.st_gid) &&
      ::fchown(fd, old_.st_uid, old_.st_gid) != 0) {
    return false;
  }
  return ::fchmod(fd, old_.st_mode & 07777) == 0;
}

bool TSafeWrite::Commit(std::string& error, bool inBatch) {
  return inPlace_ ? CommitInPlace(error) : CommitRename(error, inBatch);
}

void TSafeWrite::StartWriteback() {
#ifdef __linux__
  // Best effort: the sync that follows reports any failure.
  if (temp_.Valid()) (void)::sync_file_range(temp_.Get(), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

bool TSafeWrite::CloseStaged(std::string& error) {
  if (!temp_.Valid() || temp_.Close()) return true;
  return Fail(error, IoErrorText(errno));
}

bool TSafeWrite::CommitRename(std::string& error, bool inBatch) {
  if (tempPath_.empty() || (!inBatch && !temp_.Valid())) return Fail(error, kCannotCreate);
  if (!inBatch && ::fsync(temp_.Get()) != 0) return Fail(error, IoErrorText(errno));
  if (!CloseStaged(error)) return false;
  // The replaced file stays open across the rename, so that its blocks are
  // released when this closes it, not inside the rename, which holds the
  // folder: on a disk told of every freed block that release waits for the
  // device, and a batch's renames in one folder would wait in turn.
  const TFileDescriptor replaced(exists_ ? HoldOpen(target_) : -1);
  if (::rename(tempPath_.c_str(), target_.c_str()) != 0) return Fail(error, kCannotCreate);
  tempPath_.clear();
  renamed_ = true;
  if (!inBatch) SyncDirectory(target_);
  return true;
}

// The copy reaches the disk before the file is touched, so a crash leaves
// the old content in the file or in the copy; a failed write restores the
// file from the copy, which stays only when even that fails.
bool TSafeWrite::CommitInPlace(std::string& error) {
  const TFileDescriptor file(::open(target_.c_str(), O_RDWR | O_CLOEXEC));
  if (!file.Valid()) return Fail(error, kCannotCreate);
  std::string backupPath;
  const TFileDescriptor backup = CreateBackup(target_, backupPath);
  if (!backup.Valid()) return Fail(error, kCannotCreate);
  if (!CopyWhole(file.Get(), backup.Get(), error)) {
    ::unlink(backupPath.c_str());
    return false;
  }
  SyncDirectory(backupPath);
  if (WriteInPlace(file.Get(), inPlaceBytes_, error)) {
    ::unlink(backupPath.c_str());
    return true;
  }
  std::string restoreError;
  if (CopyWhole(backup.Get(), file.Get(), restoreError)) {
    ::unlink(backupPath.c_str());
  } else {
    error += " Der alte Inhalt liegt in " + backupPath + ".";
  }
  return false;
}

bool WriteDocumentFile(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error) {
  TSafeWrite write(path);
  return write.Stage(bytes, error) && write.Commit(error);
}

namespace {

using TStaged = std::vector<TSafeWrite*>;

// One syncfs per file system that holds a staged file; false with the
// message when one fails.
bool SyncFileSystems(const TStaged& staged, std::string& error) {
  std::set<std::string> folders;
  for (const TSafeWrite* write : staged) folders.insert(DirectoryOf(write->Target()));
  std::set<dev_t> synced;
  for (const std::string& folder : folders) {
    const TFileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0) return Fail(error, IoErrorText(errno));
    if (synced.insert(st.st_dev).second && ::syncfs(fd.Get()) != 0) {
      return Fail(error, IoErrorText(errno));
    }
  }
  return true;
}

// The renames of a batch reach the disk with one sync of each folder.
void SyncRenamedFolders(const TStaged& staged) {
  std::set<std::string> folders;
  for (const TSafeWrite* write : staged) {
    if (write->Renamed() && folders.insert(DirectoryOf(write->Target())).second) {
      SyncDirectory(write->Target());
    }
  }
}

// Replacing a file releases the blocks of its old content, which on a disk
// told of every freed block (online discard) waits for the device, some
// milliseconds a file; the commits of a batch go on several threads so that
// those waits overlap. A target named twice is committed in order on one
// thread, so that the last file named stays.
constexpr std::size_t kCommitThreads = 8;

// The message for each staged file, empty where its commit succeeded. The
// threads allocate no message of their own: running out of memory there is
// told on the calling thread.
std::vector<std::string> CommitAll(const TStaged& staged) {
  std::map<std::string, std::vector<std::size_t>> byTarget;
  for (std::size_t i = 0; i < staged.size(); ++i) byTarget[staged[i]->Target()].push_back(i);
  std::vector<const std::vector<std::size_t>*> groups;
  for (const auto& [target, indices] : byTarget) groups.push_back(&indices);
  std::vector<std::string> errors(staged.size());
  enum TOutcome : char { kFailed, kDone, kOutOfMemory };
  std::vector<TOutcome> outcomes(staged.size(), kFailed);
  std::atomic<std::size_t> next{0};
  const auto work = [&]() noexcept {
    for (std::size_t g = next++; g < groups.size(); g = next++) {
      for (const std::size_t i : *groups[g]) {
        try {
          outcomes[i] = staged[i]->Commit(errors[i], true) ? kDone : kFailed;
        } catch (const std::bad_alloc&) {
          outcomes[i] = kOutOfMemory;
        } catch (...) {  // NOLINT(bugprone-empty-catch): a failure without a message, told below
        }
      }
    }
  };
  std::vector<std::thread> threads;
  try {
    while (threads.size() + 1 < std::min(kCommitThreads, groups.size())) threads.emplace_back(work);
  } catch (const std::system_error&) {  // NOLINT(bugprone-empty-catch): fewer threads will do
  }
  work();
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < staged.size(); ++i) {
    if (outcomes[i] == kOutOfMemory) errors[i] = IoErrorText(ENOMEM);
    if (outcomes[i] == kFailed && errors[i].empty()) errors[i] = kCannotCreate;
  }
  return errors;
}

}  // namespace

TWriteBatch::TWriteBatch(std::size_t slots) : slots_(slots) {}

void TWriteBatch::Stage(std::size_t slot, const std::string& path,
                        std::span<const std::uint8_t> bytes) {
  TSlot& into = slots_.at(slot);
  auto write = std::make_unique<TSafeWrite>(path);
  std::string error;
  bool staged = write->Stage(bytes, error);
  if (staged) write->StartWriteback();
  staged = staged && write->CloseStaged(error);
  into.Path = path;
  into.Error = std::move(error);
  if (staged) into.Write = std::move(write);
}

// One sync per file system makes all the temporary files durable, then each
// goes in place (a file written in place makes its own copy durable first),
// and one sync per folder makes the renames durable.
bool TWriteBatch::Finish(const TWriteReport& report) {
  TStaged staged;
  for (TSlot& slot : slots_) {
    if (slot.Write) staged.push_back(slot.Write.get());
  }
  std::string syncError;
  std::vector<std::string> commitErrors(staged.size(), std::string());
  if (SyncFileSystems(staged, syncError)) {
    commitErrors = CommitAll(staged);
    SyncRenamedFolders(staged);
  } else {
    for (std::string& error : commitErrors) error = syncError;
  }
  bool all = true;
  std::size_t committed = 0;
  for (const TSlot& slot : slots_) {
    const std::string& error = slot.Write ? commitErrors[committed++] : slot.Error;
    if (error.empty()) continue;
    report(slot.Path, error);
    all = false;
  }
  return all;
}

bool WriteFilesTogether(const std::vector<TFileToWrite>& files, const TWriteReport& report) {
  TWriteBatch batch(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) batch.Stage(i, files[i].Path, files[i].Bytes);
  return batch.Finish(report);
}
