// Function libraries of report expressions: the registry that the value lookup asks
// before the built-in functions, the standard library (text, dates, numbers, two
// dialogs and the aggregates), the running values of aggregates that a data band
// keeps, and the splitter that finds aggregate calls in memos and scripts.
#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Variant.h"
#include "report/RP_Pars.h"

// Aggregate function codes.
constexpr int rpAggSum = 11, rpAggMin = 12, rpAggMax = 13, rpAggAvg = 14, rpAggCount = 15;

// What the functions ask of the report that runs them. Unset members: arguments are
// not evaluated (integer 0), dialogs answer "cancel", aggregates keep the start value.
struct TrpFunctionServices {
  std::function<Variant(const AnsiString& expression)> Evaluate;
  // The input box: false when cancelled (value keeps the default then).
  std::function<bool(const AnsiString& caption, const AnsiString& prompt, AnsiString& value)> InputQuery;
  // A message box with mb_* flags; answers an mr* code.
  std::function<int(const AnsiString& text, const AnsiString& caption, int flags)> MessageBox;
  // An aggregate call (code, expression, band name and flag texts as written).
  std::function<void(int code, const AnsiString& expression, const AnsiString& band, const AnsiString& flag,
                     Variant& value)>
      Aggregate;
};
TrpFunctionServices& rpFunctionServices();

class TrpFunctionLibrary : public TObject {
 public:
  ~TrpFunctionLibrary() override = default;
  // Runs the function when the library knows the name (compared as written, names are
  // upper-case) and answers true.
  bool CallFunction(const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                    Variant& value);
  const std::vector<AnsiString>& Names() const { return names_; }

 protected:
  // Names must be added in sorted order: the index passed on is the position.
  void AddName(const char* name) { names_.emplace_back(name); }
  virtual void DoFunction(int index, const Variant& p1, const Variant& p2, const Variant& p3, Variant& value) = 0;

 private:
  std::vector<AnsiString> names_;
};

// The 21 standard functions: AVG COUNT DAYOF FORMATDATETIME FORMATFLOAT FORMATTEXT
// INPUT LENGTH LOWERCASE MAX MAXNUM MESSAGEBOX MIN MINNUM MONTHOF NAMECASE POS SUM TRIM
// UPPERCASE YEAROF.
class TrpStdFunctionLibrary : public TrpFunctionLibrary {
 public:
  TrpStdFunctionLibrary();

 protected:
  void DoFunction(int index, const Variant& p1, const Variant& p2, const Variant& p3, Variant& value) override;
};

// The registered libraries in registration order (the standard one first). A class
// registered twice is kept once.
const std::vector<std::unique_ptr<TrpFunctionLibrary>>& rpFunctionLibraries();
template <class Library>
void rpRegisterFunctionLibrary();
void rpRegisterFunctionLibrary(std::unique_ptr<TrpFunctionLibrary> library);
// Asks every library in order; false when none knows the name.
bool rpCallLibraryFunction(const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                           Variant& value);

template <class Library>
void rpRegisterFunctionLibrary() {
  for (const auto& l : rpFunctionLibraries())
    if (dynamic_cast<const Library*>(l.get()) && typeid(*l) == typeid(Library)) return;
  rpRegisterFunctionLibrary(std::make_unique<Library>());
}

// A function a library installs, as an expression editor lists it.
struct TrpFunctionDescription {
  AnsiString Name;         // as expressions call it
  AnsiString Category;     // the group the editor shows it under
  AnsiString Description;  // its arguments and what it gives
};

// The descriptions of installed functions. The standard library describes none of its
// own, so the list is empty until an application that registers a library adds its
// functions; it lives as long as the engine.
class TrpInstalledFunctions {
 public:
  // A name already listed (case ignored) gets the new description in its place.
  void Add(const TrpFunctionDescription& function);
  // The description of a name (case ignored), or none.
  const TrpFunctionDescription* Find(std::string_view name) const;
  int Count() const { return static_cast<int>(items_.size()); }
  const TrpFunctionDescription& operator[](int index) const { return items_.at(static_cast<std::size_t>(index)); }
  void Clear() { items_.clear(); }

 private:
  std::vector<TrpFunctionDescription> items_;
};
TrpInstalledFunctions& rpInstalledFunctions();

// The edit-mask formatting of FORMATTEXT: "0" "9" "#" "L" "l" "A" "a" "C" "c" take the
// next character of the text, "\" quotes the next mask character, ">" and "<" switch
// to upper and lower case ("<>" back to as typed); other mask characters are literals.
// The part after the first ";" (the save and blank options) is ignored.
AnsiString rpFormatMaskText(std::string_view editMask, std::string_view text);

// ---------------------------------------------------------------------------------
// Aggregate keys and running values

// "band" #1 code #1 "expression" #1 "flag" #1.
AnsiString rpAggregateKey(std::string_view band, int code, std::string_view expression, std::string_view flag);

// The running aggregates one data band keeps (its Values), by key. Results are sound
// over empty and negative sets: with no value added SUM, COUNT, AVG, MIN and MAX are 0;
// MIN and MAX are the true extremes otherwise; AVG divides by the values added.
class TrpAggregateValues {
 public:
  // Adds a key (from rpAggregateKey, optionally behind a column part "n" #1) with its
  // start state; a key already held is kept. The column part "*" adds up every column.
  void Register(std::string_view key);
  bool Has(std::string_view key) const;
  int Count() const { return static_cast<int>(items_.size()); }
  // Adds the current record: COUNT counts it; the others evaluate their expression
  // (one evaluation for equal expressions in a row) and add it when the band is
  // visible or the key's flag is "1". column: the cross-tab column number; only the
  // keys of that column and of every column ("*") take part (0: only the keys without
  // a column part).
  void Accumulate(const std::function<Variant(const AnsiString& expression)>& evaluate, bool visible, int column = 0);
  // A column-"0" key's copy for the column, made when missing.
  void AddColumnCopies(int column);
  // The result for the key; Null when the key is not held.
  Variant Get(std::string_view key) const;
  void Set(std::string_view key, const Variant& value);
  // Resets every value whose display-band part names the band (case ignored).
  void ResetForBand(std::string_view band);
  void Clear() { items_.clear(); }

 private:
  struct Item {
    AnsiString key, band, expression;
    int code = rpAggSum;
    int column = -1;  // -1: no column part, kEveryColumn: "*"
    bool includeInvisible = false;
    double sum = 0, extreme = 0;
    // COUNT: every record since the reset; the others: the values added (an average
    // divides by it).
    int count = 0;
    bool forced = false;  // Set() gave the value
    Variant value;
  };
  static constexpr int kEveryColumn = -2;
  static Item Parse(std::string_view key);
  Item* Find(std::string_view key);
  const Item* Find(std::string_view key) const;
  static void Reset(Item& item);

  std::vector<Item> items_;
};

// Finds the aggregate calls (AVG COUNT MAX MIN SUM) of a memo's lines or a script,
// expanding the dictionary's variables.
class TAggregateFunctionsSplitter {
 public:
  TAggregateFunctionsSplitter(TStringList& splitTo, const TrpVariables* variables);
  // Every bracketed expression of every line.
  void SplitMemo(const TStringList& lines);
  // The expressions of a compiled script.
  void SplitScript(const TStringList& compiled);

 private:
  TStringList match_;
  TStringList& splitTo_;
  const TrpVariables* variables_;
};
