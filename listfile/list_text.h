#pragma once
// The file's messages and the import's report list their lines alike.
#include <string>
#include <vector>

namespace listfile {

// The first ten lines, each ending in "\r\n", then "... and N more" for the rest.
std::wstring AtMostTen(const std::vector<std::wstring>& lines);

}  // namespace listfile
