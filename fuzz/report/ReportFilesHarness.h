// Feeds arbitrary bytes to the readers of report templates (".rpf") and prepared
// reports (".rpp"), and exercises what loads: written again, drawn in design and
// output mode on a recording canvas, dumped as text, prepared pages exported in every
// format. Shared by the libFuzzer targets and the tests that replay what they found.
// Every failure must be an exception of the program's own hierarchy; a crash, a
// sanitizer report or a hang is a fault.
#pragma once

#include <string_view>

#include "../FuzzWorkDir.h"
#include "platform/core/Files.h"
#include "report/RP_Class.h"
#include "report/RP_Dump.h"
#include "report/RP_Export.h"
#include "report/RP_Template.h"

namespace report_fuzz {

inline void DrawAll(TrpPage& page) {
  TRecordingCanvas canvas(Rect(0, 0, 2000, 2000));
  rpState().CurrentPage = &page;
  for (int mode : {rpDesignMode, rpOutputMode}) {
    rpState().DocMode = mode;
    for (const auto& v : page.Objects) {
      v->Draw(canvas);
      canvas.Clear();
    }
  }
  rpState().DocMode = rpDesignMode;
  rpState().CurrentPage = nullptr;
}

// Builds what a template makes, cut short after many pages or checks (a template may ask
// for records without end); a build that fails must fail with its message. The number
// of pages made.
inline int BuildTemplate(TrpReport& report) {
  int checks = 0;
  report.CancelRequested = [&] { return report.EMFPages.GetCount() > 500 || ++checks > 2000000; };
  (void)report.PrepareReport();
  report.CancelRequested = nullptr;
  return report.EMFPages.GetCount();
}

// build: the loaded template is built too (the fuzzer's cases; mutations of a good file
// in bulk are only read, written and drawn). The number of pages built, -1 for none.
inline int RunTemplate(std::string_view bytes, bool build = true) {
  int built = -1;
  rpResetState();
  TrpReport report;
  TrpPages& pages = report.Pages;
  TMemoryStream in{std::string(bytes)};
  const TrpTemplateLoad r = rpLoadTemplate(pages, in);
  if (r.Result == 1) return built;
  (void)rpDumpTemplate(pages);
  try {
    for (const auto& p : pages.Pages) DrawAll(*p);
    TMemoryStream out;
    rpSaveTemplate(pages, out);
    if (build) built = BuildTemplate(report);
  } catch (const Exception&) {
  }
  rpResetState();
  return built;
}

inline void RunPrepared(std::string_view bytes) {
  rpResetState();
  TrpEMFPages pages;
  TMemoryStream in{std::string(bytes)};
  try {
    pages.LoadFromStream(in);
  } catch (const Exception&) {
    return;
  }
  (void)rpDumpPrepared(pages);
  TRecordingCanvas canvas(Rect(0, 0, 800, 1100));
  for (int i = 0; i < pages.GetCount(); ++i) {
    try {
      pages.GetPages(i)->Visible = true;
      pages.Draw(i, canvas, Rect(0, 0, 800, 1100));
      int cursor = 0;
      pages.HitTest(i, Point(100, 100), cursor, true);
      pages.PageToObjects(i);
    } catch (const Exception&) {
    }
    canvas.Clear();
  }
  try {
    TMemoryStream out;
    pages.SaveToStream(out);
  } catch (const Exception&) {
  }
  // Saved as the preview saves loaded pages in the other formats, pictures included.
  TrpTextExport text;
  text.ExportFrames = true;
  TrpHTMExport html;
  html.ExportPictures = true;
  TrpCSVExport csv;
  TrpRTFExport rtf;
  rtf.ExportBitmaps = true;
  for (TrpExportFilter* filter : {static_cast<TrpExportFilter*>(&text), static_cast<TrpExportFilter*>(&html),
                                  static_cast<TrpExportFilter*>(&csv), static_cast<TrpExportFilter*>(&rtf)}) {
    filter->ShowDialog = false;
    try {
      (void)rpExportPages(pages, *filter, AnsiPath(fuzz_support::WorkDir()) + "/export");
    } catch (const Exception&) {
    }
  }
  rpResetState();
}

}  // namespace report_fuzz
