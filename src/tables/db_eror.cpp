#include "tables/db_eror.h"

#include <utility>

namespace {

struct ErrorRow {
  std::int32_t code;
  const char* text;
};

constexpr ErrorRow kErrorTexts[] = {
    {2, "File not found"},
    {3, "Path not found"},
    {4, "Too many open files"},
    {5, "File access denied"},
    {12, "Invalid file access code"},
    {15, "Invalid drive number"},
    {32, "File access denied"},
    {33, "Record locked by another user"},
    {100, "Disk read error"},
    {101, "Disk write error"},
    {102, "File not assigned"},
    {103, "File not open"},
    {104, "File not open for input"},
    {105, "File not open for output"},
    {106, "Invalid numeric format"},
    {112, "Disk is full"},
    {150, "Disk is write-protected"},
    {152, "Drive not ready"},
    {162, "Hardware failure"},
    {183, "File already exists"},
    {1001, "dBase DBF file header invalid"},
    {1002, "dBase record request beyond EOF"},
    {1003, "dBase field name is invalid"},
    {1004, "dBase field is of incorrect type"},
    {1005, "dBase memo record has format error"},
    {1006, "Formula expression cannot be translated"},
    {1011, "Number too large to fit in field"},
};

// The row text and its separator form one text of at most this many characters.
constexpr std::size_t kMaxRowText = 43;

TdbErrorProc& CurrentProc() {
  static TdbErrorProc proc = StandardDbfError;
  return proc;
}

}  // namespace

AnsiString DbfErrorText(std::int32_t code) {
  for (const auto& row : kErrorTexts)
    if (row.code == code) return row.text;
  return "";
}

AnsiString DbfErrorMessage(std::int32_t code, std::int32_t subCode, const AnsiString& info) {
  for (const auto& row : kErrorTexts) {
    if (row.code != code) continue;
    AnsiString head = AnsiString(row.text) + " - ";
    if (head.size() > kMaxRowText) head.resize(kMaxRowText);
    return head + info;
  }
  AnsiString msg = "Table Error " + IntToStr(code);
  if (subCode != dbe::NoSubCode) msg += ", SubCode " + IntToStr(subCode);
  msg += ".\r";
  if (!info.empty()) msg += " " + info;
  return msg;
}

void StandardDbfError(std::int32_t code, std::int32_t subCode, const AnsiString& info) {
  throw EDbfError(DbfErrorMessage(code, subCode, info));
}

TdbErrorProc SetDbfErrorProc(TdbErrorProc proc) {
  TdbErrorProc old = std::move(CurrentProc());
  CurrentProc() = proc ? std::move(proc) : TdbErrorProc(StandardDbfError);
  return old;
}

void DbfError(std::int32_t code, std::int32_t subCode, const AnsiString& info) { CurrentProc()(code, subCode, info); }
