#include "planner/app/Globals.h"

#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "controls/misc/VerInfo.h"
#include "planner/app/AppRegIni.h"
#include "planner/app/ProgramVersion.h"
#include "planner/ration/RationFile.h"
#include "planner/reference/Ref.h"
#include "platform/core/Files.h"
#include "platform/core/Registry.h"
#include "platform/core/SysDirs.h"
#include "platform/core/SysUtils.h"

extern char** environ;

TdmGlobals* dmGlobals = nullptr;

namespace {

const char* const kGeneral = "General";
const char* const kDefaults = "Defaults";

// Copies the directory tree `from` to `to`, which must not exist yet.
bool CopyTree(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive, ec);
  return !ec;
}

}  // namespace

AnsiString DefaultDataRoot(std::string_view programDir, std::string_view userDataDir,
                           const std::function<bool(std::string_view)>& isWritable) {
  return IncludeTrailingPathDelimiter(isWritable(programDir) ? programDir : userDataDir);
}

bool SeedDataDirectory(std::string_view shippedRoot, std::string_view userRoot) {
  const AnsiString shipped = IncludeTrailingPathDelimiter(shippedRoot);
  const AnsiString user = IncludeTrailingPathDelimiter(userRoot);
  bool ok = ForceDirectories(user);
  for (const char* dir : {"Ref", "Examples"}) {
    const AnsiString source = shipped + dir, target = user + dir;
    if (!DirectoryExists(source) || DirectoryExists(target)) continue;
    // Copy beside the target and rename it into place, so that an interrupted first start
    // does not leave a half-filled directory that would never be completed.
    const AnsiString partial = target + ".partial";
    std::error_code ec;
    std::filesystem::remove_all(SysPath(partial), ec);
    if (!CopyTree(SysPath(ResolveExistingPath(source)), SysPath(partial)) ||
        (std::filesystem::rename(SysPath(partial), SysPath(target), ec), ec)) {
      std::filesystem::remove_all(SysPath(partial), ec);
      ok = false;
    }
  }
  ok = ForceDirectories(user + "Travels") && ok;
  return ok;
}

// ---------------------------------------------------------------------------------
// TdmGlobals

TdmGlobals::TdmGlobals(TGlobalsEnvironment env) : env_(std::move(env)) {
  store_ = env_.Store ? env_.Store : &SettingsStore();
  if (env_.ProgramFile.empty()) {
    RegisterProgramVersionBlock();
    env_.ProgramFile = ProgramFileName();
  }
  if (env_.UserDataDir.empty()) env_.UserDataDir = UserDataDirectory();
  if (!env_.IsWritable) env_.IsWritable = IsDirectoryWritable;
  dmGlobals = this;
}

TdmGlobals::~TdmGlobals() {
  if (dmGlobals == this) dmGlobals = nullptr;
}

void TdmGlobals::dmGlobalsCreate() {
  ReadVersion();
  SetDirectoryDefaults();
  LoadSettings();
  RemoveSaveLeftovers();
}

void TdmGlobals::RemoveSaveLeftovers() const {
  const TGeneralSettings& g = Settings.General;
  RemoveRefSaveLeftovers(g.RefDir);
  for (const AnsiString& dir : {g.DataDir, g.ExampleDir})
    if (!dir.empty()) RemoveRationSaveLeftovers(dir);
}

void TdmGlobals::ReadVersion() {
  TVersionInfo info(env_.ProgramFile);
  ProgCompany = info.GetCompanyName();
  ProgTitle = info.GetProductName();
  ProgVersion = info.GetFileVersion();
  ProgCopyright = info.GetLegalCopyright();
}

void TdmGlobals::SetDirectoryDefaults() {
  const AnsiString programDir = ExtractFilePath(env_.ProgramFile);
  DataRoot = DefaultDataRoot(programDir, env_.UserDataDir, env_.IsWritable);
  if (DataRoot != IncludeTrailingPathDelimiter(programDir)) SeedDataDirectory(programDir, DataRoot);
}

void TdmGlobals::LoadSettings() {
  TGeneralSettings& g = Settings.General;
  TDocumentDefaults& d = Settings.Defaults;
  const TDocumentDefaults defaults;
  g = TGeneralSettings{};
  g.RefDir = DataRoot + "Ref/";
  g.DataDir = DataRoot + "Travels/";
  g.ExampleDir = DataRoot + "Examples/";
  RegKeyPath = "Software\\" + ProgTitle;

  TAppRegIniFile reg(*store_, RegKeyPath);
  g.RefDir = reg.ReadString(kGeneral, "RefDir", g.RefDir);
  g.DataDir = reg.ReadString(kGeneral, "DataDir", g.DataDir);
  g.ExampleDir = reg.ReadString(kGeneral, "ExampleDir", g.ExampleDir);
  g.CreateBakFiles = reg.ReadBool(kGeneral, "CreateBakFiles", g.CreateBakFiles);
  g.ShowHint = reg.ReadBool(kGeneral, "ShowHint", g.ShowHint);
  g.PackRef = reg.ReadBool(kGeneral, "PackRef", g.PackRef);
  g.DayMenuMode = reg.ReadBool(kGeneral, "DayMenuMode", g.DayMenuMode);

  // A number read within [low, high], else the default.
  auto ranged = [&reg](const char* name, std::int32_t def, std::int32_t low, std::int32_t high) {
    const std::int32_t v = reg.ReadInteger(kDefaults, name, def);
    return v >= low && v <= high ? v : def;
  };
  d.DfltVeight = reg.ReadInteger(kDefaults, "DfltVeight", defaults.DfltVeight);
  d.DfltDays = ranged("DfltDays", defaults.DfltDays, 1, kMaxRationDays);
  d.DfltMans = ranged("DfltMans", defaults.DfltMans, 1, kMaxParticipants);
  d.DfltTourName = reg.ReadString(kDefaults, "DfltTourName", defaults.DfltTourName);
  d.DfltRefCal = ranged("DfltRefCal", defaults.DfltRefCal, 1, kMaxRefCal);
  d.DfltRefAlb = ranged("DfltRefAlb", RoundInt32(defaults.DfltRefAlb), 0, kMaxRefNeed);
  d.DfltRefFat = ranged("DfltRefFat", RoundInt32(defaults.DfltRefFat), 0, kMaxRefNeed);
  d.DfltRefCarb = ranged("DfltRefCarb", RoundInt32(defaults.DfltRefCarb), 0, kMaxRefNeed);
  d.DfltAuthor = reg.ReadString(kDefaults, "DfltAuthor", defaults.DfltAuthor);
}

