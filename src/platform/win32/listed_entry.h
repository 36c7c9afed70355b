// Entries whose names no path reaches (IsRefusedName: a control character,
// a wildcard, a colon ...), which a stick written by another system can hold
// and a listing hands out as they stand. Such an entry is reached through its
// folder instead: the folder's listing by handle gives the entry's file ID,
// and the entry is opened by that ID.
#pragma once

#include "platform/win32/wide_text.h"

#include "platform/win32/win32.h"

namespace zavero::platform {

// The attribute word of the entry `name` of `folder` (a path as the wide
// functions take it), or INVALID_FILE_ATTRIBUTES when it cannot be reached.
DWORD ReadListedEntryAttributes(const wchar_t* folder, const WideText& name);

// The attribute word of the entry behind `entry`, an opening with
// FILE_READ_ATTRIBUTES: false when the system gives none. Where Windows has
// GetFileInformationByHandleEx this reads only the word, not the volume's
// serial number and the link count that GetFileInformationByHandle gathers
// too, which under Wine take several times as long as the opening itself.
bool ReadAttributesThroughHandle(HANDLE entry, DWORD* attributes);

// SetFileAttributes through a handle opened with FILE_WRITE_ATTRIBUTES, so
// the word lands on that very entry (SetFileInformationByHandle, looked up at
// run time): true when the system took it.
bool WriteAttributesThroughHandle(HANDLE entry, DWORD attributes);

// SetFileAttributes for that entry: true when the system took the word.
bool WriteListedEntryAttributes(const wchar_t* folder, const WideText& name, DWORD attributes);

}  // namespace zavero::platform
