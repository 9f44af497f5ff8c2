// Opens arbitrary bytes as a table with a memo file and walks every record and
// field, reading (and once writing) through the engine. Shared by the fuzz target
// and the test that replays the inputs it found.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/core/Files.h"
#include "tables/db_DBF.h"
#include "tables/db_eror.h"

namespace tables_walk {

inline void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n <= 0) break;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

inline void ReadEveryField(DBO_dBaseFld& t) {
  for (std::int64_t n = 1; n <= t.FieldCount(); ++n) {
    try {
      (void)t.FieldGet(n);
      (void)t.DisplayText(n);
      switch (t.FieldType(n)) {
        case 'D':
          (void)t.DateGet(n);
          break;
        case 'L':
          (void)t.LogicGet(n);
          break;
        case 'B':
        case 'G':
        case 'M':
          (void)t.MemoSize(n);
          (void)t.MemoRead(n);
          break;
        default:
          (void)t.NumberGet(n);
          break;
      }
    } catch (const EDbfError&) {
    } catch (const EConvertError&) {
    } catch (const ERangeError&) {
    }
  }
}

// The input: two bytes (little-endian) giving the length of the table part, the table
// bytes, then the memo file bytes (written under both memo extensions).
inline void WalkTableBytes(const std::string& dir, const std::uint8_t* data, std::size_t size) {
  if (size < 2) return;
  std::size_t tableSize = std::min<std::size_t>(size - 2, data[0] | (data[1] << 8));
  WriteFile(dir + "/t.dbf", data + 2, tableSize);
  WriteFile(dir + "/t.dbt", data + 2 + tableSize, size - 2 - tableSize);
  WriteFile(dir + "/t.fpt", data + 2 + tableSize, size - 2 - tableSize);
  const AnsiString name = AnsiPath(dir + "/t.dbf");
  try {
    DBO_dBaseFld t(name, false, false);
    for (t.GetRecord(dbp::First); !t.Eof() && t.RecNo() > 0;) {
      ReadEveryField(t);
      const std::int64_t before = t.RecNo();
      t.GetRecord(dbp::Next);
      if (t.RecNo() == before) break;
    }
  } catch (const EDbfError&) {
  } catch (const ERangeError&) {
  }
  // Writing: a new record with a memo in every memo field, and a rewrite of the first.
  try {
    DBO_dBaseFld t(name, false, true);
    t.BlankRecord();
    for (std::int64_t n = 1; n <= t.FieldCount(); ++n) {
      try {
        if (std::strchr("BGM", t.FieldType(n))) t.MemoWrite(n, "fuzz", 4);
        t.TextPut(n, "1");
      } catch (const EDbfError&) {
      } catch (const EConvertError&) {
      } catch (const ERangeError&) {
      }
    }
    t.Append();
    t.GetRecord(dbp::First);
    ReadEveryField(t);
    t.PutRecord(t.RecNo());
  } catch (const EDbfError&) {
  } catch (const ERangeError&) {
  }
}

}  // namespace tables_walk
