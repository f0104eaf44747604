#include "glomp/files.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <memory>

namespace glomp {
namespace {

std::string WithSlashes(const char* path) {
  std::string out(path);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of `dir` whose name equals `name` ignoring ASCII case; empty if none.
std::string FindInFolder(const std::string& dir, const std::string& name) {
  std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(dir.empty() ? "." : dir.c_str()), ::closedir);
  if (!folder) return {};
  while (dirent* entry = ::readdir(folder.get())) {
    if (::strcasecmp(entry->d_name, name.c_str()) == 0) return entry->d_name;
  }
  return {};
}

}  // namespace

std::string ResolvePath(const char* path) {
  if (!path || !*path) return {};
  const std::string wanted = WithSlashes(path);
  if (Exists(wanted)) return wanted;

  // Walk the path one component at a time, fixing the case of each. `resolved`
  // always ends with a separator (or is empty for a relative path).
  std::string resolved(wanted[0] == '/' ? 1 : 0, '/');
  std::size_t start = 0;
  while (start < wanted.size()) {
    std::size_t end = wanted.find('/', start);
    if (end == std::string::npos) end = wanted.size();
    const std::string part = wanted.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    std::string found = part;
    if (part != "." && part != ".." && !Exists(resolved + part)) {
      found = FindInFolder(resolved, part);
      if (found.empty()) return {};
    }
    resolved += found;
    resolved += '/';
  }
  if (!resolved.empty()) resolved.pop_back();
  return Exists(resolved) ? resolved : std::string();
}

std::FILE* OpenFile(const char* path, const char* mode) {
  if (!path || !mode) return nullptr;
  const bool writing = mode[0] == 'w' || mode[0] == 'a';
  const std::string onDisk = writing ? WithSlashes(path) : ResolvePath(path);
  if (onDisk.empty()) return nullptr;
  struct stat st;
  if (!writing && (::stat(onDisk.c_str(), &st) != 0 || S_ISDIR(st.st_mode))) return nullptr;
  return std::fopen(onDisk.c_str(), mode);
}

bool ReadWholeFile(const char* path, std::vector<unsigned char>* bytes) {
  if (!bytes) return false;
  bytes->clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenFile(path, "rb"), std::fclose);
  if (!file) return false;
  unsigned char chunk[65536];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    bytes->insert(bytes->end(), chunk, chunk + got);
  }
  if (std::ferror(file.get())) {
    bytes->clear();
    return false;
  }
  return true;
}

}  // namespace glomp
