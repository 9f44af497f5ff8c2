// Table expressions and the built-in functions, evaluated against a generated table
// with C, N, D and L fields, Cyrillic text in code page 866 and a deleted record.
#include <gtest/gtest.h>

#include <cmath>

#include "TablesTestSupport.h"
#include "tables/db_DBF.h"
#include "tables/db_cdx.h"
#include "tables/db_create.h"
#include "tables/db_dbsy.h"
#include "tables/db_sql.h"

namespace {

// The expression's value as "<kind>:<value>", or "E:<message>" for an EDbfExpression.
std::string Describe(TdbExpHandler& h) {
  TdbExpValue v;
  try {
    switch (h.EvaluateToBuffer(v)) {
      case ek::Text:
        return "T:" + v.text;
      case ek::Date:
        return "D:" + FloatToStr(v.number);
      case ek::Number:
        return "N:" + FloatToStr(v.number);
      case ek::Logical:
        return v.logical ? "L:T" : "L:F";
      default:
        return "K:" + std::to_string(v.kind);
    }
  } catch (const EDbfExpression& e) {
    return "E:" + e.Message();
  }
}

std::string Evaluate(TdbExpUserLink* link, std::string_view text) {
  try {
    TdbExpHandler h(link, false, text);
    return Describe(h);
  } catch (const EDbfExpression& e) {
    return "E:" + e.Message();
  }
}

class TablesExpression : public ::testing::Test {
 protected:
  TablesExpression() {
    name_ = dir_.Path() + "/expr.dbf";
    CreateDbfTable(name_, 0x03,
                   {{"NAME", 'C', 10},
                    {"CODE", 'N', 5},
                    {"PRICE", 'N', 8, 2},
                    {"BORN", 'D'},
                    {"OK", 'L'},
                    {"CITY", 'C', 12}});
    table_ = std::make_unique<DBO_dBaseFld>(name_, false, true);
    DBO_dBaseFld& t = *table_;
    t.BlankRecord();
    t.FieldPut(1, "ABC");
    t.NumberPut(2, 12);
    t.NumberPut(3, 3.5);
    t.DatePut(4, 2451545);  // 1 January 2000
    t.LogicPut(5, true);
    t.FieldPut(6, cp::Utf8To866("МОСКВА"));
    t.Append();
    t.BlankRecord();
    t.FieldPut(1, "BAB");
    t.NumberPut(2, -7);
    t.LogicPut(5, false);
    t.FieldPut(6, cp::Utf8To866("Тверь"));
    t.Append();
    t.Delete();
  }

  // Expressions and expected results are written in UTF-8 and compared as 866 bytes.
  void Check(std::int64_t record, const char* expression, const char* expected) {
    table_->GetRecord(record);
    EXPECT_EQ(Evaluate(&table_->Link(), cp::Utf8To866(expression)), cp::Utf8To866(expected))
        << "record " << record << ": " << expression;
  }

