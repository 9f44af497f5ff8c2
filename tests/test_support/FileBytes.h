// Whole-file helpers for tests.
#pragma once

#include <string>
#include <string_view>

#include "platform/core/Classes.h"
#include "platform/core/Files.h"

inline std::string ReadFileBytes(const AnsiString& name) {
  TMemoryStream m;
  m.LoadFromFile(name);
  return m.Bytes();
}

// Writes the file (and its directory when missing).
inline void WriteFileBytes(const AnsiString& name, std::string_view bytes) {
  ForceDirectories(ExtractFilePath(name));
  SaveFileAtomically(name, [&](TStream& s) { s.WriteString(bytes); });
}
