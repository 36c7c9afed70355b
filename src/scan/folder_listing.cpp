#include "scan/folder_listing.h"

namespace zavero {

bool FolderListing::Open(const std::string& folder, const std::string& pattern) {
  Close();
  spec_ = folder;
  if (!spec_.empty() && spec_.back() != separator_) spec_ += separator_;
  spec_ += pattern.empty() ? std::string("*.*") : pattern;
  end_error_ = 0;
  open_error_ = 0;
  platform::Handle h = files_.FindFirstEntry(spec_.c_str(), &entry_, &open_error_);
  if (h == platform::kInvalidHandle || h == platform::kNoHandle) {
    // Nothing matches: a listing without entries. Anything else: no listing.
    return open_error_ == platform::kErrorFileNotFound;
  }
  find_ = h;
  first_pending_ = true;
  return true;
}

bool FolderListing::NextEntry() {
  if (find_ == platform::kNoHandle) return false;
  if (first_pending_) {
    first_pending_ = false;
    return true;
  }
  return files_.FindNextEntry(find_, &entry_, &end_error_);
}

void FolderListing::Close() {
  if (find_ != platform::kNoHandle) files_.EndFind(find_);
  find_ = platform::kNoHandle;
  first_pending_ = false;
}

}  // namespace zavero
