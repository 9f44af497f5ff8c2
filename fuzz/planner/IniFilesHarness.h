// Feeds arbitrary bytes to the ini reader as the program uses it: as the settings store
// ("settings.ini": the General and Defaults settings and the recent files), as the
// pick-list's limits file "params.ini" and as the table aliases of "dbtables.cfg". What
// is read must keep the promises of its reader (numbers in their ranges, limits finite
// and not negative), and what the program writes back must read back the same. Shared by
// the libFuzzer target and the tests that replay what it found.
#pragma once

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "../FuzzWorkDir.h"
#include "planner/app/AppRegIni.h"
#include "planner/app/Globals.h"
#include "planner/app/MruList.h"
#include "planner/reference/FrmRefEditModel.h"
#include "planner/reference/RefMenu.h"
#include "platform/core/Classes.h"
#include "platform/core/Files.h"
#include "platform/core/IniFiles.h"
#include "platform/core/Registry.h"
#include "tables/DbfDB.h"

namespace ini_fuzz {

// The text of the first broken promise; empty when every one holds.
using TFault = std::string;

// XDG_CONFIG_HOME pointed elsewhere for the lifetime of the object.
class TConfigHome {
 public:
  explicit TConfigHome(const std::string& dir) {
    if (const char* v = std::getenv("XDG_CONFIG_HOME")) old_ = v;
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  }
  ~TConfigHome() {
    if (old_) ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
  }
  TConfigHome(const TConfigHome&) = delete;
  TConfigHome& operator=(const TConfigHome&) = delete;

