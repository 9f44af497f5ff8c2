// Stream primitives of the report files and view records, the localized text table and
// the small string helpers that the report engine shares.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/core/Classes.h"

// ---------------------------------------------------------------------------------
// Stream forms (little-endian)
//   string       u16 length n, n bytes, one byte 0
//   string list  u16 count, then per line u16 length n, n bytes and a separator:
//                13 after every line but the last, 0 after the last;
//                an empty list is the count 0 and one byte 0
//   old forms    (templates before version 23) bytes up to a terminating 0,
//                lines separated by 13
// A string or line longer than 65,535 bytes, or a list of more than 65,535 lines,
// cannot be written in these forms: the writers raise EWriteError before writing
// anything. Readers raise EReadError at the end of the stream.

constexpr std::size_t rpMaxStreamLength = 65535;

void rpStreamWriteString(TStream& stream, std::string_view s);
AnsiString rpStreamReadString(TStream& stream);
void rpStreamWriteLines(TStream& stream, const TStringList& lines);
// Clears lines; reads lines until the separator 0 (the count only tells an empty list).
void rpStreamReadLines(TStream& stream, TStringList& lines);
AnsiString rpStreamReadStringOld(TStream& stream);
void rpStreamReadLinesOld(TStream& stream, TStringList& lines);

std::int16_t rpStreamReadWord(TStream& stream);
void rpStreamWriteWord(TStream& stream, std::int16_t value);
void rpStreamWriteInt(TStream& stream, std::int32_t value);

// Font style bits. In memory (the class library's set): bit 0 bold, bit 1 italic,
// bit 2 underline, bit 3 strike-out. Stored: bit 0 italic, bit 1 bold, bits 2 and 3
// as in memory. Higher bits are dropped.
std::uint8_t rpFontStyleFromBits(std::uint8_t stored);
std::uint8_t rpFontStyleToBits(std::uint8_t style);

// ---------------------------------------------------------------------------------
// Localized texts

// The engine's one access to its texts by string id (53000..55439):
//   LoadString(id)  the localization handler's text when it gives a non-empty one;
//                   else the text of the string table: the resource module's when one is
//                   set (a translation), else the built-in one; at most 1023 bytes of
//                   it (the buffer of 1024 characters), and the empty text for an id
//                   the table lacks.
class TrpLocale {
 public:
  using TLocalizeEvent = std::function<AnsiString(int id)>;
  using TResourceModule = std::function<bool(int id, AnsiString& text)>;

  AnsiString LoadString(int id) const;
  // The localization handler (an empty function: none).
  TLocalizeEvent OnLocalize;
  // A string table that replaces the built-in one: it answers false for an id it lacks
  // (an empty function: the built-in table).
  TResourceModule ResourceModule;
};
// The single locale object, made on first use.
TrpLocale& rpLocale();

// rpLocale().LoadString(id).
AnsiString rpLocalString(int id);
// Replaces the localization handler (an empty function removes it).
void rpSetLocalizeHandler(std::function<AnsiString(int id)> handler);

// ---------------------------------------------------------------------------------
// Strings

// Every "," and "." becomes the decimal separator; the text is trimmed and converted.
// EConvertError for a bad number.
double rpStrToFloatAnySep(std::string_view s);
// Removes the double quotes around a text longer than 2 characters.
AnsiString rpUnquoteDouble(std::string_view s);
// The text from pos (0-based) up to the next ";" or the end; pos moves past the ";".
AnsiString rpNextSemicolonItem(std::string_view s, std::size_t& pos);
// Clears list and adds every ";"-separated item; a trailing ";" adds no empty item.
void rpSplitSemicolonList(std::string_view s, TStringList& list);
