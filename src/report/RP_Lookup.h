// Value lookup of report expressions: the order in which a name is answered (the
// application, the data dictionary, the engine's own values, global variables, page
// values and object properties, named constants, the name read as an expression), the
// display formats that turn a value into a memo's text, the inline formats of
// bracketed expressions, global arrays and the data dictionary.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

#include "platform/core/DB.h"
#include "platform/core/Variant.h"
#include "report/RP_DBSet.h"
#include "report/RP_Intrp.h"
#include "report/RP_Memo.h"
#include "report/RP_Pars.h"

// ---------------------------------------------------------------------------------
// Display format word: bits 24..27 kind, 16..23 sub-format (0..3 predefined, 4 the
// view's own format string), 8..15 decimals, 0..7 the decimal separator character.

// Kinds (rpfkText ...) and rpFormatWord come from RP_Memo.h.
constexpr int rpfsOwn = 4;

constexpr int rpFormatKind(std::int32_t f) { return static_cast<int>((static_cast<std::uint32_t>(f) >> 24) & 15); }
constexpr int rpFormatSub(std::int32_t f) { return static_cast<int>((static_cast<std::uint32_t>(f) >> 16) & 255); }
constexpr int rpFormatDecimals(std::int32_t f) { return static_cast<int>((static_cast<std::uint32_t>(f) >> 8) & 255); }
constexpr char rpFormatSeparator(std::int32_t f) { return static_cast<char>(f & 255); }

// The text a memo shows for a value. Empty and Null values, and strings that are blank,
// give the empty text; a value the format cannot take is shown as plain text. A
// separator byte 0 is ".".
AnsiString rpFormatValue(const Variant& value, std::int32_t format, const AnsiString& formatStr);

// Inline formats (" #N2,2", " #Ddd.mm.yyyy", " #BНет;Да") are split off by rpInlineFormat (RP_Memo.h).

// ---------------------------------------------------------------------------------
// Process-wide tables

// Global variables (sorted): script assignments to new names and array elements.
TrpVariables& rpGlobalVariables();
// Named constants (sorted): modal results, CRLF, Null, font styles, frame sides, text
// alignments, band alignments, pen styles, message box flags and the colours.
const TrpVariables& rpNamedConstants();
// Adds a named constant (or gives one a new value): the view classes that bring
// constants of their own define them when their first view is made.
void rpDefineNamedConstant(std::string_view name, const Variant& value);
// "Arr_" + name + "_" + the index as text (a string as it is, another value as a
// decimal integer).
AnsiString rpArrayElementName(std::string_view arrayName, const Variant& index);

// ---------------------------------------------------------------------------------
// Data dictionary

class TrpDataDictionary {
  struct Tables {
    TrpVariables variables, aliases, bandSources;
  };
  std::unique_ptr<Tables> own_;  // the tables of a dictionary that holds its own

 public:
  TrpDataDictionary() : own_(std::make_unique<Tables>()), Variables(own_->variables), Aliases(own_->aliases),
                        BandSources(own_->bandSources) {}
  // A dictionary over tables kept elsewhere: a report's is its template's.
  TrpDataDictionary(TrpVariables& variables, TrpVariables& aliases, TrpVariables& bandSources)
      : Variables(variables), Aliases(aliases), BandSources(bandSources) {}
  TrpDataDictionary(const TrpDataDictionary&) = delete;
  TrpDataDictionary& operator=(const TrpDataDictionary&) = delete;

  // Variable name -> value text (an expression, a "dataset.field" reference, or empty
  // for a category, whose name begins with a blank); alias -> target; band -> source.
  TrpVariables &Variables, &Aliases, &BandSources;
  // Where datasets are found by name ("dataset.field" references).
  const TrpComponentDirectory* Owner = nullptr;
  // The database dataset whose fields bare names are (the current band's); none when
  // not building.
  std::function<TDataSet*()> DefaultDataSet;

