// Replacing the whole content of a file so that a failure leaves the old
// content and a crash leaves the old content or the new one. Used for
// documents and pictures alike, one file at a time (WriteDocumentFile) or a
// batch with one sync (WriteFilesTogether), both in DocFile.h. Plain C++ and
// POSIX.
//
// Normally the new content goes to a temporary file beside the target, which
// then replaces it in one rename. Where that rename would break something the
// file has (a second hard link, an owner the process cannot give a new file,
// a folder in which no new file may be made) the content is written into the
// file itself instead, after a copy of the old content has reached the disk;
// a failed write puts the old content back from that copy.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "docfile/DocFile.h"
#include "docfile/FileDescriptor.h"

class TSafeWrite {
 public:
  // A symbolic link is written through, also a dangling one: the file it
  // names gets the content and the link stays.
  explicit TSafeWrite(const std::string& path);
  // Without a successful Commit the file stays as it was and nothing made
  // on the way is left behind.
  ~TSafeWrite();
  TSafeWrite(const TSafeWrite&) = delete;
  TSafeWrite& operator=(const TSafeWrite&) = delete;

  // Prepares the replacement: the content goes to the temporary file (not
  // yet synced), or is kept for writing in place; `bytes` must then stay
  // valid until Commit. `error` gets the message to show.
  bool Stage(std::span<const std::uint8_t> bytes, std::string& error);
  // Puts the staged content in place durably. A batch that has synced all
  // its temporary files at once passes inBatch = true and then syncs the
  // folder of each renamed file itself, once per folder
  // (WriteFilesTogether).
  bool Commit(std::string& error, bool inBatch = false);
  // A batch starts writing each staged file to the disk at once, without
  // waiting, so that its one sync finds little left to write.
  void StartWriteback();
  // A batch closes each temporary file once staged, so that a batch of any
  // size keeps no more files open than one.
  bool CloseStaged(std::string& error);

  // The path that is written: the target of a link, or the path itself.
  const std::string& Target() const { return target_; }
  // Whether Commit replaced the file by a rename, which its folder must
  // record durably.
  bool Renamed() const { return renamed_; }

 private:
  bool KeepOwner(int fd);
  bool CommitRename(std::string& error, bool inBatch);
  bool CommitInPlace(std::string& error);

  std::string target_;
  bool exists_ = false;
  struct stat old_ {};  // the target's status when it exists
  bool inPlace_ = false;
  bool renamed_ = false;
  std::span<const std::uint8_t> inPlaceBytes_;
  TFileDescriptor temp_;
  std::string tempPath_;
};

// Files written together (WriteFilesTogether is one): each is staged from
// any thread, one thread a slot, while others are still being made; Finish
// then makes all the temporary files durable with one sync per file system,
// puts them in place and syncs each folder once.
class TWriteBatch {
 public:
  explicit TWriteBatch(std::size_t slots);
  // Staging of slot `slot`: `bytes` must stay valid until Finish. A failure
  // is kept for Finish to report; an exception leaves the slot unstaged and
  // unreported (the caller tells it).
  void Stage(std::size_t slot, const std::string& path, std::span<const std::uint8_t> bytes);
  // Reports each file not written, in slot order, through `report`; false
  // when there is one. Slots never staged are left out.
  bool Finish(const TWriteReport& report);

 private:
  struct TSlot {
    std::string Path;
    std::unique_ptr<TSafeWrite> Write;  // once staged
    std::string Error;                  // why staging failed
  };
  std::vector<TSlot> slots_;
};

// The write(2) that puts new content into a file; tests replace it to make
// writes fail. Copies of old content do not go through it.
using TFileWriteFunction = ssize_t (*)(int fd, const void* data, std::size_t size);
void SetFileWriteFunction(TFileWriteFunction write);
void ResetFileWriteFunction();
