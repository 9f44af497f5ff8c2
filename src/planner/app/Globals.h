// The application-wide data module: the version strings, the settings with their
// defaults, the working directories, and the small routines the planner shares
// (numbers typed by the user, opening a file or address with its program).
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>

#include "platform/core/AnsiText.h"

class TSettingsStore;

// Settings of section General.
struct TGeneralSettings {
  AnsiString RefDir;      // reference tables, "params.ini", report templates; ends with "/"
  AnsiString DataDir;     // ration documents (initial directory of the file dialogs)
  AnsiString ExampleDir;  // example rations
  bool CreateBakFiles = true;  // ".~TW" and ".~DB" backups
  bool ShowHint = true;
  bool PackRef = true;      // pack reference tables after rewriting them
  bool DayMenuMode = true;  // a new document is a menu by days
};

// Ranges of the numbers a new document starts with. A stored value outside its range is
// unusable and gives the default instead. Days and participants range over every positive
// 32-bit number, as the options dialog and the ration window allow.
inline constexpr std::int32_t kMaxRationDays = std::numeric_limits<std::int32_t>::max();
inline constexpr std::int32_t kMaxParticipants = std::numeric_limits<std::int32_t>::max();
inline constexpr std::int32_t kMaxRefCal = 20000;  // kcal per day
inline constexpr std::int32_t kMaxRefNeed = 5000;  // g per day of protein, fat or carbohydrates

// Settings of section Defaults: what a new ration document starts with. The energy and
// the needs are the program's own defaults; picking a kind of trip (here or in a ration)
// takes that row's values instead.
struct TDocumentDefaults {
  std::int32_t DfltVeight = 0;  // read and written only
  std::int32_t DfltDays = 21;
  std::int32_t DfltMans = 4;
  AnsiString DfltTourName = Ansi("Пешеходный; 1 к.с.");
  std::int32_t DfltRefCal = 3100;  // daily energy expenditure, kcal
  double DfltRefAlb = 150;         // daily needs, g (stored as whole numbers)
  double DfltRefFat = 180;
  double DfltRefCarb = 690;
  AnsiString DfltAuthor;
};

struct TAppSettings {
  TGeneralSettings General;
  TDocumentDefaults Defaults;
};

// Where the data module finds its outside world. Empty members take the running
// program's: tests put temporary places in.
struct TGlobalsEnvironment {
  TSettingsStore* Store = nullptr;  // SettingsStore()
  AnsiString ProgramFile;           // ProgramFileName(); its version block is read
  AnsiString UserDataDir;           // UserDataDirectory()
  std::function<bool(std::string_view)> IsWritable;  // IsDirectoryWritable
};

// The directory that holds "Ref/", "Travels/" and "Examples/": the program's directory
// when it is writable, else the user's data directory (an installed program).
AnsiString DefaultDataRoot(std::string_view programDir, std::string_view userDataDir,
                           const std::function<bool(std::string_view)>& isWritable);

// Fills the user's data directory from the copy shipped beside the program: each of
// "Ref/" and "Examples/" that the shipped copy has and the user's directory lacks is copied
// whole; "Travels/" is created. Directories the user already has are left alone. Returns
// false when something could not be copied or created.
bool SeedDataDirectory(std::string_view shippedRoot, std::string_view userRoot);

class TdmGlobals {
 public:
  explicit TdmGlobals(TGlobalsEnvironment env = {});
  ~TdmGlobals();
  TdmGlobals(const TdmGlobals&) = delete;
  TdmGlobals& operator=(const TdmGlobals&) = delete;

  // Creation handler: reads the version block of the program file, sets the directory
  // defaults (filling the user's data directory on first start when the program's own is
  // not writable), then LoadSettings, then RemoveSaveLeftovers.
  void dmGlobalsCreate();
  // What saves killed in an earlier run left in the reference and document folders
  // (working copies and temporary files of our own naming, older than a minute) goes.
  void RemoveSaveLeftovers() const;
  // Every setting from the store under RegKeyPath; a missing or unreadable value, or a
  // number outside its range (days and participants 1 .. 999, energy 1 .. kMaxRefCal,
  // needs 0 .. kMaxRefNeed), gives the default.
  void LoadSettings();
  // Every setting into the store, which is then saved. Raises when saving fails.
  void SaveSettings();

  TSettingsStore& Store() const { return *store_; }

  // Version strings of the program's version block.
  AnsiString ProgCompany, ProgTitle, ProgVersion, ProgCopyright;
  AnsiString RegKeyPath;  // "Software\" + ProgTitle

  // The directory the three directory defaults are made from (ends with "/").
  AnsiString DataRoot;
  TAppSettings Settings;

 private:
  void ReadVersion();
  void SetDirectoryDefaults();

  TGlobalsEnvironment env_;
  TSettingsStore* store_;
};

// The data module of the running program, set while one exists.
extern TdmGlobals* dmGlobals;

// The whole text as a decimal integer (optional sign); false on anything else, an empty
// text and values outside 32 bits. Value is changed only on success.
bool TextToInt(std::string_view Text, std::int32_t& Value);
// The whole text as a finite decimal number, "," read as "."; false otherwise (also for
// "inf", "nan" and hexadecimal forms). Value is changed only on success.
bool TextToFloat(std::string_view Text, double& Value);

// Opens documents and addresses with their associated programs.
class IShell {
 public:
  virtual ~IShell() = default;
  // Asks the system to open Name; 0 on success, else an error number (2 file not found,
  // 31 no program associated, ...).
  virtual int Open(const AnsiString& Name) = 0;
  // Lets the user choose a program for Name; false when the system has no such dialog.
  virtual bool OpenWith(const AnsiString& Name) = 0;
  virtual void ShowError(const AnsiString& Text) = 0;
};
// The shell in use (by default one that runs xdg-open); SetShell replaces it (tests, the
// windowed program for its message boxes). nullptr restores the default.
IShell& Shell();
void SetShell(std::unique_ptr<IShell> shell);

// Opens Name with its program; on "no association" offers the choice of a program, on any
// other error shows "Error <n> opening" and the name.
void ShellOpen(const AnsiString& Name);
