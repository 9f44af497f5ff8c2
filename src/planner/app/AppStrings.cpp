#include "planner/app/AppStrings.h"

namespace {

// Skips the delimiters from `i`, then the word there; `start` and `i` bound the word.
// False when only delimiters are left.
bool NextWord(std::string_view s, const TCharSet& delims, std::size_t& i, std::size_t& start) {
  while (i < s.size() && delims.Contains(s[i])) ++i;
  if (i == s.size()) return false;
  start = i;
  while (i < s.size() && !delims.Contains(s[i])) ++i;
  return true;
}

struct ExactChar {
  bool operator()(char m, char s) const { return m == s; }
};
struct CaselessChar {
  bool operator()(char m, char s) const {
    return m == s || cp::AnsiUpper(static_cast<unsigned char>(m)) ==
                         cp::AnsiUpper(static_cast<unsigned char>(s));
  }
};

// Whether `seg` matches the characters of `s` from index `pos` (which must hold them).
template <class Same>
bool SegmentAt(std::string_view s, std::size_t pos, std::string_view seg, char anyChar, Same same) {
  for (std::size_t k = 0; k < seg.size(); ++k)
    if (seg[k] != anyChar && !same(seg[k], s[pos + k])) return false;
  return true;
}

template <class Same>
bool SameLength(std::string_view s, std::string_view mask, char anyChar, Same same) {
  if (mask.empty() || s.size() != mask.size()) return false;
  for (std::size_t k = mask.size(); k-- > 0;)
    if (mask[k] != anyChar && !same(mask[k], s[k])) return false;
  return true;
}

template <class Same>
bool MatchesMask(std::string_view s, std::string_view mask, char anyChar, char anyRun, Same same) {
  std::size_t mp = mask.find(anyRun);
  if (mp == std::string_view::npos) return SameLength(s, mask, anyChar, same);

  // The part before the first run wildcard is anchored at the start.
  if (s.size() < mp || !SegmentAt(s, 0, mask.substr(0, mp), anyChar, same)) return false;
  std::size_t sp = mp;  // characters of s consumed so far
  for (;;) {
    while (mp < mask.size() && mask[mp] == anyRun) ++mp;
    if (mp == mask.size()) return true;  // a trailing run takes any rest
    const std::size_t next = mask.find(anyRun, mp);
    if (next == std::string_view::npos) {
      // The tail is anchored at the end and may not reuse consumed characters.
      const std::string_view tail = mask.substr(mp);
      return s.size() - sp >= tail.size() && SegmentAt(s, s.size() - tail.size(), tail, anyChar, same);
    }
    // A middle segment takes its leftmost place.
    const std::string_view seg = mask.substr(mp, next - mp);
    bool found = false;
    for (std::size_t p = sp; p + seg.size() <= s.size(); ++p) {
      if (SegmentAt(s, p, seg, anyChar, same)) {
        sp = p + seg.size();
        found = true;
        break;
      }
    }
    if (!found) return false;
    mp = next;
  }
}

}  // namespace

int CountWords(std::string_view S, const TCharSet& Delims) {
  int count = 0;
  std::size_t i = 0, start = 0;
  while (NextWord(S, Delims, i, start)) ++count;
  return count;
}

AnsiString GetWord(int N, std::string_view S, const TCharSet& Delims) {
  if (N < 1) return {};
  std::size_t i = 0, start = 0;
  while (NextWord(S, Delims, i, start))
    if (--N == 0) return AnsiString(S.substr(start, i - start));
  return {};
}

bool StrMatchesMask(std::string_view S, std::string_view Mask, char AnyChar, char AnyRun) {
  return MatchesMask(S, Mask, AnyChar, AnyRun, ExactChar{});
}

bool TextMatchesMask(std::string_view S, std::string_view Mask, char AnyChar, char AnyRun) {
  return MatchesMask(S, Mask, AnyChar, AnyRun, CaselessChar{});
}

bool SameLengthMatch(std::string_view S, std::string_view Mask, char AnyChar) {
  return SameLength(S, Mask, AnyChar, ExactChar{});
}

int PosStrFrom(std::string_view Find, std::string_view S, int StartPos) {
  if (Find.empty() || S.empty()) return 0;
  const std::size_t from = StartPos > 1 ? static_cast<std::size_t>(StartPos) - 1 : 0;
  if (from >= S.size()) return 0;
  const std::size_t at = S.find(Find, from);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

int CharPosFrom(std::string_view S, char Ch, int StartPos) {
  const std::size_t from = StartPos > 1 ? static_cast<std::size_t>(StartPos) - 1 : 0;
  if (from >= S.size()) return 0;
  const std::size_t at = S.find(Ch, from);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

AnsiString ReplaceAll(std::string_view S, std::string_view Find, std::string_view Replace) {
  if (Find.empty()) return AnsiString(S);
  std::size_t count = 0;
  for (std::size_t at = S.find(Find); at != std::string_view::npos; at = S.find(Find, at + Find.size()))
    ++count;
  if (count == 0) return AnsiString(S);

  // The result is allocated once and filled in a second left-to-right pass.
  AnsiString result;
  result.reserve(S.size() - count * Find.size() + count * Replace.size());
  std::size_t copied = 0;
  for (std::size_t at = S.find(Find); at != std::string_view::npos; at = S.find(Find, copied)) {
    result.append(S.substr(copied, at - copied)).append(Replace);
    copied = at + Find.size();
  }
  result.append(S.substr(copied));
  return result;
}
