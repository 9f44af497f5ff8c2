// Small routines on 1251 byte strings: words of a delimited line, masks with
// wildcards, searches from a position and replacing every occurrence. Positions
// are 1-based, as everywhere in the program's texts.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/core/AnsiText.h"

// A set of byte characters (all 256 of them may be members).
class TCharSet {
 public:
  constexpr TCharSet() = default;
  // The set of the characters of `chars`.
  constexpr explicit TCharSet(std::string_view chars) {
    for (char c : chars) Include(c);
  }

  constexpr TCharSet& Include(char c) {
    const auto b = static_cast<unsigned char>(c);
    bits_[b >> 6] |= std::uint64_t{1} << (b & 63);
    return *this;
  }
  constexpr bool Contains(char c) const {
    const auto b = static_cast<unsigned char>(c);
    return (bits_[b >> 6] >> (b & 63)) & 1;
  }

 private:
  std::array<std::uint64_t, 4> bits_{};
};

// Words: maximal runs of characters that are not delimiters. Runs of delimiters
// separate no empty words; leading and trailing delimiters add none.
int CountWords(std::string_view S, const TCharSet& Delims);
// The N-th word of S (from 1); empty when N is below 1 or above the count.
AnsiString GetWord(int N, std::string_view S, const TCharSet& Delims);

// Mask matching: AnyChar in the mask stands for any one character, AnyRun for any
// run of characters (none included). An empty mask matches nothing.
// StrMatchesMask compares the other characters exactly; TextMatchesMask without
// regard to case (the 1251 upper-case table: Latin and Cyrillic letters, yo too).
bool StrMatchesMask(std::string_view S, std::string_view Mask, char AnyChar, char AnyRun);
bool TextMatchesMask(std::string_view S, std::string_view Mask, char AnyChar, char AnyRun);
// The comparison of a mask without AnyRun: the same non-zero length, and every mask
// character AnyChar or equal to the subject's (compared from the last to the first).
bool SameLengthMatch(std::string_view S, std::string_view Mask, char AnyChar);

// Position of the first occurrence of Find in S that starts at or after StartPos;
// 0 when there is none or Find or S is empty. A StartPos below 1 counts as 1.
int PosStrFrom(std::string_view Find, std::string_view S, int StartPos);
// Position of the first Ch in S at or after StartPos; 0 when there is none.
int CharPosFrom(std::string_view S, char Ch, int StartPos);

// S with every occurrence of Find (counted left to right, without overlap) replaced
// by Replace. An empty Find leaves S as it is.
AnsiString ReplaceAll(std::string_view S, std::string_view Find, std::string_view Replace);