 private:
  std::optional<std::string> old_;
};

// The reader itself: what it reads writes as a text that reads as the same values, and
// that text writes unchanged.
inline TFault CheckIniText(std::string_view bytes) {
  TIniData first;
  first.Parse(bytes);
  const AnsiString text = first.Text();
  TIniData second;
  second.Parse(text);
  if (second.Text() != text) return "the written text changes when read and written again";
  if (second.SectionNames() != first.SectionNames()) return "section names change when written and read";
  for (const AnsiString& section : first.SectionNames()) {
    if (second.ValueNames(section) != first.ValueNames(section))
      return "value names of [" + section + "] change when written and read";
    for (const AnsiString& name : first.ValueNames(section)) {
      const AnsiString* a = first.Value(section, name);
      const AnsiString* b = second.Value(section, name);
      if (a == nullptr || b == nullptr || *a != *b) return "value " + name + " of [" + section + "] changes";
    }
  }
  return {};
}

inline bool SameSettings(const TAppSettings& a, const TAppSettings& b) {
  const TGeneralSettings &g = a.General, &h = b.General;
  const TDocumentDefaults &d = a.Defaults, &e = b.Defaults;
  return g.RefDir == h.RefDir && g.DataDir == h.DataDir && g.ExampleDir == h.ExampleDir &&
         g.CreateBakFiles == h.CreateBakFiles && g.ShowHint == h.ShowHint && g.PackRef == h.PackRef &&
         g.DayMenuMode == h.DayMenuMode && d.DfltVeight == e.DfltVeight && d.DfltDays == e.DfltDays &&
         d.DfltMans == e.DfltMans && d.DfltTourName == e.DfltTourName && d.DfltRefCal == e.DfltRefCal &&
         d.DfltRefAlb == e.DfltRefAlb && d.DfltRefFat == e.DfltRefFat && d.DfltRefCarb == e.DfltRefCarb &&
         d.DfltAuthor == e.DfltAuthor;
}

// The settings and the recent files as the program reads them at start, then writes them
// on closing; read again, they are the same.
inline TFault CheckSettings(const std::string& dir, std::string_view bytes) {
  const std::string path = dir + "/settings.ini";
  fuzz_support::WriteWholeFile(path, bytes);
  const AnsiString file = AnsiPath(path);
  struct TRead {
    TSettingsStore Store;
    TdmGlobals Globals;
    TMruList Mru;
    TRead(const AnsiString& file, const std::string& dir)
        : Store(file),
          Globals({&Store, AnsiPath(dir + "/tarnwick"), AnsiPath(dir + "/data/"), [](std::string_view) { return true; }}),
          Mru(AnsiString(), AnsiString()) {
      Globals.ProgTitle = "Tarnwick";
      Globals.LoadSettings();
      Mru.SetDirectories(Globals.Settings.General.DataDir, Globals.Settings.General.ExampleDir);
      const TAppRegIniFile reg(Store, Globals.RegKeyPath);
      Mru.LoadMru(reg);
    }
  };
  TFault fault;
  {
    TRead first(file, dir);
    const TDocumentDefaults& d = first.Globals.Settings.Defaults;
    if (d.DfltDays < 1 || d.DfltDays > kMaxRationDays || d.DfltMans < 1 || d.DfltMans > kMaxParticipants ||
        d.DfltRefCal < 1 || d.DfltRefCal > kMaxRefCal)
      return "a default of a new document outside its range";
    for (double need : {d.DfltRefAlb, d.DfltRefFat, d.DfltRefCarb})
      if (!(need >= 0 && need <= kMaxRefNeed)) return "a daily need outside its range";
    if (first.Mru.Captions().size() > static_cast<std::size_t>(kMruMaxEntries)) return "more recent files than kept";

    first.Globals.SaveSettings();
    TAppRegIniFile reg(first.Store, first.Globals.RegKeyPath);
    first.Mru.SaveMru(reg);
    reg.UpdateFile();

    TRead again(file, dir);
    if (!SameSettings(first.Globals.Settings, again.Globals.Settings)) fault = "the settings change when saved and read";
    else if (first.Mru.Captions() != again.Mru.Captions()) fault = "the recent files change when saved and read";
  }
  return fault;
}

// The limits file: the limits read are finite and not negative; written by the editor
// and read again they keep their value (to the 15 digits the file holds) and stay the
// same from then on.
inline TFault CheckLimits(const std::string& dir, std::string_view bytes) {
  const std::string refDir = dir + "/Ref/";
  std::filesystem::create_directories(refDir);
  fuzz_support::WriteWholeFile(refDir + kLimitsFileName, bytes);
  const AnsiString ref = AnsiPath(refDir);
  const TRationLimits first = LoadLimits(ref);
  for (int i = 0; i < kParamCount; ++i) {
    const double v = LimitValue(first, i);
    if (!std::isfinite(v) || v < 0) return "limit " + ParamKey(i) + " not finite or below 0";
  }
  WriteLimitsFile(ref + kLimitsFileName, first);
  const TRationLimits second = LoadLimits(ref);
  WriteLimitsFile(ref + kLimitsFileName, second);
  const TRationLimits third = LoadLimits(ref);
  for (int i = 0; i < kParamCount; ++i) {
    const double a = LimitValue(first, i), b = LimitValue(second, i);
    if (std::fabs(a - b) > 1e-14 * std::fabs(a)) return "limit " + ParamKey(i) + " changes when written and read";
    if (LimitValue(third, i) != b) return "limit " + ParamKey(i) + " changes when written and read twice";
  }
  return {};
}

// The aliases of "dbtables.cfg" in the configuration directory: the list starts with the
// default directory, and a dataset named by an alias finds its directory.
inline TFault CheckAliases(const std::string& dir, std::string_view bytes) {
  const std::string config = dir + "/config";
  std::filesystem::create_directories(config + "/tarnwick");
  fuzz_support::WriteWholeFile(config + "/tarnwick/dbtables.cfg", bytes);
  TFault fault;
  {
    TConfigHome home(config);
    ReloadDbfAliases();
    const TStringList& aliases = DbfAliases();
    if (aliases.Count() < 1 || aliases[0] != "Default Directory") fault = "the alias list lacks the default directory";
    for (int i = 1; i < aliases.Count() && fault.empty(); ++i) {
      TDbfDataSet ds;
      ds.SetDatabaseName(aliases.Names(i));
      const AnsiString found = ds.TableDirectory();
      if (!found.empty() && found.back() != '/') fault = "an alias directory without its separator";
    }
  }
  ReloadDbfAliases();  // later users find the aliases of their own configuration
  return fault;
}

inline TFault RunOne(const std::string& dir, std::string_view bytes) {
  for (TFault fault : {CheckIniText(bytes), CheckSettings(dir, bytes), CheckLimits(dir, bytes), CheckAliases(dir, bytes)})
    if (!fault.empty()) return fault;
  return {};
}

}  // namespace ini_fuzz
