/* shrink_console COLS ROWS FILE TEXT PROGRAM ARGS...: starts PROGRAM with ARGS in this console
 * and, once FILE holds TEXT, makes the console COLS x ROWS as a user making its window smaller
 * would; then waits for PROGRAM. Exit status 2: PROGRAM did not start; 3: the size was refused. */
#include <windows.h>
#include <stdio.h>
int main(int argc, char **argv) {
  static char line[1 << 16], text[1 << 16];  // a command line holds at most 32,767 characters
  for (int i = 5; i < argc; ++i) sprintf(line + strlen(line), "\"%s\" ", argv[i]);
  STARTUPINFOA start = {.cb = sizeof start};
  PROCESS_INFORMATION child;
  if (argc < 6 || !CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &start, &child))
    return 2;
  for (FILE *f; !strstr(text, argv[4]); Sleep(5))
    if ((f = fopen(argv[3], "rb")) != NULL) text[fread(text, 1, sizeof text - 1, f)] = 0, fclose(f);
  COORD size = {(SHORT)atoi(argv[1]), (SHORT)atoi(argv[2])};
  SMALL_RECT window = {0, 0, (SHORT)(size.X - 1), (SHORT)(size.Y - 1)};
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!SetConsoleWindowInfo(out, TRUE, &window) || !SetConsoleScreenBufferSize(out, size)) return 3;
  return (int)WaitForSingleObject(child.hProcess, INFINITE);
}
