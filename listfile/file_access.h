#pragma once
// The list's file on disk: read at most so many bytes of it, and write it whole or not at all.
#include <windows.h>

#include <string>
#include <string_view>

namespace listfile {

// The file's first bytes, at most maxBytes of them; 0, or the system's error code.
DWORD ReadFileStart(const std::wstring& path, size_t maxBytes, std::string& bytes);

// Writes the bytes to a temporary file beside the target, flushes it and only then puts it in the
// target's place, replacing an earlier file (which keeps its permissions, attributes and owner), so a
// failed write (disk full, no rights) leaves an earlier file as it was and no temporary file behind;
// 0, or the system's error code. A target another program holds is tried again for about a second.
DWORD WriteFileReplacing(const std::wstring& path, std::string_view bytes);

// The error says another program holds the file (open without letting others write or delete it).
bool IsHeldElsewhere(DWORD error);

}  // namespace listfile
