// The about box without windows: the texts of its labels from the program's version
// strings, the mail link, the centring rule of its labels, and the rows of its system
// page (name, version, memory).
#pragma once

#include <cstdint>
#include <vector>

#include "planner/app/AppSysInfo.h"

// The maker's addresses that the about box shows and opens.
inline constexpr const char* kProgramUrl = "https://tarnwick.example.org/";
inline constexpr const char* kProgramEMail = "tarnwick@tarnwick.example.org";

struct TAboutTexts {
  AnsiString Caption;    // "Информация"
  AnsiString Title;      // ProgTitle + " " (both title labels)
  AnsiString Subtitle;   // "Tarnwick"
  AnsiString Version;    // "версия " + ProgVersion
  AnsiString Copyright;  // ProgCopyright
  AnsiString Url;        // "WWW : " + the address
  AnsiString EMail;      // "E-Mail : " + the address
};

TAboutTexts AboutTexts(const AnsiString& ProgTitle, const AnsiString& ProgVersion, const AnsiString& ProgCopyright);
// "mailto:<address>?subject=<title> <version>&body=" with the subject percent-encoded.
AnsiString AboutMailLink(const AnsiString& ProgTitle, const AnsiString& ProgVersion);
// Left of a label centred in its panel: Round((panel width - label width) / 2).
int CenteredLeft(int PanelWidth, int LabelWidth);

struct TSysInfoRow {
  AnsiString Name;  // 1251
  AnsiString Value;
};
// The three rows of the system page: "OS name :", "OS version :", "Physical memory :".
std::vector<TSysInfoRow> SysInfoRows(const TSystemVersion& Version, const TMemoryStatus& Memory);
