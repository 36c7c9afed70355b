// One listing of one folder for one name pattern, over the find functions.
#pragma once

#include <cstdint>
#include <string>

#include "platform/machine.h"

namespace zavero {

enum EntryKind { KindFile = 1, KindFolder = 2 };

class FolderListing {
 public:
  explicit FolderListing(platform::FileSystem& files, char separator = '\\')
      : files_(files), separator_(separator) {}
  ~FolderListing() { Close(); }
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // Starts the listing of folder + separator + pattern ("*.*" for an empty
  // pattern). True when a listing was made: entries found, or the system
  // reported that nothing matches. False for every other failure (folder
  // missing, access denied, drive not ready, search path too long).
  bool Open(const std::string& folder, const std::string& pattern);
  // The first call hands out the entry of the find-first call; later calls
  // ask the system for the next one. False at the end.
  bool NextEntry();
  // After NextEntry said false: the listing stopped on a failure before the
  // folder's last entry.
  bool CutShort() const { return end_error_ != 0 && end_error_ != kErrorNoMoreFiles; }
  // After Open said false: another program holds the folder in a way that
  // keeps it from being held for the walk (ERROR_SHARING_VIOLATION).
  bool HeldElsewhere() const { return open_error_ == kErrorSharingViolation; }
  const char* EntryName() const { return entry_.Name; }
  EntryKind Kind() const {
    return (entry_.Attributes & platform::kAttrDirectory) ? KindFolder : KindFile;
  }
  std::uint32_t EntryAttributes() const { return entry_.Attributes; }
  // The reparse tag of an entry with the reparse-point bit, 0 when unknown.
  std::uint32_t EntryReparseTag() const { return entry_.ReparseTag; }
  // Linux: the entry's attribute word could not be read (EntryAttributes
  // holds only its type).
  bool WordUnreadable() const { return entry_.WordUnreadable; }
  // True for the "." and ".." entries every folder but a drive root lists.
  bool IsDotEntry() const {
    return entry_.Name[0] == '.' &&
           (entry_.Name[1] == 0 || (entry_.Name[1] == '.' && entry_.Name[2] == 0));
  }
  // Ends the system's find, if there is one.
  void Close();

 private:
  platform::FileSystem& files_;
  char separator_;
  platform::Handle find_ = platform::kNoHandle;
  bool first_pending_ = false;
  static constexpr std::uint32_t kErrorNoMoreFiles = 18, kErrorSharingViolation = 32;
  std::uint32_t end_error_ = 0;
  std::uint32_t open_error_ = 0;
  platform::FindEntry entry_;
  std::string spec_;  // kept between folders, so its buffer is reused
};

}  // namespace zavero
