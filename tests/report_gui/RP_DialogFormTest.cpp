// Dialog pages on screen: the form takes the page's look, draws its controls, and its
// result (closed: Cancel; a control's script: MODALRESULT) decides the build.
#include <gtest/gtest.h>

#include <cstdlib>

#include "../report/BuildFixture.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"
#include "report/gui/RP_DialogForm.h"

using namespace rpbuildtest;

namespace {

class DialogRunnerScope {
 public:
  DialogRunnerScope() { rpInstallDialogPageForms(); }
  ~DialogRunnerScope() { rpSetDialogRunner(nullptr); }
  DialogRunnerScope(const DialogRunnerScope&) = delete;
  DialogRunnerScope& operator=(const DialogRunnerScope&) = delete;
};

}  // namespace

TEST(DialogPageForm, ShowsThePageAndItsResultDecidesTheBuild) {
  enum class Way { CloseBox, ControlScriptOk, ControlScriptCancel };
  struct Case {
    const char* name;
    Way way;
    bool built;
  };
  const Case cases[] = {{"window closed", Way::CloseBox, false},
                        {"control script: OK", Way::ControlScriptOk, true},
                        {"control script: Cancel", Way::ControlScriptCancel, false}};
  DialogRunnerScope runner;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    rpResetState();
    DialogFixture f("Title := 'Да'");
    TrpPage& page = *f.report.Pages.GetPages(0);
    page.Color = clWhite;
    page.FormWidth = 320;
    page.FormHeight = 200;
    page.BorderStyle = bsDialog;
    f.report.Pages.FindObject("Edit1")->SetBounds(20, 30, 120, 24);
    TScriptedDialogsScope dialogs;
    int shown = 0;
    dialogs->AnswerForm("DialogForm", [&](TForm& form) {
      ++shown;
      EXPECT_EQ(form.Caption(), Ansi("Параметры"));
      EXPECT_EQ(form.BorderStyle(), TFormBorderStyle::bsDialog);
      EXPECT_EQ(form.width(), 320);
      EXPECT_EQ(form.height(), 200);
      const QImage image = static_cast<TrpDialogPageForm&>(form).Render();
      EXPECT_EQ(FromQColor(image.pixelColor(5, 5)), clWhite);        // the page's colour
      EXPECT_EQ(FromQColor(image.pixelColor(60, 40)), FromQColor(ToQColor(clBtnFace)));  // the control's face
      if (const char* shots = std::getenv("TARNWICK_SHOTS"); shots && c.way == Way::CloseBox)
        image.save(QString::fromUtf8(shots) + "/dialog_page.png");
      TStringList click;
      switch (c.way) {
        case Way::CloseBox: form.Close(); break;
        case Way::ControlScriptOk: click.SetText("ModalResult := mrOk"); break;
        case Way::ControlScriptCancel: click.SetText("ModalResult := mrCancel"); break;
      }
      if (click.Count()) f.report.RunScript(f.report.Pages.FindObject("Edit1"), click);
      EXPECT_NE(form.ModalResult(), mrNone);
    });
    EXPECT_EQ(f.report.PrepareReport(), c.built);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(dialogs->Unexpected(), 0);
    EXPECT_EQ(f.report.EMFPages.GetCount(), c.built ? 1 : 0);
    rpGlobalVariables().Clear();
  }
  rpResetState();
}
