// Readable text forms (UTF-8) of a template and of prepared pages: one line per page
// and per view, with the view's text lines under it. Used by tools/rpdump and by tests.
#pragma once

#include <string>

#include "report/RP_Page.h"
#include "report/RP_Prepared.h"

std::string rpDumpView(TrpView& view);
std::string rpDumpTemplate(const TrpPages& pages);
std::string rpDumpPrepared(TrpEMFPages& pages);