void TdmGlobals::SaveSettings() {
  const TGeneralSettings& g = Settings.General;
  const TDocumentDefaults& d = Settings.Defaults;
  TAppRegIniFile reg(*store_, RegKeyPath);
  reg.WriteString(kGeneral, "RefDir", g.RefDir);
  reg.WriteString(kGeneral, "DataDir", g.DataDir);
  reg.WriteString(kGeneral, "ExampleDir", g.ExampleDir);
  reg.WriteBool(kGeneral, "CreateBakFiles", g.CreateBakFiles);
  reg.WriteBool(kGeneral, "ShowHint", g.ShowHint);
  reg.WriteBool(kGeneral, "PackRef", g.PackRef);
  reg.WriteBool(kGeneral, "DayMenuMode", g.DayMenuMode);

  reg.WriteInteger(kDefaults, "DfltVeight", d.DfltVeight);
  reg.WriteInteger(kDefaults, "DfltDays", d.DfltDays);
  reg.WriteInteger(kDefaults, "DfltMans", d.DfltMans);
  reg.WriteString(kDefaults, "DfltTourName", d.DfltTourName);
  reg.WriteInteger(kDefaults, "DfltRefCal", d.DfltRefCal);
  // The needs are kept as whole numbers. A value that has none (not finite, or beyond 32
  // bits) leaves the stored one as it was rather than writing something unreadable.
  const std::pair<const char*, double> needs[] = {
      {"DfltRefAlb", d.DfltRefAlb}, {"DfltRefFat", d.DfltRefFat}, {"DfltRefCarb", d.DfltRefCarb}};
  for (const auto& [name, value] : needs)
    if (IsRoundable32(value)) reg.WriteInteger(kDefaults, name, RoundInt32(value));
  reg.WriteString(kDefaults, "DfltAuthor", d.DfltAuthor);
  reg.UpdateFile();
}

// ---------------------------------------------------------------------------------
// Numbers typed by the user

bool TextToInt(std::string_view Text, std::int32_t& Value) {
  std::string_view s = Text;
  const bool plus = !s.empty() && s.front() == '+';
  if (plus) s.remove_prefix(1);
  // from_chars takes an optional "-" and decimal digits, nothing else (no blanks, no
  // "+"), and refuses values beyond 32 bits.
  std::int32_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 10);
  if (ec != std::errc() || end != s.data() + s.size() || (plus && s.front() == '-')) return false;
  Value = v;
  return true;
}

bool TextToFloat(std::string_view Text, double& Value) {
  // Blanks are not part of a number typed into a field.
  if (Text.empty() || Text.front() == ' ' || Text.back() == ' ' || Text.front() == '\t' || Text.back() == '\t')
    return false;
  return TryStrToFloat(Text, Value);  // "," as ".", finite decimal numbers only
}

// ---------------------------------------------------------------------------------
// Shell

namespace {

// Runs xdg-open. It usually hands the document over and exits at once; when it is still
// running after a moment (it waits for the program on some desktops) the document is
// taken as opened, and the process is reaped by a later call.
class TXdgShell : public IShell {
 public:
  int Open(const AnsiString& Name) override {
    Reap();
    const std::string arg = SysPath(Name);
    char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(arg.c_str()), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return 31;
    for (int i = 0; i < 50; ++i) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        if (!WIFEXITED(status)) return 31;
        switch (WEXITSTATUS(status)) {
          case 0: return 0;
          case 2: return 2;  // no such file
          case 1: return 2;  // bad name
          default: return 31;  // no program for it, or it failed
        }
      }
      timespec pause{0, 20'000'000};
      ::nanosleep(&pause, nullptr);
    }
    running_.push_back(pid);
    return 0;
  }
  bool OpenWith(const AnsiString&) override { return false; }  // no such dialog here
  // Without windows the message goes to the error output; the windowed program sets a
  // shell of its own that shows a message box.
  void ShowError(const AnsiString& Text) override { std::fprintf(stderr, "%s\n", cp::Ansi1251ToUtf8(Text).c_str()); }

 private:
  void Reap() {
    std::erase_if(running_, [](pid_t p) {
      int status;
      return ::waitpid(p, &status, WNOHANG) != 0;
    });
  }
  std::vector<pid_t> running_;
};

std::unique_ptr<IShell>& CurrentShell() {
  static std::unique_ptr<IShell> shell;
  return shell;
}

}  // namespace

IShell& Shell() {
  auto& s = CurrentShell();
  if (!s) s = std::make_unique<TXdgShell>();
  return *s;
}

void SetShell(std::unique_ptr<IShell> shell) { CurrentShell() = std::move(shell); }

void ShellOpen(const AnsiString& Name) {
  IShell& shell = Shell();
  const int error = shell.Open(Name);
  if (error == 0) return;
  if (error == 31 && shell.OpenWith(Name)) return;
  shell.ShowError("Error " + IntToStr(error) + " opening\r" + Name);
}
