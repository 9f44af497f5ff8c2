// The help button of the planner's dialogs: the handler the program installs (its help
// window at the dialog's context), or, without one, a message that says no help is
// installed.
#pragma once

#include <functional>

void ShowDialogHelp(const std::function<void(int Context)>& OnHelp, int Context);
