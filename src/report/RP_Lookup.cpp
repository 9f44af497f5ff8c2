#include "report/RP_Lookup.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/core/AnsiText.h"
#include "platform/core/FormatMask.h"
#include "report/RP_Funcs.h"
#include "report/RP_Utils.h"

// ---------------------------------------------------------------------------------
// Formats

namespace {

const char* const kDateFormats[4] = {"dd.mm.yy", "dd.mm.yyyy", "d mmm yyyy", "d mmmm yyyy"};
const char* const kTimeFormats[4] = {"hh:nn:ss", "h:nn:ss", "hh:nn", "h:nn"};
const char* const kBoolFormats[4] = {"0;1", "Нет;Да", "_;x", "False;True"};

AnsiString Hashes(int n) { return AnsiString(static_cast<std::size_t>(n < 0 ? 0 : n), '#'); }

AnsiString WithSeparator(AnsiString text, char separator) {
  if (separator != '.')
    for (char& c : text)
      if (c == '.') c = separator;
  return text;
}

AnsiString FormatNumber(const Variant& value, std::int32_t format, const AnsiString& formatStr) {
  char separator = rpFormatSeparator(format);
  if (separator == 0) separator = '.';
  const int decimals = rpFormatDecimals(format);
  const double v = value.AsDouble();
  const char thousands = FormatSettings().ThousandSeparator;
  switch (rpFormatSub(format)) {
    case 0: return FormatFloatMask("##0." + Hashes(decimals), v, separator, thousands);
    case 1: return WithSeparator(FloatToStrF(v, TFloatFormat::ffFixed, 15, decimals), separator);
    case 2: return FormatFloatMask("#,##0." + Hashes(decimals), v, separator, thousands);
    case 3: return WithSeparator(FloatToStrF(v, TFloatFormat::ffNumber, 15, decimals), separator);
    case rpfsOwn: return FormatFloatMask(formatStr, v, separator, thousands);
    default: return {};
  }
}

AnsiString BooleanText(const Variant& value, const AnsiString& pair) {
  std::size_t semi = pair.find(';');
  bool on = value.AsInteger() != 0;
  if (semi == AnsiString::npos) return on ? pair : AnsiString();
  return on ? pair.substr(semi + 1) : pair.substr(0, semi);
}

}  // namespace

AnsiString rpFormatValue(const Variant& value, std::int32_t format, const AnsiString& formatStr) {
  if (value.IsNull() || value.IsEmpty()) return {};
  if (value.IsString() && Trim(value.AsString()).empty()) return {};
  try {
    const int sub = rpFormatSub(format);
    switch (rpFormatKind(format)) {
      case rpfkText: return VarToStr(value);
      case rpfkNumber: return FormatNumber(value, format, formatStr);
      case rpfkDate:
        if (sub == rpfsOwn) return FormatDateTimeMask(formatStr, value.AsDate());
        if (sub == 3) return FormatDateTimeMask(FormatSettings().LongDateFormat, value.AsDate());
        return sub < 3 ? FormatDateTimeMask(kDateFormats[sub], value.AsDate()) : AnsiString();
      case rpfkTime:
        if (sub == rpfsOwn) return FormatDateTimeMask(formatStr, value.AsDate());
        return sub < 4 ? FormatDateTimeMask(kTimeFormats[sub], value.AsDate()) : AnsiString();
      case rpfkBoolean:
        if (sub == rpfsOwn) return BooleanText(value, formatStr);
        return sub < 4 ? BooleanText(value, Ansi(kBoolFormats[sub])) : AnsiString();
      default: return {};
    }
  } catch (const std::exception&) {
    return VarToStr(value);  // a value the format cannot take shows as it is
  }
}

// ---------------------------------------------------------------------------------
// Tables

TrpVariables& rpGlobalVariables() {
  static TrpVariables globals = [] {
    TrpVariables v;
    v.SetSorted(true);
    return v;
  }();
  return globals;
}

