// Reading document files: bounded by the file's size. Writing is in
// SafeWrite.cpp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "docfile/DocFile.h"
#include "docfile/FileDescriptor.h"

namespace {

bool Fail(std::string& error, const std::string& message) {
  error = message;
  return false;
}

}  // namespace

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

// A document is opened to be saved again, so one that cannot be written (a
// read-only file, for instance) is not opened. A picture only lends its formula.
bool WritableUnlessPicture(const std::string& path, bool fromPicture, std::string& error) {
  if (fromPicture || ::access(path.c_str(), W_OK) == 0) return true;
  return Fail(error, kCannotOpen);
}
