// Text model: every string of the model, the engines and the files is a byte string
// in code page 1251 (AnsiString). Tables hold code page 866 ("OEM"). Unicode appears
// only at the boundary with Qt and the file system, converted here with our own
// tables; the C library's locale never decides a character's case or code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using AnsiString = std::string;

namespace cp {

// Unicode code point of a 1251 / 866 byte. Bytes below 0x80 are ASCII.
char32_t Ansi1251ToUnicode(unsigned char c);
char32_t Oem866ToUnicode(unsigned char c);
// The 1251 / 866 byte of a code point; `fallback` when the code page lacks it.
unsigned char UnicodeTo1251(char32_t u, unsigned char fallback = '?');
unsigned char UnicodeTo866(char32_t u, unsigned char fallback = '?');

// Case of single bytes through the code pages' own tables (Latin, Cyrillic and the
// other letters of each code page).
unsigned char AnsiUpper(unsigned char c);
unsigned char AnsiLower(unsigned char c);
unsigned char OemUpper(unsigned char c);
unsigned char OemLower(unsigned char c);
bool IsAnsiLetter(unsigned char c);

// UTF-8 <-> code page. Invalid UTF-8 sequences and missing characters become '?'.
AnsiString Utf8To1251(std::string_view utf8);
std::string Ansi1251ToUtf8(std::string_view ansi);
AnsiString Utf8To866(std::string_view utf8);
std::string Oem866ToUtf8(std::string_view oem);

// 1251 <-> 866 in place or as a copy (the system's CharToOem / OemToChar).
AnsiString AnsiToOem(std::string_view ansi);
AnsiString OemToAnsi(std::string_view oem);
void AnsiToOemBuf(char* buf, std::size_t len);
void OemToAnsiBuf(char* buf, std::size_t len);

// Decodes one UTF-8 sequence at s[i]; advances i. Returns U+FFFD for a bad sequence.
char32_t DecodeUtf8(std::string_view s, std::size_t& i);
void AppendUtf8(std::string& out, char32_t u);

}  // namespace cp

// A Russian (or any) source literal, written in UTF-8, as a 1251 byte string.
AnsiString Ansi(std::string_view utf8);

// Case of 1251 strings (the class library's AnsiUpperCase and friends).
AnsiString AnsiUpperCase(std::string_view s);
AnsiString AnsiLowerCase(std::string_view s);
int AnsiCompareText(std::string_view a, std::string_view b);  // caseless, by upper-case bytes
bool AnsiSameText(std::string_view a, std::string_view b);
