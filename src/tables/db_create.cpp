#include "tables/db_create.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/core/DateTime.h"
#include "platform/core/Files.h"
#include "tables/db_disk.h"
#include "tables/db_eror.h"
#include "tables/db_memo.h"
#include "tables/db_tool.h"

namespace {

constexpr std::int64_t kFptHeader = 512;

[[noreturn]] void Refuse(std::string_view utf8, const AnsiString& detail = "") {
  throw EDbfError(Ansi(utf8) + detail);
}

bool IsMemoType(char type) { return type == 'M' || type == 'B' || type == 'G'; }

int FixedLength(std::uint8_t version, char type) {
  switch (type) {
    case 'D':
      return 8;
    case 'L':
      return 1;
    case 'M':
    case 'G':
      return version == 0x30 ? 4 : 10;
    case 'B':
      return version == 0x30 ? 8 : 10;
    case 'I':
      return 4;
    case 'T':
    case 'Y':
      return 8;
    default:
      return 0;
  }
}

struct Checked {
  AnsiString name;
  char type;
  int length;
  int decimals;
};

std::vector<Checked> CheckFields(std::uint8_t version, const std::vector<TdbFieldDef>& fields) {
  if (fields.empty()) Refuse("В таблице нет ни одного поля");
  if (fields.size() > 4096) Refuse("В таблице больше 4096 полей");
  std::vector<Checked> out;
  std::int64_t recordLength = 1;
  for (const auto& f : fields) {
    Checked c{UpperCase(f.Name), static_cast<char>(std::toupper(static_cast<unsigned char>(f.Type))), f.Length,
              f.Decimals};
    if (c.name.empty() || c.name.size() > 10 || c.name.find_first_of(std::string_view(" \0", 2)) != AnsiString::npos)
      Refuse("Недопустимое имя поля: ", "\"" + f.Name + "\"");
    for (const auto& o : out)
      if (o.name == c.name) Refuse("Поле с таким именем уже есть: ", c.name);
    const bool known = std::string_view("CDFLMNBG").find(c.type) != std::string_view::npos ||
                       (version == 0x30 && std::string_view("ITY").find(c.type) != std::string_view::npos);
    if (!known) Refuse("Недопустимый тип поля: ", c.name + " (" + AnsiString(1, f.Type) + ")");
    if (IsMemoType(c.type) && version == 0x03) Refuse("Таблица этой версии не может иметь мемо-поле: ", c.name);
    if (int fixed = FixedLength(version, c.type)) {
      if (c.length == 0) c.length = fixed;
      if (c.length != fixed || c.decimals != 0) Refuse("Недопустимая длина поля: ", c.name);
    } else if (c.type == 'C') {
      if (c.length < 1 || c.length > 65535 || c.decimals != 0) Refuse("Недопустимая длина поля: ", c.name);
    } else {  // N, F
      if (c.length < 1 || c.length > 20 || c.decimals < 0 || c.decimals > 15 ||
          (c.decimals > 0 && c.decimals > c.length - 2))
        Refuse("Недопустимая длина поля: ", c.name);
    }
    recordLength += c.length;
    if (recordLength > 65535) Refuse("Слишком длинная запись таблицы");
    out.push_back(c);
  }
  return out;
}

// Creates the file empty (an existing one only when allowed) and writes the bytes.
void WriteNewFile(std::string_view name, const std::vector<std::uint8_t>& bytes, bool overwrite) {
  DBO_DiskFile f(name, false, true);
  if (f.Existed() && !overwrite) {
    SetDbfLastError(dbe::AlreadyExists);
    f.Error(dbe::AlreadyExists, dbe::SubCreate, f.FileName());
  }
  f.CreateNew();
  f.WriteAt(0, bytes.data(), std::ssize(bytes));
  f.Flush();
  f.Close();
}

// The bytes of an empty memo file of that version; raises for an unusable block size.
std::vector<std::uint8_t> MemoFileBytes(std::string_view tableName, std::uint8_t version,
                                        std::int64_t blockSize) {
  const bool fox = version == 0xF5 || version == 0x30;
  std::vector<std::uint8_t> bytes;
  if (fox) {
    if (blockSize == 0) blockSize = 64;
    if (blockSize < 8 || blockSize > 65535) Refuse("Недопустимый размер блока мемо-файла");
    bytes.assign(static_cast<std::size_t>(kFptHeader), 0);
    PutBE32(bytes.data(), static_cast<std::uint32_t>((kFptHeader + blockSize - 1) / blockSize));
    PutBE16(bytes.data() + 6, static_cast<std::uint16_t>(blockSize));
  } else if (version == 0x8B) {
    if (blockSize == 0) blockSize = 512;
    if (blockSize < 32 || blockSize > 65536) Refuse("Недопустимый размер блока мемо-файла");
    bytes.assign(static_cast<std::size_t>(blockSize), 0);
    PutLE32(bytes.data(), 1);  // an empty free chain points at the end of the file
    AnsiString name = AnsiUpperCase(ExtractNameNoExt(tableName)).substr(0, 8);
    std::memcpy(bytes.data() + 8, name.data(), name.size());
    PutLE32(bytes.data() + 20, static_cast<std::uint32_t>(blockSize));
  } else {
    bytes.assign(512, 0);
    PutLE32(bytes.data(), 1);
    bytes[16] = 0x03;
  }
  return bytes;
}

AnsiString NewMemoFileName(std::string_view tableName, std::uint8_t version) {
  AnsiString memoName = DBobjMemo::MemoFileName(tableName, version);
  // A new memo file takes the case of the table's extension.
  AnsiString tableExt = ExtractFileExt(Trim(tableName));
  if (!tableExt.empty() && tableExt == AnsiLowerCase(tableExt))
    memoName = ChangeFileExt(memoName, AnsiLowerCase(ExtractFileExt(memoName)));
  return memoName;
}

}  // namespace