  TempDir dir_;
  AnsiString name_;
  std::unique_ptr<DBO_dBaseFld> table_;
};

TEST_F(TablesExpression, ValuesAndErrorsAgainstTheTable) {
  struct Case {
    std::int64_t record;
    const char* expression;
    const char* expected;
  };
  const Case cases[] = {
      // Binding and signs.
      {1, "2+3*4", "N:14"},
      {1, "(2+3)*4", "N:20"},
      {1, "2^3^2", "N:64"},
      {1, "2^0", "N:1"},
      {1, "2^0.5", "N:1.4142135623731"},
      {1, "2**-1", "N:0.5"},
      {1, "-5+1", "N:-4"},
      {1, "-1.0000000000000002 < -1 .AND. 1.0000000000000002 > 1", "L:T"},  // every digit counts
      {1, "-0.00000000000000005 < 0", "L:T"},
      {1, "10-CODE", "N:-2"},
      {1, "-CODE+2", "N:-10"},
      {1, "-(CODE*2)", "N:-24"},
      {1, "- -CODE", "N:12"},
      {1, "CODE/4*2", "N:6"},
      // A result that is no number (0/0) equals nothing and is ordered against nothing.
      {1, "0/0 = 5", "L:F"},
      {1, "0/0 = 0/0", "L:F"},
      {1, "0/0 # 5", "L:T"},
      {1, "0/0 < 5 .OR. 0/0 >= 5 .OR. 0/0 <= 5", "L:F"},
      {1, "CODE/0 = CODE/0 .AND. CODE/0 > 1E300 .AND. -CODE/0 < CODE", "L:T"},
      {1, "PRICE*2", "N:7"},
      {2, "-CODE > 5", "L:T"},
      // Logic.
      {1, ".NOT. CODE = 13", "L:T"},
      {1, ".NOT. .NOT. OK", "L:T"},
      {1, "!OK", "L:F"},
      {1, "OK .AND. CODE > 10 .OR. .F.", "L:T"},
      {1, "CODE EQ 12 .AND. PRICE GT 3", "L:T"},
      {1, ".F. .OR. .T. .AND. .F.", "L:F"},
      {1, "TRUE = OK", "L:T"},
      {1, "CODE=12.AND.OK", "L:T"},
      {1, "CODE=1.5.OR.OK", "L:T"},
      {1, "CODE\t=\r\n12", "L:T"},
      {1, "CODE >= 12 .AND. CODE <= 12 .AND. CODE <> 11 .AND. CODE != 11 .AND. CODE # 11", "L:T"},
      // Texts: trailing blanks, wildcards at either end, no case folding by default.
      {1, "NAME = 'ABC'", "L:T"},
      {1, "NAME = 'AB*'", "L:T"},
      {1, "NAME = '*BC'", "L:T"},
      {1, "NAME = '*B*'", "L:T"},
      {1, "NAME = '*'", "L:T"},
      {1, "NAME = 'BC*'", "L:F"},
      {1, "NAME = '*AB'", "L:F"},
      {2, "NAME = '*B'", "L:T"},
      {2, "NAME = 'BA*'", "L:T"},
      {1, "NAME = 'abc'", "L:F"},
      {1, "NAME < 'ABD' .AND. NAME > 'AB'", "L:T"},
      {1, "'AB ' - 'CD'", "T:ABCD "},
      {1, "'AB ' + 'CD'", "T:AB CD"},
      {1, "[it's] + \"x\"", "T:it'sx"},
      {1, "\"unclosed", "T:unclosed"},
      {1, "TRIM(NAME) + '|'", "T:ABC|"},
      // Cyrillic capitals of code page 866 (0x80 to 0x9F) in literals, and its case table.
      {1, "CITY = 'МОСКВА'", "L:T"},
      {1, "CITY = 'МОС*'", "L:T"},
      {1, "UPPER('москва') = CITY", "L:T"},
      {1, "LOWER(TRIM(CITY))", "T:москва"},
      {2, "CITY = 'Тверь'", "L:T"},
      {1, "'ЯЮЭЬ' + 'ЖЁ'", "T:ЯЮЭЬЖЁ"},
      // Dates: a blank date field is the empty date.
      {1, "BORN = {01.01.2000}", "L:T"},
      {1, "BORN", "D:2451545"},
      {1, "BORN + 1 > BORN", "L:T"},
      {1, "DTOS(BORN)", "T:20000101"},
      {1, "DTOC(BORN)", "T:01.01.2000"},
      {1, "DTOC(BORN, 1)", "T:20000101"},
      {1, "EMPTY(BORN)", "L:F"},
      {2, "EMPTY(BORN)", "L:T"},
      // One reading of the blank date: the empty date, as CTOD('') and {} give it, equal
      // to them, above every day, EMPTY; DTOS gives the eight blanks a blank field holds.
      {2, "DTOS(BORN)", "T:        "},
      {2, "DTOS(BORN) + NAME", "T:        BAB       "},
      {1, "DTOS(BORN) + NAME", "T:20000101ABC       "},
      {2, "DTOC(BORN)", "T:"},
      {2, "BORN = CTOD('') .AND. BORN = {}", "L:T"},
      {2, "BORN > CTOD('31.12.2999')", "L:T"},
      {1, "EMPTY(BORN)", "L:F"},
      {1, "DESCEND(CTOD('20000101'))", "D:2780263"},
      {1, "CTOD('31.12.1999') < BORN", "L:T"},
      // Table functions; the deleted record.
      {1, "RECNO()", "N:1"},
      {1, "DELETED()", "L:F"},
      {2, "DELETED()", "L:T"},
      {2, "RECNO() = 2 .AND. CODE = -7", "L:T"},
      {1, "TYPE('CODE') + TYPE('BORN') + TYPE('NONE')", "T:NDU"},
      {1, "LEN('NAME')", "N:10"},
      // Built-ins.
      {1, "ALLTRIM('  A  ') + LTRIM('  B ') + RTRIM(' C ')", "T:AB  C"},
      {1, "ASC('A') + ASC('')", "N:65"},
      {1, "CEILING(1.2) + FLOOR(-1.2) + INT(-1.7)", "N:-1"},
      {1, "CHR(65)", "T:A"},
      {1, "DESCEND(5)", "N:-5"},
      {1, "ASC(DESCEND('A'))", "N:191"},
      {1, "DESCEND(OK)", "L:F"},
      {2, "DESCEND(BORN) = BORN", "L:T"},
      {1, "EMPTY('   ')", "L:F"},
      {1, "EMPTY('')", "L:T"},
      {1, "EMPTY(CTOD(''))", "L:T"},
      {1, "EMPTY(0) .AND. EMPTY(.F.)", "L:T"},
      {1, "IIF(.T., 1, 'X')", "N:1"},
      {1, "IIF(.F., 1, 'X')", "T:X"},
      {1, "LEFT(NAME, 2)", "T:AB"},
      {1, "LEFT(NAME, 0.01)", "T:"},
      {1, "LEFT('AB', 9)", "T:AB"},
      {1, "RIGHT('ABC', 2) + RIGHT('ABC', 5) + RIGHT('ABC', -1)", "T:BCABC"},
      {1, "PADC('AB', 5, '*')", "T:*AB**"},
      {1, "PADL('AB', 4)", "T:  AB"},
      {1, "PADR('ABCDEF', 3)", "T:ABC"},
      {1, "PADR('A', -2)", "T:"},
      {1, "SOUNDEX('Robert')", "T:R163"},
      {1, "SOUNDEX('A')", "T:A000"},
      {1, "SOUNDEX('Pfister')", "T:P123"},
      {1, "STR(CODE)", "T:        12"},
      {1, "STR(3.14159, 6, 2)", "T:  3.14"},
      {1, "STR(123456, 3)", "T:***"},
      {1, "STR(5, -3)", "T:"},
      {1, "STRZERO(42, 5)", "T:00042"},
      {1, "SUBSTR('ABCDEF', 3, 2)", "T:CD"},
      {1, "SUBSTR('ABCDEF', 7)", "T:"},
      {1, "SUBSTR('ABCDEF', 5)", "T:EF"},
      {1, "SUBSTR('ABCDEF', -1, 2) + SUBSTR('ABCDEF', 2, -1)", "T:"},
      {1, "VAL(' 12.5 ') + VAL('x')", "N:12.5"},
      {1, "DTOS(DATE()) > '2000'", "L:T"},
      // The eight messages.
      {1, "(1+2", "E:Missing closing parentheses"},
      {1, "UPPER(NAME", "E:Missing closing parentheses"},
      {1, "NOSUCH(1)", "E:There is no function for NOSUCH"},
      {1, "NOSUCH", "E:There is no function for NOSUCH"},
      {1, "LEFT (NAME,2)", "E:There is no function for LEFT"},
      {1, "1 2", "E:Expression cannot be evaluated"},
      {1, "CODE)", "E:Expression cannot be evaluated"},
      {1, "()", "E:Expression cannot be evaluated"},
      {1, "BORN > {31.02.2000}", "E:Expression cannot be evaluated"},
      {1, "BORN > {}", "L:F"},
      {1, "CODE +", "E:Target value missing for + operation"},
      {1, "* 2", "E:Target value missing for * operation"},
      {1, "CODE = * 2", "E:Target value missing for * operation"},
      {1, ".NOT.", "E:Target value missing for .NOT. operation"},
      {1, "-", "E:Target value missing for - operation"},
      {1, "1 = 'A'", "E:The two sides of an operation do not match"},
      {1, "BORN = 'A'", "E:The two sides of an operation do not match"},
      {1, "'A' == 'A'", "E:A assigned value is required but invalid"},
      {1, "CODE .AND. CODE", "E:A assigned value is required but invalid"},
      {1, "NAME LIKE 'A'", "E:A assigned value is required but invalid"},
      {1, "'A' * 'B'", "E:A assigned value is required but invalid"},
      {1, "OK + OK", "E:A number value is required but invalid"},
      {1, "OK > OK", "E:A assigned value is required but invalid"},
      {1, "-NAME", "E:A number value is required but invalid"},
      {1, ".NOT. CODE", "E:A boolean value is required but invalid"},
      {1, "CHR(300)", "E:A Byte value is required but invalid"},
      {1, "CHR(0/0)", "E:A Byte value is required but invalid"},
      {1, "PADC('A', 3, 'XY')", "E:A Char value is required but invalid"},
      {1, "UPPER(5)", "E:Text needed for Argument 1 of UPPER"},
      {1, "PADL('A', 3, 5)", "E:Text needed for Argument 3 of PADL"},
      {1, "IIF(1, 2, 3)", "E:Boolean needed for Argument 1 of IIF"},
      {1, "LEFT('A', 'B')", "E:Number needed for Argument 2 of LEFT"},
      {1, "UPPER()", "E:Text needed for Argument 1 of UPPER"},
  };
  for (const Case& c : cases) Check(c.record, c.expression, c.expected);
}

TEST_F(TablesExpression, CompilerStateAndTextForm) {
  TdbExpHandler h(&table_->Link());
  table_->GetRecord(1);
  // The text form compiles again to the same value.
  for (const char* text :
       {"UPPER(NAME)+STR(CODE,5)", "CODE = 12 .AND. .NOT. DELETED()", "-CODE + 2.50 * -3",
        "NAME = [it's] .OR. BORN > {31.12.1999}", "2^3^2", "'A' == 'B' .OR. OK", "(1+2)*3"}) {
    h.SetExpression(text);
    const AnsiString again = h.ExpressionText();
    TdbExpHandler h2(&table_->Link(), false, again);
    EXPECT_EQ(h2.ExpressionText(), again) << text;
    EXPECT_EQ(Describe(h2), Describe(h)) << text << " -> " << again;
  }
  h.SetExpression("NAME = 'A' .AND. CODE + PRICE > 1 .AND. UPPER(CITY) = 'X'");
  EXPECT_EQ(h.ListNames(TdblDBFFieldVars::kKind), ";NAME;CODE;PRICE;CITY");
  EXPECT_EQ(h.OperandCount, 8);
  EXPECT_EQ(h.MaxWidth, 12);  // CITY's width
  EXPECT_EQ(h.MaxDecimals, 2);
  EXPECT_EQ(h.ExpressionText(), "NAME=\"A\" .AND. CODE+PRICE>1 .AND. UPPER(CITY)=\"X\"");

  // STR without a width: the link's default, or the field's own width when that is -1.
  h.SetExpression("STR(CODE) + '|' + STR(PRICE * 2)");
  EXPECT_EQ(Describe(h), "T:        12|         7");
  table_->Link().DefaultNumberWidth = -1;
  EXPECT_EQ(Describe(h), "T:   12|         7");
  table_->Link().DefaultNumberWidth = 10;

  // No text: no tree and no value.
  h.SetExpression("   ");
  EXPECT_FALSE(h.HasTree());
  EXPECT_EQ(h.ExpressionText(), "");
  TdbExpValue v;
  EXPECT_EQ(h.EvaluateToBuffer(v), ek::None);

  // A failed compilation leaves no tree.
  EXPECT_THROW(h.SetExpression("CODE +"), EDbfExpression);
  EXPECT_FALSE(h.HasTree());

  // Into a typed value.
  TdbVariant out;
  h.SetExpression("BORN");
  h.Evaluate(out);
  EXPECT_EQ(out.Kind(), vkDate);
  EXPECT_EQ(out.GetDate(), 2451545);
  h.SetExpression("CODE * 2");
  h.Evaluate(out);
  EXPECT_EQ(out.GetFloat(), 24);
  EXPECT_EQ(h.ResultType(), ek::Number);
}

TEST_F(TablesExpression, CaseFoldingAndSqlWildcards) {
  table_->GetRecord(1);
  TdbExpHandler h(&table_->Link(), false, cp::Utf8To866("NAME = 'abc' .AND. CITY = 'мос*'"));
  EXPECT_EQ(Describe(h), "L:F");
  h.CaseFold = true;
  EXPECT_EQ(Describe(h), "L:T");
  h.Wildcards = false;
  h.SetExpression("NAME = 'AB*'");
  EXPECT_EQ(Describe(h), "L:F");

  TdbExpHandler sql(&table_->Link(), true, "NAME = '%BC' .AND. NAME = 'A%'");
  EXPECT_EQ(Describe(sql), "L:T");
  sql.SetExpression("NAME = '*BC'");
  EXPECT_EQ(Describe(sql), "L:F");
}

TEST(TablesExpressionNoTable, NamesNeedALinkAndTextsStayWithin511Bytes) {
  EXPECT_EQ(Evaluate(nullptr, "NAME = 1"), "E:Field/variable NAME is unknown");
  EXPECT_EQ(Evaluate(nullptr, "UPPER('ab') + STR(7, 3)"), "T:AB  7");

  TdbExpHandler h(nullptr);
  TdbExpValue v;
  for (const char* text :
       {"PADR('A', 10000)", "PADL('A', 600) + PADR('B', 600)", "'x' - PADC('y', 9999)", "STR(1, 900, 800)"}) {
    h.SetExpression(text);
    ASSERT_EQ(h.EvaluateToBuffer(v), ek::Text) << text;
    EXPECT_EQ(v.text.size(), kMaxExpText) << text;
  }
  // Nesting and chains beyond any real expression are refused, never a deep recursion.
  EXPECT_EQ(Evaluate(nullptr, std::string(200, '(') + "1" + std::string(200, ')')),
            "E:Expression cannot be evaluated");
  std::string chain = "1";
  for (int i = 0; i < 1000; ++i) chain += "+1";
  EXPECT_EQ(Evaluate(nullptr, chain), "E:Expression cannot be evaluated");
  EXPECT_EQ(Evaluate(nullptr, "((((1))))+(((2)))"), "N:3");
}

TEST(TablesExpressionNoTable, TheBuiltinsAreRegisteredOnce) {
  const TdbFunctionReg& reg = BuiltinFunctions();
  EXPECT_EQ(reg.Count(), 28);
  EXPECT_EQ(reg.Items(0)->Name(), "ALLTRIM");
  EXPECT_EQ(reg.Items(reg.Count() - 1)->Name(), "VAL");
  EXPECT_EQ(&reg, &BuiltinFunctions());
}

// CTOD of a text that is no date passes the date parser's failure on; a blank text is
// the empty date.
TEST_F(TablesExpression, CtodOfATextThatIsNoDateRaisesTheParsersError) {
  table_->GetRecord(1);
  for (const char* text : {"CTOD('no date')", "CTOD(NAME)", "CTOD('32.13.2000')"}) {
    SCOPED_TRACE(text);
    TdbExpHandler h(&table_->Link(), false, text);
    TdbExpValue v;
    EXPECT_THROW(h.EvaluateToBuffer(v), EConvertError);
  }
  EXPECT_EQ(Evaluate(&table_->Link(), "CTOD('  ') = CTOD('')"), "L:T");
  EXPECT_EQ(Evaluate(&table_->Link(), "CTOD('31.12.1999')"), "D:2451544");
}

// DESCEND of a field of another kind (a memo) keeps the kind, with its first byte 0: a
// reference to no field.
TEST(TablesExpressionMemo, DescendOfAMemoIsAReferenceToNoField) {
  TempDir dir;
  const AnsiString name = dir.Path() + "/m.dbf";
  CreateDbfTable(name, 0x83, {{"NAME", 'C', 4}, {"NOTE", 'M'}});
  DBO_dBaseFld t(name, false, true);
  t.BlankRecord();
  t.Append();
  TdbExpHandler h(&t.Link(), false, "DESCEND(NOTE)");
  TdbExpValue v;
  ASSERT_EQ(h.EvaluateToBuffer(v), ek::Reference);
  EXPECT_EQ(v.table, nullptr);
  EXPECT_EQ(v.field, 0);
  TdbExpHandler plain(&t.Link(), false, "NOTE");
  ASSERT_EQ(plain.EvaluateToBuffer(v), ek::Reference);
  EXPECT_EQ(v.table, &t);
  EXPECT_EQ(v.field, 2);
}

// Index keys of DTOS(D)+NAME keep their length when the date is blank, also when the
// record the key length is taken from has a blank date: the blank dates come first (eight
// blanks), each group in name order.
TEST(TablesExpressionIndex, DtosKeysOfBlankDatesKeepLengthAndOrder) {
  TempDir dir;
  const AnsiString name = dir.Path() + "/k.dbf";
  CreateDbfTable(name, 0x03, {{"NAME", 'C', 4}, {"BORN", 'D'}});
  DBO_dBHandler h(name, false, true);
  struct Row {
    const char* name;
    std::int32_t born;
  };
  for (const Row& r : {Row{"DD", 0}, Row{"AA", 2451545}, Row{"CC", 0}, Row{"BB", 2451544}}) {
    h.BlankRecord();
    h.FieldPut(1, r.name);
    if (r.born) h.DatePut(2, r.born);
    h.Append();
  }
  DBobjCDXFile f(&h, dir.Path() + "/k.cdx", true, true);
  DBobjCDXTag* tag = f.AddTag("K", "DTOS(BORN)+NAME", "", false, false);
  EXPECT_EQ(tag->KeyLength(), 12);
  std::vector<std::pair<std::string, std::int64_t>> want = {
      {"        CC", 3}, {"        DD", 1}, {"19991231BB", 4}, {"20000101AA", 2}};
  EXPECT_EQ(tag->AllKeys(), want);
}

}  // namespace
