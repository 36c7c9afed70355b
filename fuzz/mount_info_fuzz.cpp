// Any text as /proc/self/mountinfo. Every entry read, written back as the
// kernel writes it (blank, tab, newline and backslash of a path as \ooo,
// nothing else escaped), must read back the same: paths unescaped exactly,
// devices kept. The drives chosen from the entries are, per device, its first
// whole-volume mount (else its first mount) among the mounts that keep DOS
// attributes on a disk, in mount-point order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "platform/posix/mount_table.h"

namespace {

using namespace zavero::platform;

std::string Escaped(const std::string& path) {
  std::string out;
  for (const char c : path) {
    char code[5];
    std::snprintf(code, sizeof code, "\\%03o", static_cast<unsigned char>(c));
    out +=
        (c == ' ' || c == '\t' || c == '\n' || c == '\\') ? std::string(code) : std::string(1, c);
  }
  return out;
}

auto Fields(const MountEntry& m) {
  return std::tie(m.Major, m.Minor, m.Root, m.MountPoint, m.FsType, m.Source);
}

// The disk is a fact of the device; whether ntfs-3g answers, of the mount.
DiskKind DiskOf(const MountEntry& m) { return static_cast<DiskKind>((m.Major + m.Minor) % 3); }
bool AnswersNtfs(const MountEntry& m) { return m.MountPoint.size() % 2 == 0; }

bool Keeps(const MountEntry& m) {
  const StoreKind kind = ChooseStore(m.FsType, [&] { return AnswersNtfs(m); });
  return (kind == StoreKind::Fat || kind == StoreKind::Ntfs) && DiskOf(m) != DiskKind::NoDisk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<MountEntry> mounts = ParseMountInfo(text);
  std::string kernel;
  for (const MountEntry& m : mounts)
    kernel += "36 25 " + std::to_string(m.Major) + ":" + std::to_string(m.Minor) + " " +
              Escaped(m.Root) + " " + Escaped(m.MountPoint) + " rw,nosuid shared:7 - " + m.FsType +
              " " + Escaped(m.Source) + " rw\n";
  const std::vector<MountEntry> again = ParseMountInfo(kernel);
  if (again.size() != mounts.size()) std::abort();
  for (std::size_t i = 0; i < mounts.size(); ++i)
    if (Fields(again[i]) != Fields(mounts[i])) std::abort();

  std::vector<const MountEntry*> sorted;
  for (const MountEntry& m : mounts) sorted.push_back(&m);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](auto* a, auto* b) { return a->MountPoint < b->MountPoint; });
  std::vector<std::pair<std::string, DiskKind>> expected, got;
  for (const MountEntry* m : sorted) {
    const auto first = [&](bool whole) {  // of m's device, among the mounts that count
      return std::find_if(sorted.begin(), sorted.end(), [&](auto* o) {
        return o->Major == m->Major && o->Minor == m->Minor && Keeps(*o) &&
               (!whole || o->Root == "/");
      });
    };
    if (first(false) == sorted.end() || *first(false) != m) continue;
    const MountEntry* pick = first(true) != sorted.end() ? *first(true) : m;
    expected.emplace_back(pick->MountPoint, DiskOf(*pick));
  }
  for (const DriveMount& d : ChooseDrives(mounts, DiskOf, AnswersNtfs))
    got.emplace_back(d.MountPoint, d.Kind);
  if (!std::is_sorted(got.begin(), got.end(), [](auto& a, auto& b) { return a.first < b.first; }))
    std::abort();
  std::sort(expected.begin(), expected.end());
  std::sort(got.begin(), got.end());
  if (got != expected) std::abort();
  return 0;
}
