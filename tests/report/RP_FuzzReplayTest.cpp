// Replays inputs of the report expression and script fuzzer (fuzz/report) under the
// sanitizers of the test build: the seeds, a sample of the corpus it grew, and the
// hostile shapes it must survive.
#include <gtest/gtest.h>

#include "../../fuzz/report/ReportScriptHarness.h"

namespace {

template <std::size_t N>
std::string T(const char (&s)[N]) {
  return std::string(s, N - 1);
}

}  // namespace

TEST(RpFuzzReplay, InputsRunCleanly) {
  std::string deepBegin, deepParens, deepCalls, labels;
  for (int i = 0; i < 2000; ++i) deepBegin += "begin ";
  for (int i = 0; i < 2000; ++i) deepParens += "(";
  for (int i = 0; i < 500; ++i) deepCalls += "F(";
  for (int i = 0; i < 2000; ++i) labels += std::to_string(i) + ":";
  const std::string inputs[] = {
      // seeds
      T("begin i := 1; while i < 3 do i := i + 1 end"),
      T("if x > 1 then y := 1 else y := 2"),
      T("begin\n  s := '';\n  for i := 1 to 3 do s := s + STR(i);\n  a[2] := F(s);\n"
        "  10: if COPY(s, 1, 1) = '1' then goto 20;\n  20: exit\nend"),
      T("IF(A > 0, ROUND(B * 2), FRAC(-2.7)) + INT(2.9999999999999) * -3 MOD 2"),
      T("[S] + ' ' + STR(D) + SUM(arr[1]) + STRTODATE('01.02.2003') - N"),
      T("{comment\n} repeat A := A + 1 // note\nuntil A >= 5"),
      // hostile shapes
      deepBegin, deepParens + "1", deepCalls + "1", deepCalls + "1" + std::string(500, ')'),
      "x := " + deepCalls + "1" + std::string(500, ')'), labels + "x := 1",
      T("begin s := 'ab'; while 1 do s := s + s end"),
      T("while 1 do begin end"),
      T("10: goto 10"),
      T("\001\002\nx\n\002\377\377\n\001"),
      T("ROUND(1e300) + INT(1e308 * 10) + 1 MOD 0 + 2 / 0 + -N"),
      T("a[1][2](3) + %([x] + %'a b'"),
      // grown by the fuzzer
      T("AF\002\000\000\000\000\000\000\000(A > 0, ROUND(B * 2), FRAC(-2.7)) + IN3F\002\000\000\000\000\000\000\000(A > 0, ROUND(B * 2), FRAC(-2.7)) + IN MOD 3"),
      T("begin\012  s\352\305\302\337\330\330\304\365  foR i := 1[S] + ' ' + ST to 3 do s : += s STR(i);\012  a[\"] := F*q);\012  75: ifiiiiiiiiiiiiiiiiii COPit\012end"),
      T("b\201egin i f\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014\014EAT\? ROUND(B *\000\000\000L FRAC(-2.7)) + IN3 MO\002\000\000\000\000\000\000\000\231 < 3ENDego"),
      T("begin\012  s := '';\012  for i := ' to 3 do s == v gin\012  s := '';\012  for i :;\012  10:i := ' to 3 do s := v + STR(i);\012  20;\012  20: exit\012end"),
      T("begin\012  s := '/;\012  f\031\0319\031\031\031\031\031\031\031\031\031\031\031\031\031\031epeat A := A + A // note\012until A >\377\377\377\377\377\377\377\377\377\377\377\377\377\377\377\377\377\377, 0) = '1' then goto 19;\012  20: exit\012end"),
      T("'''''''''''''/''''''''''''''''''''''''''''''''''''\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\032\000\000''''''sc[IFV"),
      T("{comment\012}:retb\231\230\226\221 i := 2; w=ile\0038# i\323 AND\000\000\000\000AND\000\000\0008# i\323 AND\000\000\000\000AND\000\000\000\000\001etil\001et\0038# i\323 AND\000\000\000\000AND\000\000\0008# i\323 AND\000\000\000\000Ahile\377\377 \3775\214i"),
      T(" while i < 5 do \000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000 end"),
      T("N\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010\010N"),
      T("begin\012  s := '';\012  for i := 2 to 3 do s := s + STR(d);\012  a[2] := F(s);\012  '';\012  for i := 2 to 3 do s9\004= s + STR(d);\012  a[2] :=\012end"),
  };
  for (const auto& input : inputs) {
    SCOPED_TRACE(input.substr(0, 60));
    EXPECT_NO_THROW(report_fuzz::RunOne(input));
  }
}
