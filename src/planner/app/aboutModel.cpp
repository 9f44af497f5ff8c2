#include "planner/app/aboutModel.h"

#include "platform/core/SysUtils.h"

TAboutTexts AboutTexts(const AnsiString& ProgTitle, const AnsiString& ProgVersion, const AnsiString& ProgCopyright) {
  TAboutTexts t;
  t.Caption = Ansi("Информация");
  t.Title = ProgTitle + " ";
  t.Subtitle = "Tarnwick";
  t.Version = Ansi("версия ") + ProgVersion;
  t.Copyright = ProgCopyright;
  t.Url = AnsiString("WWW : ") + kProgramUrl;
  t.EMail = AnsiString("E-Mail : ") + kProgramEMail;
  return t;
}

AnsiString AboutMailLink(const AnsiString& ProgTitle, const AnsiString& ProgVersion) {
  // The link goes to a mail program as a URL: the subject's bytes are escaped (1251 text
  // as UTF-8).
  const std::string subject = cp::Ansi1251ToUtf8(ProgTitle + " " + ProgVersion);
  AnsiString escaped;
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : subject) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
        c == '_') {
      escaped += static_cast<char>(c);
    } else {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 15];
    }
  }
  return AnsiString("mailto:") + kProgramEMail + "?subject=" + escaped + "&body=...";
}

int CenteredLeft(int PanelWidth, int LabelWidth) {
  return static_cast<int>(Round(static_cast<double>(PanelWidth - LabelWidth) / 2));
}

std::vector<TSysInfoRow> SysInfoRows(const TSystemVersion& Version, const TMemoryStatus& Memory) {
  return {{"OS name :", Version.Name}, {"OS version :", VersionText(Version)}, {"Physical memory :", MemoryText(Memory)}};
}