namespace {
TrpVariables& NamedConstants() {
  static TrpVariables constants = [] {
    TrpVariables v;
    v.SetSorted(true);
    auto add = [&v](const char* name, std::int64_t value) { v.SetValueByName(name, Variant::FromInt64(value)); };
    const std::pair<const char*, std::int64_t> numbers[] = {
        {"mrNone", 0},        {"mrOk", 1},          {"mrCancel", 2},       {"mrYes", 6},
        {"mrNo", 7},          {"fsBold", 2},        {"fsItalic", 1},       {"fsUnderline", 4},
        {"rpftNone", 0},      {"rpftRight", 1},     {"rpftBottom", 2},     {"rpftLeft", 4},
        {"rpftTop", 8},       {"rptaLeft", 0},      {"rptaRight", 1},      {"rptaCenter", 2},
        {"rptaVertical", 4},  {"rptaMiddle", 8},    {"rptaDown", 16},      {"baNone", 0},
        {"baLeft", 1},        {"baRight", 2},       {"baCenter", 3},       {"baWidth", 4},
        {"baBottom", 5},      {"baTop", 6},         {"psSolid", 0},        {"psDash", 1},
        {"psDot", 2},         {"psDashDot", 3},     {"psDashDotDot", 4},   {"psDouble", 7},
        {"mb_Ok", 0},         {"mb_OkCancel", 1},   {"mb_YesNo", 4},       {"mb_YesNoCancel", 3},
        {"mb_IconError", 16}, {"mb_IconQuestion", 32}, {"mb_IconInformation", 64}, {"mb_IconWarning", 48},
        {"clWhite", 0xFFFFFF}, {"clBlack", 0},      {"clMaroon", 0x80},    {"clGreen", 0x8000},
        {"clOlive", 0x8080},  {"clNavy", 0x800000}, {"clPurple", 0x800080}, {"clTeal", 0x808000},
        {"clGray", 0x808080}, {"clSilver", 0xC0C0C0}, {"clRed", 0xFF},     {"clLime", 0xFF00},
        {"clYellow", 0xFFFF}, {"clBlue", 0xFF0000}, {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},
        {"clTransparent", 0x1FFFFFFF},
    };
    for (const auto& [name, value] : numbers) add(name, value);
    const char* const system[] = {"clScrollBar",     "clBackground",    "clActiveCaption",     "clInactiveCaption",
                                  "clMenu",          "clWindow",        "clWindowFrame",       "clMenuText",
                                  "clWindowText",    "clCaptionText",   "clActiveBorder",      "clInactiveBorder",
                                  "clAppWorkSpace",  "clHighlight",     "clHighlightText",     "clBtnFace",
                                  "clBtnShadow",     "clGrayText",      "clBtnText",           "clInactiveCaptionText",
                                  "clBtnHighlight",  "cl3DDkShadow",    "cl3DLight",           "clInfoText",
                                  "clInfoBk"};
    // Colours are 32-bit integers: the system ones are negative, as the class library has them.
    for (int i = 0; i < 25; ++i) add(system[i], static_cast<std::int32_t>(0x80000000u + static_cast<unsigned>(i)));
    v.SetValueByName("CRLF", Variant("\r\n"));
    v.SetValueByName("Null", Variant::Null());
    return v;
  }();
  return constants;
}
}  // namespace

const TrpVariables& rpNamedConstants() { return NamedConstants(); }

void rpDefineNamedConstant(std::string_view name, const Variant& value) {
  NamedConstants().SetValueByName(name, value);
}

AnsiString rpArrayElementName(std::string_view arrayName, const Variant& index) {
  AnsiString text = index.IsString() ? index.AsString() : IntToStr(index.IsNull() ? 0 : index.AsInt64());
  return "Arr_" + AnsiString(arrayName) + "_" + text;
}

// ---------------------------------------------------------------------------------
// Data dictionary

void TrpDataDictionary::Clear() {
  Variables.Clear();
  Aliases.Clear();
  BandSources.Clear();
  cache_.clear();
}

AnsiString TrpDataDictionary::CacheKey(std::string_view name, TDataSet*& bareDataSet) const {
  AnsiString key = AnsiUpperCase(name);
  bareDataSet = nullptr;
  if (name.find('.') != std::string_view::npos || !DefaultDataSet) return key;
  bareDataSet = DefaultDataSet();
  if (bareDataSet) key += "\x01" + std::to_string(reinterpret_cast<std::uintptr_t>(bareDataSet));
  return key;
}

bool TrpDataDictionary::Resolve(std::string_view reference, FieldRef& ref, TDataSet* dataSet) const {
  AnsiString field;
  try {
    rpResolveDataSetField(reference, Owner, dataSet, field);
  } catch (const std::exception&) {
    return false;  // an unknown dataset is no variable
  }
  if (!dataSet || field.empty()) return false;
  ref = {dataSet, field};
  return true;
}

