// Errors of the table engine: every failure of a table, memo or index file is
// reported as an error code, a sub-code naming the place and an information text
// (as a rule the file name), which one replaceable error procedure turns into an
// EDbfError with a readable message.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/core/SysUtils.h"

TW_DECLARE_EXCEPTION(EDbfError, Exception)
TW_DECLARE_EXCEPTION(EDbfExpression, Exception)

// The engine's own error codes (the others are system error numbers).
namespace dbe {
inline constexpr std::int32_t FileNotFound = 2;
inline constexpr std::int32_t PathNotFound = 3;
inline constexpr std::int32_t TooManyOpenFiles = 4;
inline constexpr std::int32_t AccessDenied = 5;
inline constexpr std::int32_t InvalidAccess = 12;
inline constexpr std::int32_t SharingViolation = 32;
inline constexpr std::int32_t LockViolation = 33;
inline constexpr std::int32_t NotAssigned = 102;
inline constexpr std::int32_t NotOpen = 103;
inline constexpr std::int32_t DiskFull = 112;
inline constexpr std::int32_t WriteProtected = 150;
inline constexpr std::int32_t AlreadyExists = 183;
inline constexpr std::int32_t ShortRead = 221;
inline constexpr std::int32_t BadHeader = 1001;
inline constexpr std::int32_t BeyondEof = 1002;
inline constexpr std::int32_t BadFieldName = 1003;
inline constexpr std::int32_t BadFieldType = 1004;
inline constexpr std::int32_t BadMemo = 1005;
inline constexpr std::int32_t BadFormula = 1006;
inline constexpr std::int32_t NumberTooLarge = 1011;

// Sub-codes: the place of a failure.
inline constexpr std::int32_t NoSubCode = -7;
inline constexpr std::int32_t SubRead = 1101;
inline constexpr std::int32_t SubWrite = 1102;
inline constexpr std::int32_t SubSize = 1105;
inline constexpr std::int32_t SubRename = 1106;
inline constexpr std::int32_t SubOpen = 1107;
inline constexpr std::int32_t SubCreate = 1108;
inline constexpr std::int32_t SubTruncate = 1109;
inline constexpr std::int32_t SubFlush = 1111;
inline constexpr std::int32_t SubMemoLock = 1112;
inline constexpr std::int32_t SubHeader = 1204;
inline constexpr std::int32_t SubRecord = 1207;
inline constexpr std::int32_t SubDateMinusOne = 1251;
inline constexpr std::int32_t SubNumberText = 1261;
inline constexpr std::int32_t SubLogicText = 1262;
inline constexpr std::int32_t SubFieldName = 1298;
inline constexpr std::int32_t SubFieldType = 1299;
inline constexpr std::int32_t SubMemoMissing = 6101;
inline constexpr std::int32_t SubMemoBlock = 6199;
}  // namespace dbe

// The engine error procedure. The standard one raises EDbfError; a replacement may
// return, and every caller then goes on with its stated fallback result.
using TdbErrorProc = std::function<void(std::int32_t code, std::int32_t subCode, const AnsiString& info)>;

// Replaces the procedure; an empty one restores the standard procedure. Returns the old one.
TdbErrorProc SetDbfErrorProc(TdbErrorProc proc);
// Calls the current procedure.
void DbfError(std::int32_t code, std::int32_t subCode, const AnsiString& info);
// The text of the standard procedure's message.
AnsiString DbfErrorMessage(std::int32_t code, std::int32_t subCode, const AnsiString& info);
[[noreturn]] void StandardDbfError(std::int32_t code, std::int32_t subCode, const AnsiString& info);
// The row text of an error code, '' when the table lacks it.
AnsiString DbfErrorText(std::int32_t code);
