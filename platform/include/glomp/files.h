// Opening the game's data files the way Windows finds them: paths are relative
// to the working directory, `\` is a separator like `/`, and letter case does
// not matter ("data/Texture/Toon.png" finds "data/texture/toon.png").
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace glomp {

// The path on disk that the game's path names: the exact path when it exists,
// otherwise the first case-insensitive match, folder by folder. Empty when
// nothing matches.
std::string ResolvePath(const char* path);

// fopen on the resolved path; null when the file cannot be found or opened.
// Writing modes create the file at the exact path given (separators fixed).
std::FILE* OpenFile(const char* path, const char* mode);

// Reads the whole file; false (and an empty vector) when it cannot be read.
bool ReadWholeFile(const char* path, std::vector<unsigned char>* bytes);

}  // namespace glomp
