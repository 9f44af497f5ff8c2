// The planner's message dialogs shown through the platform's dialog service. The planner
// logic asks through IUserPrompt; this bridge maps its types onto the service's, in a
// unit of its own, because the two headers name their types alike.
#pragma once

#include "platform/core/AnsiText.h"

namespace dialog_bridge {

enum TKind { kWarning, kError, kInformation, kConfirmation };
enum TButton : unsigned { bYes = 1, bNo = 2, bOK = 4, bCancel = 8, bAll = 16 };
// The answer as a TButton bit (0 when the dialog was closed otherwise).
unsigned Show(const AnsiString& text, TKind kind, unsigned buttons);

}  // namespace dialog_bridge
