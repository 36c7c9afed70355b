#include "scan/scan_for_matches.h"

#include <cstring>
#include <vector>

#include "scan/folder_listing.h"
#include "scan/selection.h"
#include "support/text.h"

namespace zavero {

using namespace support;
using namespace console;

namespace {

// A file-system call made with redirection off, as every call of the walk is.
template <typename Call>
bool Guarded(RunContext& run, Call call) {
  void* scratch = nullptr;
  run.Guard.Disable(&scratch);
  const bool result = call();
  run.Guard.Enable();
  return result;
}

bool OpenGuarded(RunContext& run, FolderListing& listing, const std::string& folder,
                 const std::string& pattern) {
  return Guarded(run, [&] { return listing.Open(folder, pattern); });
}

// The identity of a folder.
bool FolderIdGuarded(RunContext& run, const std::string& path, platform::FolderId* id) {
  return Guarded(run, [&] { return run.Host.Files.ReadFolderId(path.c_str(), id); });
}

// Whether a listed folder that carries the reparse-point bit is walked: a
// link or junction below the start folder is an entry of its own, never
// entered, for it can lead anywhere, off the medium to the system's own
// folders; a volume mounted there is crossed, as on Linux, and so are
// folders that are no links (a cloud file placeholder, say). A tag the
// system does not give (Wine's links) counts as a link.
bool EntersReparsePoint(RunContext& run, std::uint32_t tag, const std::string& path) {
  if (tag == platform::kReparseTagMountPoint)
    return Guarded(run, [&] { return run.Host.Files.MountsVolume(path.c_str()); });
  return tag != 0 && (tag & platform::kReparseTagNameSurrogate) == 0;
}

// True when the folder behind a reparse point at `path` is one of the
// folders on its own path (a volume mounted below itself): walking it would
// descend the same tree again and again until the path limit ends it. Only
// entries that carry the reparse-point bit get here, so ordinary folders
// cost no extra call.
bool LeadsToAncestor(RunContext& run, const std::string& path) {
  platform::FolderId target;
  if (!FolderIdGuarded(run, path, &target)) return false;
  const char separator = run.Host.Conventions.Separator;
  const bool windows = separator == '\\';
  // Every proper prefix of the path that ends at a separator is an ancestor.
  for (std::size_t i = path.size(); i-- > 0;) {
    if (path[i] != separator && !(windows && path[i] == '/')) continue;
    std::string ancestor = path.substr(0, i);
    if (windows && ancestor.size() == 2 && ancestor[1] == ':') ancestor += '\\';  // "C:" means the current folder
    if (ancestor.empty()) ancestor = separator;  // the root of a Unix path
    platform::FolderId id;
    if (FolderIdGuarded(run, ancestor, &id) && id == target) return true;
  }
  return false;
}

// Queues a listed subfolder of `folder` directly behind the current element
// of the folder queue, so a folder's subfolders stay in listing order.
void QueueSubfolder(RunContext& run, const FolderListing& listing, const std::string& folder,
                    std::string& path) {
  if (listing.Kind() != KindFolder || listing.IsDotEntry()) return;
  JoinPathInto(path, folder, listing.EntryName(), run.Host.Conventions.Separator);
  if ((listing.EntryAttributes() & platform::kAttrReparsePoint) &&
      (!EntersReparsePoint(run, listing.EntryReparseTag(), path) || LeadsToAncestor(run, path)))
    return;
  run.FolderQueue.InsertAfterCurrent(path);
}

// Tests a listed entry of `folder` as a candidate; an entry left alone for
// its skip bits gets its skip line at every level, the start folder's too.
void TestCandidate(RunContext& run, const FolderListing& listing, const std::string& folder,
                   const ScanArguments& args, std::string& path) {
  if (listing.Kind() == KindFile ? args.FilesFlag != 1
                                 : listing.IsDotEntry() || args.FoldersFlag != 1)
    return;
  const char separator = run.Host.Conventions.Separator;
  if (listing.WordUnreadable()) {
    NoteIncomplete(run, "zavero: cannot read the attributes of " +
                            Shown(run, JoinPath(folder, listing.EntryName(), separator)));
    return;
  }
  switch (SelectionTest(listing.EntryAttributes(), static_cast<std::uint32_t>(args.IncludeMask),
                        static_cast<std::uint32_t>(args.SkipMask))) {
    case Selection::Selected:
      JoinPathInto(path, folder, listing.EntryName(), separator);
      run.MatchList.InsertAfterCurrent(path);
      break;
    case Selection::Skipped:
      ++run.SkippedCount;
      if (!run.Options.LogPath.empty()) {
        JoinPathInto(path, folder, listing.EntryName(), separator);
        run.Log.AppendLogLine(" skipped (attributes $" + HexText(args.SkipMask) + "): " +
                              Shown(run, path));
      }
      break;
    case Selection::NotIncluded:
      break;
  }
}

// One folder's entries: its subfolders queued, its candidates tested, each in
// listing order. With the pattern "*" both come from one listing; a narrower
// pattern lists the folder again for the candidates. False when the folder
// could not be listed at all.
bool WalkEntries(RunContext& run, FolderListing& listing, const std::string& folder,
                 const ScanArguments& args, std::string& path) {
  const bool one_listing = args.Pattern == "*";
  const bool listed = OpenGuarded(run, listing, folder, "*");
  if (listed) {
    while (listing.NextEntry()) {
      QueueSubfolder(run, listing, folder, path);
      if (one_listing) TestCandidate(run, listing, folder, args, path);
    }
    if (listing.CutShort())
      NoteIncomplete(run, "zavero: cannot read all of the folder " + Shown(run, folder));
    listing.Close();
  } else if (listing.HeldElsewhere() && !run.Options.LogPath.empty()) {
    // Another program holds the folder so that the walk cannot: entered, it
    // could be renamed or replaced while the walk is inside.
    run.Log.AppendLogLine(" not entered (held by another program): " + Shown(run, folder));
  }
  // A pattern names entries of the folder listed: one that reaches into
  // another folder would join that folder's names onto this one.
  if (!one_listing && !PatternHoldsSeparator(args.Pattern) &&
      OpenGuarded(run, listing, folder, args.Pattern)) {
    while (listing.NextEntry()) TestCandidate(run, listing, folder, args, path);
    listing.Close();
  }
  return listed;
}

// Mount points of a Unix system, in the order the system lists them: texts of
// any length, as many as there are, so the buffer is as large as the system
// asks for and the list is stepped by its texts.
void QueueMountRoots(RunContext& run) {
  std::vector<char> buffer(512, 0);
  std::uint32_t need = run.Host.Files.LogicalDriveStrings(510, buffer.data());
  if (need > 510) {
    buffer.assign(need + 2, 0);
    need = run.Host.Files.LogicalDriveStrings(need, buffer.data());
    if (need >= buffer.size()) return;  // the mounts changed in between
  }
  for (std::size_t offset = 0; offset < buffer.size() && buffer[offset] != 0;) {
    std::string root = TextAt(buffer.data() + offset);
    offset += root.size() + 1;
    std::uint32_t type = run.Host.Files.DriveType(root.c_str());
    if (type != platform::kDriveRemovable && type != platform::kDriveFixed) continue;
    run.FolderQueue.InsertAfterCurrent(root);
  }
}

void QueueDriveRoots(RunContext& run) {
  if (run.Host.Conventions.UnixRun) {
    QueueMountRoots(run);
    return;
  }
  std::vector<char> buffer(510, 0);
  run.Host.Files.LogicalDriveStrings(500, buffer.data());
  // Each entry is a drive root of three characters and its terminator: the
  // list is stepped in fours, not by text lengths.
  for (std::size_t offset = 0; offset + 4 <= buffer.size(); offset += 4) {
    std::string root = TextAt(buffer.data() + offset);
    if (root.empty()) break;
    std::uint32_t type = run.Host.Files.DriveType(root.c_str());
    if (type != platform::kDriveRemovable && type != platform::kDriveFixed) continue;
    std::string upper = TextUpper(root);
    if (upper == "A:\\" || upper == "B:\\") continue;
    run.FolderQueue.InsertAfterCurrent(root);
  }
}

}  // namespace

void ScanForMatches(RunContext& run, const ScanArguments& args) {
  const char separator = run.Host.Conventions.Separator;
  FolderListing listing(run.Host.Files, separator);
  std::string path;
  run.FolderQueue.Clear();
  run.Host.Files.SelectsBy(static_cast<std::uint32_t>(args.IncludeMask));

  if (args.StartFolder.empty()) {
    QueueDriveRoots(run);
  } else {
    // The start folder is handled once, here: its subfolders seed the queue,
    // its own entries are tested directly; it gets no pause and no progress
    // rows, and it is never queued itself.
    // Taken as it was given: a path joined onto it, and the search path of
    // its listing, get a separator only where it has none.
    run.StartFolderUnreadable = !WalkEntries(run, listing, args.StartFolder, args, path);
  }
  run.NoDriveToScan = args.StartFolder.empty() && run.FolderQueue.Count() == 0;

  const std::string spaces = TextSpaces(260);
  // Row 2 is drawn again only when its count changed: nothing else writes
  // there while the walk runs.
  std::int32_t shown_count = -1;
  while (run.FolderQueue.Count() > 0) {
    PauseWhileWorking(run, 5);
    run.FolderQueue.MoveFirst();
    const std::string folder = run.FolderQueue.Current()->Text();

    // Rows 2 and 3 exist in every buffer but the tiniest. Drawn together,
    // the console may take both in one call.
    const bool row2 = LayoutHasRow(run.Console.Layout, 2) && run.MatchList.Count() != shown_count;
    const bool row3 = LayoutHasRow(run.Console.Layout, 3);
    if (row2) ConsoleMoveCursor(run.Console, 0, 2);
    ConsoleSetColors(run.Console, 15, 0);
    if (row2) {
      shown_count = run.MatchList.Count();
      if (row3) ConsoleJoinNextRow(run.Console);
      ConsoleWrite(run.Console, (" files found: " + DecimalText(shown_count)).c_str());
    }
    if (row3) {
      ConsoleMoveCursor(run.Console, 0, 3);
      // It may wait, on the console that can, for the pause before the next
      // folder, which then shows it while the program sleeps.
      ConsoleJoinNextRow(run.Console);
      ConsoleWrite(run.Console, (" scanning folder " + Shown(run, folder) + spaces).c_str());
    }

    if (!WalkEntries(run, listing, folder, args, path))
      NoteIncomplete(run, "zavero: cannot read the folder " + Shown(run, folder) +
                              "; nothing below it was searched");

    run.FolderQueue.MoveFirst();
    run.FolderQueue.RemoveCurrent();
  }
  // Each folder's row shows the count from before it; the last folder's
  // matches would otherwise never be counted on the screen.
  if (shown_count >= 0 && run.MatchList.Count() != shown_count &&
      LayoutHasRow(run.Console.Layout, 2)) {
    ConsoleMoveCursor(run.Console, 0, 2);
    ConsoleSetColors(run.Console, 15, 0);
    ConsoleWrite(run.Console, (" files found: " + DecimalText(run.MatchList.Count())).c_str());
  }
}

}  // namespace zavero