bool TrpDataDictionary::IsVariable(std::string_view name) {
  TDataSet* bareDataSet = nullptr;
  const AnsiString key = CacheKey(name, bareDataSet);
  if (cache_.count(key)) return true;
  FieldRef ref;
  int i = Variables.IndexOfName(name);
  if (i >= 0) {
    Variant v = Variables.GetValueAt(i);
    if (!v.IsNull()) {
      AnsiString text = VarToStr(v);
      if (text.find('.') != AnsiString::npos && Resolve(text, ref)) cache_[key] = ref;
    }
    return true;
  }
  std::string_view reference = name;
  AnsiString built;
  // The last "." outside double quotes splits dataset and field.
  std::size_t dot = std::string_view::npos;
  bool quoted = false;
  for (std::size_t k = 0; k < name.size(); ++k) {
    if (name[k] == '"') quoted = !quoted;
    if (name[k] == '.' && !quoted) dot = k;
  }
  if (dot != std::string_view::npos) {
    AnsiString dataSetPart(name.substr(0, dot));
    AnsiString fieldPart = rpUnquoteDouble(name.substr(dot + 1));
    for (int a = 0; a < Aliases.Count(); ++a) {
      if (AnsiSameText(VarToStr(Aliases.GetValueAt(a)), dataSetPart)) {
        dataSetPart = Aliases.GetNameAt(a);
        break;
      }
    }
    for (int a = 0; a < Aliases.Count(); ++a) {
      AnsiString aliasName = Aliases.GetNameAt(a);
      if (AnsiSameText(VarToStr(Aliases.GetValueAt(a)), fieldPart) &&
          AnsiUpperCase(aliasName).rfind(AnsiUpperCase(dataSetPart) + ".", 0) == 0) {
        fieldPart = aliasName.substr(dataSetPart.size() + 1);
        break;
      }
    }
    built = dataSetPart + ".\"" + fieldPart + "\"";
    reference = built;
  }
  if (!Resolve(reference, ref, bareDataSet)) return false;
  cache_[key] = ref;
  return true;
}

TField* TrpDataDictionary::Field(std::string_view name) {
  if (!IsVariable(name)) return nullptr;
  TDataSet* bareDataSet = nullptr;
  auto cached = cache_.find(CacheKey(name, bareDataSet));
  if (cached == cache_.end()) return nullptr;
  TDataSet& dataSet = *cached->second.dataSet;
  if (!dataSet.Active()) dataSet.Open();
  return dataSet.FindField(cached->second.field);
}

Variant TrpDataDictionary::GetValue(std::string_view name, const std::function<Variant(const AnsiString&)>& evaluate) {
  TDataSet* bareDataSet = nullptr;
  auto cached = cache_.find(CacheKey(name, bareDataSet));
  if (cached != cache_.end()) return rpFieldValue(*cached->second.dataSet, cached->second.field);
  const int global = rpGlobalVariables().IndexOfName(name);
  if (global >= 0) return rpGlobalVariables().GetValueAt(global);
  const int i = Variables.IndexOfName(name);
  if (i < 0) return Variant::Null();
  Variant v = Variables.GetValueAt(i);
  if (v.IsString() && !v.AsString().empty() && evaluate) return evaluate(v.AsString());
  return v;
}

// ---------------------------------------------------------------------------------
// The lookup chain

void TrpValueLookup::GetVariableValue(const AnsiString& name, Variant& value) {
  value = Variant();
  if (OnGetValue && OnGetValue(name, value)) return;
  value = Variant(0);
  if (Dictionary && Dictionary->IsVariable(name)) {
    value = Dictionary->GetValue(name, Evaluate);
    return;
  }
  if (name == "VALUE") {
    value = ValueSlot;
    return;
  }
  if (BuildValue && BuildValue(name, value)) return;
  const int global = rpGlobalVariables().IndexOfName(name);
  if (global >= 0) {
    value = rpGlobalVariables().GetValueAt(global);
    return;
  }
  value = Variant();
  if (PageValue && PageValue(name, value)) return;
  const int constant = rpNamedConstants().IndexOfName(name);
  if (constant >= 0) {
    value = rpNamedConstants().GetValueAt(constant);
    return;
  }
  if (name != currentVariable_ && depth_ < kMaxNameDepth && Evaluate) {
    AnsiString outer = currentVariable_;
    currentVariable_ = name;
    ++depth_;
    try {
      value = Evaluate(name);
    } catch (...) {
      --depth_;
      currentVariable_ = outer;
      throw;
    }
    --depth_;
    currentVariable_ = outer;
    return;
  }
  if (CollectingAggregates) {
    value = Variant(0);
    return;
  }
  throw EParserError(rpLocalString(55439) + " \"" + name + "\"");
}

