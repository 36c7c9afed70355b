/* The least any tool must do to list or clear DOS attributes on Linux: walk
 * the tree with readdir, read the attribute value of every entry once and, to
 * clear, write the value of every selected entry once. tools/bench times it
 * beside zavero on the same trees; nothing here is shared with the program.
 *
 *   attribute_floor ntfs|samba read|clear ROOT [paced]
 *
 * ntfs:  system.ntfs_attrib_be, the 4-byte big-endian word of ntfs-3g;
 * samba: user.DOSATTRIB in Wine's text form ("0x2"); no value means no bits.
 * Selected: the hidden bit (2) without the system bit (4), the program's
 * default masks. Clearing writes the word without the hidden bit.
 * paced: the same walk with the program's required pauses (5 ms before each
 * folder below ROOT, 1 ms after every 251 selected entries), slept as the
 * program sleeps them, to see what the pauses cost beyond their length: a
 * wake-up comes late, and the process and the file system wake to cold caches.
 * Prints "entries selected written"; the status is 1 when a call failed.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>

enum { kHidden = 2, kSystem = 4 };

static int g_ntfs, g_clear, g_paced, g_failed;
static long g_entries, g_selected, g_written;

static const char* AttributeName(void) {
  return g_ntfs ? "system.ntfs_attrib_be" : "user.DOSATTRIB";
}

/* The word of the entry at path; 0 where Samba's store holds no value. */
static int ReadWord(const char* path, unsigned* word) {
  unsigned char value[64];
  const ssize_t n = lgetxattr(path, AttributeName(), value, sizeof value - 1);
  if (g_ntfs) {
    if (n != 4) return 0;
    *word = ((unsigned)value[0] << 24) | ((unsigned)value[1] << 16) | ((unsigned)value[2] << 8) |
            value[3];
    return 1;
  }
  if (n < 0) {
    *word = 0;
    return errno == ENODATA;
  }
  value[n] = 0;
  *word = (unsigned)strtoul((const char*)value, NULL, 16);
  return 1;
}

static int WriteWord(const char* path, unsigned word) {
  if (g_ntfs) {
    const unsigned char value[4] = {(unsigned char)(word >> 24), (unsigned char)(word >> 16),
                                    (unsigned char)(word >> 8), (unsigned char)word};
    return lsetxattr(path, AttributeName(), value, sizeof value, 0) == 0;
  }
  char text[16];
  const int n = snprintf(text, sizeof text, "0x%x", word);
  return lsetxattr(path, AttributeName(), text, (size_t)n, 0) == 0;
}

/* As the program pauses: to a deadline on the monotonic clock, with the
 * thread's timer slack at its least. */
static void Pause(long ms) {
  struct timespec until;
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_nsec += ms * 1000000L;
  if (until.tv_nsec >= 1000000000L) {
    until.tv_sec += 1;
    until.tv_nsec -= 1000000000L;
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, NULL) == EINTR) {
  }
}

/* path holds the folder's path (length `length`) and room to extend it. */
static void Walk(char* path, size_t length) {
  DIR* dir = opendir(path);
  if (dir == NULL) {
    g_failed = 1;
    return;
  }
  const struct dirent* e;
  while ((e = readdir(dir)) != NULL) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    const size_t name_length = strlen(e->d_name);
    if (length + 1 + name_length >= PATH_MAX) {
      g_failed = 1;
      continue;
    }
    path[length] = '/';
    memcpy(path + length + 1, e->d_name, name_length + 1);
    ++g_entries;

    unsigned word = 0;
    if (!ReadWord(path, &word)) {
      g_failed = 1;
    } else if ((word & kHidden) && !(word & kSystem)) {
      ++g_selected;
      if (g_paced && g_selected % 251 == 0) Pause(1);
      if (g_clear) {
        if (WriteWord(path, word & ~(unsigned)kHidden))
          ++g_written;
        else
          g_failed = 1;
      }
    }

    int folder = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN) {
      struct stat st;
      folder = lstat(path, &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (folder) {
      if (g_paced) Pause(5);
      Walk(path, length + 1 + name_length);
    }
  }
  closedir(dir);
  path[length] = 0;
}

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5 || (argc == 5 && strcmp(argv[4], "paced") != 0) || (strcmp(argv[1], "ntfs") != 0 && strcmp(argv[1], "samba") != 0) ||
      (strcmp(argv[2], "read") != 0 && strcmp(argv[2], "clear") != 0)) {
    fputs("usage: attribute_floor ntfs|samba read|clear ROOT [paced]\n", stderr);
    return 2;
  }
  g_ntfs = strcmp(argv[1], "ntfs") == 0;
  g_clear = strcmp(argv[2], "clear") == 0;
  g_paced = argc == 5;
  if (g_paced) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  static char path[PATH_MAX];
  size_t length = strlen(argv[3]);
  if (length >= PATH_MAX) return 2;
  memcpy(path, argv[3], length + 1);
  while (length > 1 && path[length - 1] == '/') path[--length] = 0;
  Walk(path, length);
  printf("%ld %ld %ld\n", g_entries, g_selected, g_written);
  return g_failed;
}
