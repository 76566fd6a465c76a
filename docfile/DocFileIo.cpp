// Document files on disk. Saving never touches the previous file until the
// new one is complete: it goes to a temporary file beside the target, which
// then replaces the target in one rename.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>

#include "docfile/DocFile.h"

namespace {

TFileWriteFunction gWrite = ::write;

// Closes on scope exit unless the descriptor was closed on purpose.
class TFileDescriptor {
 public:
  explicit TFileDescriptor(int fd) : fd_(fd) {}
  ~TFileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;

  int Get() const { return fd_; }
  // The close of a written file is checked: some file systems report a
  // failed write only there.
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

// Removes the temporary file unless it became the document.
class TTempFile {
 public:
  explicit TTempFile(std::string path) : path_(std::move(path)) {}
  ~TTempFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  const std::string& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A link is saved through: the file it names gets the new content and the
// link stays a link.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string resolved(real);
  std::free(real);
  return resolved;
}

std::string TempNameIn(const std::string& directory) {
  static std::atomic<unsigned> counter{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  return directory + "/.quillmora-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
         "-" + std::to_string(ticks % 1000000007) + ".tmp";
}

// Opens a new file of our own beside `target`; O_EXCL guarantees that no
// other file is reused.
int CreateTempBeside(const std::string& target, std::string& tempPath) {
  const std::string directory = DirectoryOf(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = TempNameIn(directory);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes, std::string& error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = gWrite(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = IoErrorText(errno);
      return false;
    }
    // A write that takes nothing will never take the rest.
    if (n == 0) {
      error = IoErrorText(ENOSPC);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool Fail(std::string& error, const std::string& message) {
  error = message;
  return false;
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

// A batch leaves out the sync: it syncs all its files at once.
bool FillTemp(int fd, std::span<const std::uint8_t> bytes, const struct stat* keepMode, bool sync,
              std::string& error) {
  if (keepMode != nullptr && ::fchmod(fd, keepMode->st_mode & 07777) != 0) {
    return Fail(error, IoErrorText(errno));
  }
  if (!WriteAll(fd, bytes, error)) return false;
  if (sync && ::fsync(fd) != 0) return Fail(error, IoErrorText(errno));
  return true;
}

void SyncDirectory(const std::string& path) {
  const int fd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename has happened either way
  ::close(fd);
}

// A file of a batch, written to its temporary file but not yet in place.
struct TStagedFile {
  std::string Path;  // as given, for messages
  std::string Target;
  std::string TempPath;
};

bool StageFile(const TFileToWrite& file, TStagedFile& staged, std::string& error) {
  staged.Path = file.Path;
  staged.Target = ResolveTarget(file.Path);
  struct stat st {};
  bool exists = false;
  if (!CheckTarget(staged.Target, st, exists, error)) return false;
  TFileDescriptor fd(CreateTempBeside(staged.Target, staged.TempPath));
  if (fd.Get() < 0) return Fail(error, kCannotCreate);
  TTempFile temp(staged.TempPath);
  if (!FillTemp(fd.Get(), file.Bytes, exists ? &st : nullptr, false, error)) return false;
  if (!fd.Close()) return Fail(error, IoErrorText(errno));
  temp.Keep();
  return true;
}

// One syncfs per file system that holds a staged file; false with the
// message when one fails.
bool SyncFileSystems(const std::vector<TStagedFile>& staged, std::string& error) {
  std::set<dev_t> synced;
  for (const TStagedFile& file : staged) {
    const int fd = ::open(DirectoryOf(file.TempPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
      if (fd >= 0) ::close(fd);
      return Fail(error, IoErrorText(errno));
    }
    const bool ok = synced.contains(st.st_dev) || ::syncfs(fd) == 0;
    const int syncError = errno;
    ::close(fd);
    if (!ok) return Fail(error, IoErrorText(syncError));
    synced.insert(st.st_dev);
  }
  return true;
}

}  // namespace

bool WriteFilesTogether(const std::vector<TFileToWrite>& files, const TWriteReport& report) {
  bool all = true;
  std::vector<TStagedFile> staged;
  for (const TFileToWrite& file : files) {
    TStagedFile stage;
    std::string error;
    if (StageFile(file, stage, error)) {
      staged.push_back(std::move(stage));
    } else {
      report(file.Path, error);
      all = false;
    }
  }
  std::string error;
  const bool durable = SyncFileSystems(staged, error);
  // One file per folder, whose folder is synced once the renames are done.
  std::map<std::string, std::string> folders;
  for (const TStagedFile& file : staged) {
    TTempFile temp(file.TempPath);
    if (!durable) {
      report(file.Path, error);
    } else if (::rename(file.TempPath.c_str(), file.Target.c_str()) != 0) {
      report(file.Path, kCannotCreate);
    } else {
      temp.Keep();
      folders.emplace(DirectoryOf(file.Target), file.Target);
      continue;
    }
    all = false;
  }
  for (const auto& [folder, target] : folders) SyncDirectory(target);
  return all;
}

void SetFileWriteFunction(TFileWriteFunction write) { gWrite = write; }
void ResetFileWriteFunction() { gWrite = ::write; }

bool WriteDocumentFile(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error) {
  const std::string target = ResolveTarget(path);
  struct stat st {};
  bool exists = false;
  if (!CheckTarget(target, st, exists, error)) return false;

  std::string tempPath;
  TFileDescriptor fd(CreateTempBeside(target, tempPath));
  if (fd.Get() < 0) return Fail(error, kCannotCreate);
  TTempFile temp(tempPath);

  if (!FillTemp(fd.Get(), bytes, exists ? &st : nullptr, true, error)) return false;
  if (!fd.Close()) return Fail(error, IoErrorText(errno));
  if (::rename(temp.Path().c_str(), target.c_str()) != 0) return Fail(error, kCannotCreate);
  temp.Keep();
  SyncDirectory(target);
  return true;
}

bool ReadDocumentFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                      std::string& error) {
  // Non-blocking, so that a named pipe given as a document cannot stall the open.
  TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return Fail(error, kCannotOpen);
  }
  if (static_cast<std::uint64_t>(st.st_size) > kMaxDocumentFileBytes) {
    return Fail(error, kTooLarge);
  }
  std::vector<std::uint8_t> content(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::read(fd.Get(), content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(error, IoErrorText(errno));
    if (n == 0) break;  // the file shrank meanwhile: what is there is the document
    done += static_cast<std::size_t>(n);
  }
  content.resize(done);
  bytes = std::move(content);
  return true;
}