AnsiString TrpValueLookup::GetValueText(std::string_view text, std::int32_t format, const AnsiString& formatStr,
                                        bool hideZeros) {
  currentVariable_.clear();
  AnsiString ownFormat = formatStr;
  AnsiString expression = rpInlineFormat(AnsiString(text), format, ownFormat);
  Variant value(0);
  GetVariableValue(expression, value);
  ValueSlot = value;
  if (hideZeros && (value.VarType() <= varCurrency) && !value.IsNull() && value == Variant(0)) ValueSlot = Variant("");
  if (CollectingAggregates) return {};
  return rpFormatValue(ValueSlot, format, ownFormat);
}

void TrpValueLookup::CallFunction(const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                                  Variant& value) {
  value = Variant("0");
  {
    // Library functions evaluate their arguments with this lookup's parser.
    auto& evaluate = rpFunctionServices().Evaluate;
    auto saved = evaluate;
    if (Evaluate) evaluate = Evaluate;
    bool taken = false;
    try {
      taken = rpCallLibraryFunction(name, p1, p2, p3, value);
    } catch (...) {
      evaluate = saved;
      throw;
    }
    evaluate = saved;
    if (taken) return;
  }
  CallBuiltinFunction(name, p1, p2, p3, value);
  if (OnUserFunction) OnUserFunction(name, p1, p2, p3, value);
}

void TrpValueLookup::CallBuiltinFunction(const AnsiString& name, const Variant& p1, const Variant& p2,
                                         const Variant& p3, Variant& value) {
  auto eval = [this](const Variant& text) { return Evaluate ? Evaluate(text.AsString()) : Variant(0); };
  if (name == "STOPREPORT" || name == "NEWPAGE" || name == "NEWCOLUMN" || name == "SHOWBAND") {
    if (BuildAction) BuildAction(name, Trim(p1.AsString()));
    return;
  }
  if (name == "INC" || name == "DEC") {
    AnsiString variable = Trim(p1.AsString());
    Variant current(0);
    GetVariableValue(AnsiUpperCase(variable), current);
    WriteVariable(variable, name == "INC" ? current + Variant(1) : current - Variant(1));
    return;
  }
  if (name == "SETARRAY" || name == "GETARRAY") {
    AnsiString array = Trim(p1.AsString());
    Variant index = eval(p2);
    std::size_t dot = array.find('.');
    if (dot != AnsiString::npos) {
      AnsiString object = array.substr(0, dot);
      AnsiString property = AnsiUpperCase(array.substr(dot + 1));
      Variant result;
      if (name == "SETARRAY") {
        Variant v = eval(p3);
        if (ObjectMethod) ObjectMethod(object, "SETINDEXPROPERTY", Variant(property), index, v, result);
      } else if (ObjectMethod && ObjectMethod(object, "GETINDEXPROPERTY", Variant(property), index, Variant(), result)) {
        value = result;
      }
      return;
    }
    AnsiString element = rpArrayElementName(array, index);
    if (name == "SETARRAY") {
      const Variant v = eval(p3);
      rpChargeScriptBytes(static_cast<std::int64_t>(element.size()) + rpValueBytes(v));
      rpGlobalVariables().SetValueByName(element, v);
    } else
      value = rpGlobalVariables().GetValueByName(element);  // Null when never set
    return;
  }
  std::size_t dot = name.find('.');
  if (dot != AnsiString::npos && ObjectMethod) {
    Variant result;
    if (ObjectMethod(name.substr(0, dot), name.substr(dot + 1), p1, p2, p3, result)) value = result;
  }
}

void TrpValueLookup::WriteVariable(const AnsiString& name, const Variant& value) {
  rpChargeScriptBytes(static_cast<std::int64_t>(name.size()) + rpValueBytes(value));
  const int global = rpGlobalVariables().IndexOfName(name);
  if (global >= 0) {
    rpGlobalVariables().SetValueAt(global, value);
    return;
  }
  if (Dictionary && Dictionary->Variables.IndexOfName(name) >= 0) {
    Dictionary->SetValue(name, value);
    return;
  }
  if (WriteBuildValue && WriteBuildValue(name, value)) return;
  if (SameText(name, "PROGRESS") || SameText(name, "MODALRESULT") || SameText(name, "CURY")) return;
  rpGlobalVariables().SetValueByName(name, value);
}

TInterpretator::TInterpretator(TrpValueLookup& lookup) : lookup_(lookup) {
  lookup_.Evaluate = [this](const AnsiString& e) { return Parser().Evaluate(e); };
}
