// The types of message dialogs, without any toolkit: the dialog kinds, the button sets,
// the modal results (which the system's message box results IDOK..IDNO share) and the
// message box styles. The kit's dialogs (platform/gui/Dialogs.h) and the program's
// prompt interface (planner/app/UserPrompt.h) both use these, so both may be included
// in one file.
#pragma once

#include <cstdint>

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons, combined as a bit set.
using TMsgDlgButtons = unsigned;
inline constexpr TMsgDlgButtons mbYes = 0x1, mbNo = 0x2, mbOK = 0x4, mbCancel = 0x8, mbAbort = 0x10,
                                mbRetry = 0x20, mbIgnore = 0x40, mbAll = 0x80, mbNoToAll = 0x100,
                                mbYesToAll = 0x200, mbHelp = 0x400;
inline constexpr TMsgDlgButtons mbYesNoCancel = mbYes | mbNo | mbCancel;
inline constexpr TMsgDlgButtons mbYesAllNoAllCancel = mbYes | mbYesToAll | mbNo | mbNoToAll | mbCancel;
inline constexpr TMsgDlgButtons mbOKCancel = mbOK | mbCancel;
inline constexpr TMsgDlgButtons mbAbortRetryIgnore = mbAbort | mbRetry | mbIgnore;

// Modal results of forms and dialogs; the message box results IDOK..IDNO have the same
// values.
using TModalResult = int;
enum : TModalResult {
  mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7, mrAll = 8,
  mrNoToAll = 9, mrYesToAll = 10, mrHelp = 11,
  IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7,
};

// Message box styles.
enum : unsigned {
  MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5, MB_ICONERROR = 0x10, MB_ICONSTOP = 0x10, MB_ICONHAND = 0x10, MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30, MB_ICONEXCLAMATION = 0x30, MB_ICONINFORMATION = 0x40, MB_ICONASTERISK = 0x40,
  MB_DEFBUTTON1 = 0x0, MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200,
};
