// Reading a stream of unknown or changing length up to a limit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/core/Classes.h"

// Reads the stream from its position to its end into out, but never more than limit
// bytes: false when more follow. The size is not asked for, so a file that grows while it
// is read is still read only up to the limit.
inline bool ReadStreamUpTo(TStream& s, std::int64_t limit, std::string& out) {
  out.clear();
  char chunk[64 * 1024];
  for (;;) {
    const std::int64_t room = limit + 1 - static_cast<std::int64_t>(out.size());
    const std::int64_t n = s.Read(chunk, std::min<std::int64_t>(room, sizeof chunk));
    if (n <= 0) return true;
    out.append(chunk, static_cast<std::size_t>(n));
    if (static_cast<std::int64_t>(out.size()) > limit) {
      out.resize(static_cast<std::size_t>(limit));
      return false;
    }
  }
}
