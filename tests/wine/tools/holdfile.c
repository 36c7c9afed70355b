/* holdfile FILE GO [HELD]: opens FILE for reading and writing without sharing, as an editor
 * or a backup program may hold a file, and keeps it until a file GO exists; then closes it.
 * FILE is created when missing and its content is kept. Once the file is held, the file HELD
 * (when given) is created, so that a script knows from when on others are refused. While
 * someone else has FILE open, the opening is retried for up to 30 seconds.
 *
 * holdfile FILE -: opens FILE the same way and closes it at once, without retrying: proof
 * that nobody holds it.
 *
 * Exit status: 0 held and released; 2 never got the file (the Windows error is printed);
 * 3 GO did not appear within 10 minutes; 64 bad arguments. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static int exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

int main(int argc, char **argv) {
  if (argc < 3 || argc > 4) {
    fprintf(stderr, "usage: holdfile FILE GO [HELD] | holdfile FILE -\n");
    return 64;
  }
  const int probe = strcmp(argv[2], "-") == 0;
  HANDLE h = INVALID_HANDLE_VALUE;
  DWORD error = 0;
  for (int tries = 0; tries < 3000; ++tries) {
    h = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, NULL);
    if (h != INVALID_HANDLE_VALUE) break;
    error = GetLastError();
    if (probe || error != ERROR_SHARING_VIOLATION) break;
    Sleep(10);
  }
  if (h == INVALID_HANDLE_VALUE) {
    printf("not held: error %lu\n", (unsigned long)error);
    fflush(stdout);
    return 2;
  }
  if (!probe && argc == 4) {
    HANDLE mark = CreateFileA(argv[3], GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
  }
  int status = 0;
  if (!probe) {
    int waited = 0;
    while (!exists(argv[2])) {
      if (++waited > 60000) { status = 3; break; }
      Sleep(10);
    }
  }
  CloseHandle(h);
  printf("released\n");
  fflush(stdout);
  return status;
}
