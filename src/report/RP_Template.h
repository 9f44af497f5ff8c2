// Report template files (".rpf"): the version byte, the flags, the printer name, then
// page records, object records (each a view record with its next-record offset) and
// the dictionary record. Every length, count and offset is checked against the bytes
// left: a damaged file is refused with the engine's message, never read past.
#pragma once

#include "report/RP_Page.h"

constexpr int rpTemplateVersion = 24;

struct TrpTemplateLoad {
  // 0 loaded; 1 version too new (pages unchanged); 2 damaged (pages cleared and one
  // empty page added); 3 add-in classes missing (the rest loaded).
  int Result = 0;
  AnsiString Message;  // the text of the message box captioned "Ошибка"
  bool Ok() const { return Result == 0; }
};

// The whole template stream: version byte 24 and the body.
void rpSaveTemplate(TrpPages& pages, TStream& stream);
TrpTemplateLoad rpLoadTemplate(TrpPages& pages, TStream& stream);

// Files: the save is atomic (a failed one leaves the old file as it was).
void rpSaveTemplateFile(TrpPages& pages, const AnsiString& fileName);
TrpTemplateLoad rpLoadTemplateFile(TrpPages& pages, const AnsiString& fileName);
