// The options dialog without windows: a working copy of the settings that the dialog
// shows and changes (directories, switches, the defaults of new ration documents and the
// four needs of the default kind of trip). Load starts it from the settings; Apply gives
// it back on OK; Cancel simply drops it.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "planner/app/Globals.h"

class IRefPicker;

// The largest number of days a new document may be given in the options (any positive
// 32-bit number; how many days a new document is built with is the ration's own limit).
inline constexpr std::int32_t kMaxDfltDays = std::numeric_limits<std::int32_t>::max();

class TOptionsModel {
 public:
  // Every text of the dialog (1251), addressed by component name: captions, labels, hints
  // and folder-dialog texts ("DirectoryEdit1.DialogText", "CheckBox1.Hint", ...). Empty
  // for a name it does not know.
  static AnsiString Text(std::string_view Name);
  static std::vector<AnsiString> RationTypeItems();

  // The working copy.
  AnsiString RefDir, DataDir, ExampleDir;
  bool ShowHint = true, CreateBakFiles = true, PackRef = true;
  int RationTypeIndex = 0;  // 0 a menu by days, 1 an average daily ration
  AnsiString TourName;
  std::int32_t Mans = 1, Days = 1;
  AnsiString Author;
  std::int32_t RefCal = 0;
  double RefAlb = 0, RefFat = 0, RefCarb = 0;

  // Show: every field from the settings.
  void Load(const TAppSettings& Settings);
  // The kind-of-trip button: the pick-list on the kinds of trip; an OK with a pick sets
  // the name (path joined by "; ") and the four needs of the copy. True when they changed.
  bool PickTour(IRefPicker& PickList);
  // A key typed into the kind-of-trip field opens the pick-list: a digit, a Latin letter
  // or a character above 191 (a Cyrillic letter in 1251).
  static bool TourKeyOpensPick(unsigned char Key);
  // OK: the copy into the settings. Directories end with a separator; an empty one keeps
  // the setting it had. Participants and days are kept in their ranges.
  void Apply(TAppSettings& Settings) const;
  // The directory as stored: Text with "/" at its end ("\" counts as one); Previous when
  // Text is empty.
  static AnsiString DirectorySetting(const AnsiString& Text, const AnsiString& Previous);
};
