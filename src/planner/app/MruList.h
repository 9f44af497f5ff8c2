// The recent-files list of the main window ("Открыть заново"), without any windowing: at
// most 16 captions, newest first. A caption is the display name of a file: the bare name
// for a file in the data directory, "..\Examples\" + the name for one in the examples
// directory, else the full name; so clicking an entry finds the file even after the
// directories moved. Captions are compared without regard to case, "&" marks ignored.
// The list is kept in the settings store under "MRUFiles" as "000", "001", ...
#pragma once

#include <vector>

#include "platform/core/AnsiText.h"

class TAppRegIniFile;

inline constexpr int kMruMaxEntries = 16;
inline constexpr const char* kMruExamplesPrefix = "..\\Examples\\";

class TMruList {
 public:
  // Directories end with "/" (or "\").
  TMruList(AnsiString dataDir, AnsiString exampleDir) : dataDir_(std::move(dataDir)), exampleDir_(std::move(exampleDir)) {}
  // The directories the captions are resolved against (as the program starts with them).
  void SetDirectories(AnsiString dataDir, AnsiString exampleDir);
  // The directories change while the program runs: every entry keeps naming the file it
  // named, its caption made anew (a file of the old data directory shows its full name,
  // one of the new data directory its bare name).
  void ChangeDirectories(AnsiString dataDir, AnsiString exampleDir);

  const std::vector<AnsiString>& Captions() const { return captions_; }
  bool Empty() const { return captions_.empty(); }

  AnsiString MruDisplayName(const AnsiString& Name) const;
  // The file of an entry's caption (the data directory for a bare name, the examples
  // directory for "..\Examples\").
  AnsiString FileOfCaption(const AnsiString& Caption) const;
  // The file goes to the top (added, or moved when present); the oldest beyond 16 go.
  void AddMru(const AnsiString& Name);
  void RemoveMru(const AnsiString& Name);
  // Read: each stored entry added from the last to the first. Save: written in order;
  // an empty list writes nothing.
  void LoadMru(const TAppRegIniFile& Reg);
  void SaveMru(TAppRegIniFile& Reg) const;

  // "&" doubled, so that a menu shows the caption as it is.
  static AnsiString MenuText(const AnsiString& Caption);

 private:
  int Find(const AnsiString& Caption) const;
  void AddCaption(const AnsiString& Caption);

  AnsiString dataDir_;
  AnsiString exampleDir_;
  std::vector<AnsiString> captions_;
};
