#include "platform/core/VersionResources.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/core/Files.h"

namespace {

struct Registry {
  std::mutex lock;
  std::map<AnsiString, std::string> blocks;  // by the name as given
};

Registry& Blocks() {
  static Registry r;
  return r;
}

bool SameFile(const AnsiString& a, const AnsiString& b) {
  if (a == b) return true;
  struct stat sa, sb;
  return ::stat(SysPath(a).c_str(), &sa) == 0 && ::stat(SysPath(b).c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// The block of the file, empty when none (under the lock).
const std::string* Find(Registry& r, const AnsiString& fileName) {
  for (const auto& [name, block] : r.blocks)
    if (SameFile(name, fileName)) return &block;
  return nullptr;
}

}  // namespace

void SetFileVersionBlock(const AnsiString& fileName, std::string block) {
  Registry& r = Blocks();
  std::lock_guard<std::mutex> g(r.lock);
  if (block.empty()) r.blocks.erase(fileName);
  else r.blocks[fileName] = std::move(block);
}

std::uint32_t GetFileVersionInfoSize(const AnsiString& fileName, std::uint32_t& handle) {
  handle = 0;
  Registry& r = Blocks();
  std::lock_guard<std::mutex> g(r.lock);
  const std::string* b = Find(r, fileName);
  return b ? static_cast<std::uint32_t>(std::min<std::size_t>(b->size(), UINT32_MAX)) : 0;
}

bool GetFileVersionInfo(const AnsiString& fileName, std::uint32_t, std::uint32_t size, void* data) {
  Registry& r = Blocks();
  std::lock_guard<std::mutex> g(r.lock);
  const std::string* b = Find(r, fileName);
  if (!b || !data) return false;
  std::memcpy(data, b->data(), std::min<std::size_t>(size, b->size()));
  return true;
}