  void Clear();
  void ClearCache() { cache_.clear(); }
  // A cached field, a variable of the list, or a resolvable "dataset.field" name
  // (aliases applied).
  bool IsVariable(std::string_view name);
  // A field's value (its dataset opened when inactive); a list entry's value, a
  // non-empty text evaluated as an expression; the global variable of that name when
  // one exists. Null otherwise.
  Variant GetValue(std::string_view name, const std::function<Variant(const AnsiString&)>& evaluate);
  // The field a name stands for (a field of the current band's dataset, "dataset.field",
  // or a variable naming one), its dataset opened when inactive; null for none.
  TField* Field(std::string_view name);
  // Sets a variable's value text.
  void SetValue(std::string_view name, const Variant& value) { Variables.SetValueByName(name, value); }
  // Whether the name resolves as a field of a dataset ("dataset.field").
  bool IsDataSetField(std::string_view name) const {
    FieldRef ref;
    return Resolve(name, ref);
  }

 private:
  struct FieldRef {
    TDataSet* dataSet = nullptr;
    AnsiString field;
  };
  bool Resolve(std::string_view reference, FieldRef& ref, TDataSet* dataSet = nullptr) const;
  // The cache key of a name: a bare name is a field of the default dataset, so its
  // key holds that dataset too (each band level has its own).
  AnsiString CacheKey(std::string_view name, TDataSet*& bareDataSet) const;
  std::map<AnsiString, FieldRef> cache_;  // keys upper-cased
};

// ---------------------------------------------------------------------------------
// The lookup chain

// Raised for a name that resolves to nothing but itself, or that names others too
// deeply: "Переменная не определена: "X"".
class TrpValueLookup {
 public:
  // The application's answer; true when it assigned a value (Null included).
  std::function<bool(const AnsiString& name, Variant& value)> OnGetValue;
  // The build's own values: PAGE#, DATE, TIME, LINE#, LINETHROUGH#, COLUMN#, CURRENT#,
  // TOTALPAGES, CALCWIDTH; true when the name is one of them.
  std::function<bool(const AnsiString& name, Variant& value)> BuildValue;
  // Page values (CURY, FREESPACE, FINALPASS, PAGEHEIGHT, PAGEWIDTH) and object.property.
  std::function<bool(const AnsiString& name, Variant& value)> PageValue;
  // The parser that reads a name as an expression.
  std::function<Variant(const AnsiString& expression)> Evaluate;
  TrpDataDictionary* Dictionary = nullptr;
  bool CollectingAggregates = false;
  // The value of the last bracketed expression (VALUE).
  Variant ValueSlot;

  // What the build does for STOPREPORT, NEWPAGE, NEWCOLUMN and SHOWBAND (p1 the
  // band's name as written); true when it took the call.
  std::function<bool(const AnsiString& name, const AnsiString& p1)> BuildAction;
  // object.method calls (and the indexed property methods of object.property arrays);
  // true when the object exists.
  std::function<bool(const AnsiString& object, const AnsiString& method, const Variant& p1, const Variant& p2,
                     const Variant& p3, Variant& result)>
      ObjectMethod;
  // Assignments the build takes itself (MODALRESULT, CURY, PROGRESS, object.property);
  // true when taken.
  std::function<bool(const AnsiString& name, const Variant& value)> WriteBuildValue;
  // The application's functions, asked after the built-in ones.
  TrpFunctionEvent OnUserFunction;

  void GetVariableValue(const AnsiString& name, Variant& value);
  // Libraries first, then the built-in functions, then OnUserFunction.
  void CallFunction(const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3, Variant& value);
  void CallBuiltinFunction(const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                           Variant& value);
  // An assignment of a script: a global variable, a dictionary variable, what the build
  // takes, else a new global variable.
  void WriteVariable(const AnsiString& name, const Variant& value);
  // The text of one bracketed expression with the view's format (inline formats and
  // HideZeros applied); while aggregates are collected the text is empty.
  AnsiString GetValueText(std::string_view text, std::int32_t format, const AnsiString& formatStr, bool hideZeros);

  // Names read as expressions within each other beyond this depth raise.
  static constexpr int kMaxNameDepth = 64;

 private:
  AnsiString currentVariable_;
  int depth_ = 0;
};

// The script interpreter of reports: names, assignments and functions go to a lookup.
class TInterpretator : public TrpInterpretator {
 public:
  explicit TInterpretator(TrpValueLookup& lookup);
  void ReadVariable(const AnsiString& name, Variant& value) override { lookup_.GetVariableValue(name, value); }
  void WriteVariable(const AnsiString& name, const Variant& value) override { lookup_.WriteVariable(name, value); }
  void CallFunction(const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                    Variant& value) override {
    lookup_.CallFunction(name, p1, p2, p3, value);
  }

 private:
  TrpValueLookup& lookup_;
};