bool TableHasMemo(std::uint8_t version, const std::vector<TdbFieldDef>& fields) {
  if (version == 0x83 || version == 0x8B || version == 0xF5) return true;
  if (version != 0x30) return false;
  return std::any_of(fields.begin(), fields.end(), [](const TdbFieldDef& f) {
    return IsMemoType(static_cast<char>(std::toupper(static_cast<unsigned char>(f.Type))));
  });
}

void CreateDbfTable(std::string_view fileName, std::uint8_t version, const std::vector<TdbFieldDef>& fields,
                    const TdbCreateOptions& options) {
  if (version != 0x03 && version != 0x30 && version != 0x83 && version != 0x8B && version != 0xF5)
    Refuse("Недопустимая версия таблицы: ", IntToStr(version));
  const std::vector<Checked> checked = CheckFields(version, fields);
  const bool memo = TableHasMemo(version, fields);
  const std::int64_t headerLength = 32 + 32 * std::ssize(checked) + 1 + (version == 0x30 ? 263 : 0);
  if (headerLength > 65535) Refuse("Слишком много полей для заголовка таблицы");
  std::int64_t recordLength = 1;
  for (const auto& c : checked) recordLength += c.length;

  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(headerLength + 1), 0);
  std::uint8_t* h = bytes.data();
  h[0] = version;
  TDateParts today;
  TryDecodeDate(TodayDayNumber(), today);
  h[1] = static_cast<std::uint8_t>(today.Year % 100);
  h[2] = static_cast<std::uint8_t>(today.Month);
  h[3] = static_cast<std::uint8_t>(today.Day);
  PutLE16(h + 8, static_cast<std::uint16_t>(headerLength));
  PutLE16(h + 10, static_cast<std::uint16_t>(recordLength));
  h[28] = version == 0x30 && memo ? 0x02 : 0x00;
  h[29] = options.LanguageDriver;
  std::int64_t offset = 1;
  for (std::size_t i = 0; i < checked.size(); ++i) {
    std::uint8_t* d = h + 32 + 32 * i;
    const Checked& c = checked[i];
    std::memcpy(d, c.name.data(), c.name.size());
    d[11] = static_cast<std::uint8_t>(c.type);
    if (version == 0x30) PutLE32(d + 12, static_cast<std::uint32_t>(offset));
    d[16] = static_cast<std::uint8_t>(c.length & 0xFF);
    d[17] = static_cast<std::uint8_t>(c.type == 'C' ? c.length >> 8 : c.decimals);
    offset += c.length;
  }
  h[32 + 32 * checked.size()] = 0x0D;
  bytes.back() = 0x1A;
  // The table first: one that cannot be replaced (held elsewhere, or existing without
  // Overwrite) must keep the memo file its records point into.
  const AnsiString tableName = AddDefaultExt(Trim(fileName), ".dbf");
  std::vector<std::uint8_t> memoBytes;
  if (memo) memoBytes = MemoFileBytes(tableName, version, options.MemoBlockSize);
  WriteNewFile(tableName, bytes, options.Overwrite);
  if (memo) WriteNewFile(NewMemoFileName(tableName, version), memoBytes, options.Overwrite);
}

void CreateMemoFile(std::string_view tableName, std::uint8_t version, std::int64_t blockSize, bool overwrite) {
  WriteNewFile(NewMemoFileName(tableName, version), MemoFileBytes(tableName, version, blockSize), overwrite);
}
