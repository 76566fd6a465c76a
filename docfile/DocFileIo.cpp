// Document files on disk: reading is bounded by the file's size, writing
// goes through the safe replacement (see SafeWrite.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <set>

#include "docfile/DocFile.h"
#include "docfile/FileDescriptor.h"
#include "docfile/SafeWrite.h"

namespace {

bool Fail(std::string& error, const std::string& message) {
  error = message;
  return false;
}

// One syncfs per file system that holds a staged file; false with the
// message when one fails.
bool SyncFileSystems(const std::vector<std::unique_ptr<TSafeWrite>>& staged, std::string& error) {
  std::set<dev_t> synced;
  for (const auto& write : staged) {
    const std::string& target = write->Target();
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const TFileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0) return Fail(error, IoErrorText(errno));
    if (!synced.contains(st.st_dev) && ::syncfs(fd.Get()) != 0) {
      return Fail(error, IoErrorText(errno));
    }
    synced.insert(st.st_dev);
  }
  return true;
}

}  // namespace

// Every file is staged first, then one sync per file system makes all the
// temporary files durable, then each goes in place (a file written in place
// makes its own copy durable first, see SafeWrite.h).
bool WriteFilesTogether(const std::vector<TFileToWrite>& files, const TWriteReport& report) {
  bool all = true;
  std::vector<std::unique_ptr<TSafeWrite>> staged;
  std::vector<const TFileToWrite*> stagedFiles;
  for (const TFileToWrite& file : files) {
    auto write = std::make_unique<TSafeWrite>(file.Path);
    std::string error;
    if (write->Stage(file.Bytes, error)) {
      staged.push_back(std::move(write));
      stagedFiles.push_back(&file);
    } else {
      report(file.Path, error);
      all = false;
    }
  }
  std::string syncError;
  const bool durable = SyncFileSystems(staged, syncError);
  for (std::size_t i = 0; i < staged.size(); ++i) {
    std::string error = syncError;
    if (!durable || !staged[i]->Commit(error, false)) {
      report(stagedFiles[i]->Path, error);
      all = false;
    }
  }
  return all;
}

bool WriteDocumentFile(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error) {
  return WriteFileSafely(path, bytes, error);
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
