// The fake machine's disks: drives, folders and files with attribute words and
// a listing order, file contents, and per-call fault hooks. One store serves
// both the FileSystem and the FileIo side of the seam, so a log written through
// FileIo lands in a folder the scan could list.
//
// Paths use "\" and start with a drive ("C:\Data\a.txt"); lookups ignore
// letter case, as Windows does. "/" is accepted as a separator too.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fake/call_log.h"
#include "platform/machine.h"

namespace zavero::fake {

class FakeFiles : public platform::FileSystem, public platform::FileIo {
 public:
  explicit FakeFiles(CallLog& calls);
  ~FakeFiles() override;

  // ---- building the machine
  // A drive with its GetDriveTypeA number (2 removable, 3 fixed, 4 remote, 5
  // CD-ROM, 6 RAM disk, 1 no root). Drives list in letter order.
  void AddDrive(char letter, std::uint32_t type);
  // A folder (parents are made as plain folders 0x10 when missing). The
  // directory bit is added to `attributes` if absent.
  void AddFolder(const std::string& path, std::uint32_t attributes = 0x10);
  // A file with attributes and optional content.
  void AddFile(const std::string& path, std::uint32_t attributes = 0x20,
               const std::string& Content = {});
  // A folder entry that is a link (junction) to another folder: listed with
  // `attributes` (default directory + reparse point), and its listing is the
  // target's listing; its FolderId is the target's.
  void AddLink(const std::string& path, const std::string& target,
               std::uint32_t attributes = 0x10 | 0x400);
  // A link listed like a junction (same tag) that MountsVolume calls a volume.
  void AddMountedVolume(const std::string& path, const std::string& root);
  void Remove(const std::string& path);                   // file or folder with its subtree
  bool Exists(const std::string& path) const;
  std::uint32_t Attributes(const std::string& path) const;  // INVALID if missing
  void SetAttributes(const std::string& path, std::uint32_t attributes);
  std::string Content(const std::string& path) const;     // "" if missing
  // Makes the file report `bytes` more than its content, as if that many
  // bytes stood in front of it (sizes and positions beyond 4 GiB).
  void SetSparsePrefix(const std::string& path, std::uint64_t bytes);
  // Moves an entry to the end of its folder's listing order.
  void MoveToEnd(const std::string& path);
  // The process's current folder, ending in "\": a path without a drive is
  // taken from it (from its drive's root when it starts with "\").
  std::string CurrentFolder = "C:\\Work\\";
  // A Unix-style machine: a path that starts with "/" is whole as it stands.
  bool UnixPaths = false;
  // The entry reports 0x80 (FILE_ATTRIBUTE_NORMAL) when its word is 0, as
  // Windows does; on by default.
  void ReportNormalForZero(bool on) { normal_for_zero_ = on; }

  // ---- faults
  // Attribute writes to this path are refused (SetFileAttributesA fails).
  void RefuseAttributeWrites(const std::string& path);
  // Opening this file (CreateFileA) fails, as when another program holds it
  // without sharing or the path names a folder.
  void LockFile(const std::string& path, bool locked = true);
  // Listing this folder fails with the given error (5 access denied ...).
  void FailListing(const std::string& path, std::uint32_t error = 5);
  // Runs before every seam call with the call's name and main argument; lets
  // a test change the machine mid-run (delete a folder after it was queued,
  // delete the log between two lines ...).
  std::function<void(const std::string& call, const std::string& arg)> before_call;
  // Drive strings the system reports; by default made from AddDrive. A test
  // can set raw bytes to model an odd GetLogicalDriveStringsA answer.
  std::optional<std::string> DriveStrings;
  // Whether the seam's WriteBytes writes at most this many bytes (short write).
  std::optional<std::uint32_t> WriteLimit;

  // ---- statistics
  int open_files() const;       // handles from OpenFile not yet closed
  int open_finds() const;       // handles from FindFirstEntry not yet ended
  std::vector<std::uint32_t> WriteSizes;  // byte count of every WriteBytes

  // ---- platform::FileSystem
  platform::Handle FindFirstEntry(const char* search, platform::FindEntry* entry,
                                  std::uint32_t* error) override;
  bool FindNextEntry(platform::Handle find, platform::FindEntry* entry,
                     std::uint32_t* error) override;
  void EndFind(platform::Handle find) override;
  std::uint32_t ReadAttributes(const char* path) override;
  bool WriteAttributes(const char* path, std::uint32_t attributes) override;
  std::uint32_t LogicalDriveStrings(std::uint32_t size, char* buffer) override;
  std::uint32_t DriveType(const char* root) override;
  bool MountsVolume(const char* path) override;
  bool ReadFolderId(const char* path, platform::FolderId* id) override;
  std::uint32_t FullPathName(const char* path, std::uint32_t size, char* buffer) override;
  void LetGoOfFolders() override {}

  // ---- platform::FileIo
  platform::Handle OpenFile(const char* path, std::uint32_t access, std::uint32_t share,
                            std::uint32_t disposition, std::uint32_t flags) override;
  bool WriteBytes(platform::Handle file, const void* bytes, std::uint32_t count,
                  std::uint32_t* written) override;
  std::uint32_t FileSize(platform::Handle file, std::uint32_t* high) override;
  void SeekFromStart(platform::Handle file, std::int32_t low, std::int32_t* high) override;
  void CloseFile(platform::Handle file) override;
  std::uint32_t OpenError() override { return open_error_; }
  bool ReadFileId(platform::Handle file, platform::FileId* id) override;

  struct Node;  // the store; defined in fake_files.cpp

 private:
  struct Find;
  struct OpenFileState;
  // GetFullPathNameA's completion of a path; paths with a drive are kept as
  // they are, so "." and ".." are resolved only in completed ones.
  std::string FullPathOf(const std::string& path) const;
  Node* Lookup(const std::string& path, bool follow_links = true) const;
  Node* MakeFolder(const std::string& path);
  // Windows' side of the seam reaches a listed entry only while no folder on
  // its path, nor the entry, has become a link since its listing.
  bool BecameLink(const std::string& path) const;
  void Hook(const std::string& call, const std::string& arg);

  CallLog& calls_;
  std::unique_ptr<Node> root_;  // children are the drives ("C:")
  std::map<char, std::uint32_t> drive_types_;
  std::map<platform::Handle, std::unique_ptr<Find>> finds_;
  std::map<platform::Handle, std::unique_ptr<OpenFileState>> files_;
  platform::Handle next_handle_ = 0x100;
  bool normal_for_zero_ = true;
  std::uint32_t open_error_ = 0;  // of the last OpenFile that failed
  std::map<std::string, bool> listed_link_;  // lower-case path: listed as a link
};

}  // namespace zavero::fake
