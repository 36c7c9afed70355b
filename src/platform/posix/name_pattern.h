// Windows-style name patterns, as the find functions take them, for listing
// a folder on a platform whose own listing has none.
#pragma once

namespace zavero::platform {

// True when `name` matches `pattern`: "*" stands for any run of characters
// (of bytes, so that names that are no UTF-8 match too), "?" for exactly one
// character (a whole UTF-8 sequence), "*.*" for every name, dotted or not.
// Letters compare without regard to ASCII case; any other byte compares as
// it is. A pattern without wildcards names one entry.
bool MatchesNamePattern(const char* pattern, const char* name);

}  // namespace zavero::platform
