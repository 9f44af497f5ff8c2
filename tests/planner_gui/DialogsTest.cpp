// The planner's dialogs on the offscreen platform, driven through their controls: the find
// dialog (state, checks, replacement pick, replacing with the confirmation dialog), the
// ration properties, the options (folder dialog, kind of trip, OK writing the settings
// store, Cancel) and the about box. Message and folder dialogs are scripted; no test may
// meet a dialog it did not expect. With TARNWICK_SHOTS set to a directory, each dialog is
// also written there as a PNG for review.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>
#include <string>
#include <vector>

#include "planner/gui/FrmOptions.h"
#include "planner/gui/about.h"
#include "planner/gui/FrmFind.h"
#include "planner/gui/FrmRaskladProp.h"
#include "planner/ration/RationEdit.h"
#include "controls/gui/ComboEdit.h"
#include "platform/core/Files.h"
#include "platform/core/Registry.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"
#include "test_support/TempDir.h"

namespace {

std::string Utf8(const AnsiString& s) { return cp::Ansi1251ToUtf8(s); }
std::string Utf8(const QString& s) { return s.toStdString(); }

// Renders the widget; writes it to $TARNWICK_SHOTS/<name>.png when that is set.
QImage Shot(QWidget& w, const char* name) {
  w.show();
  QApplication::processEvents();
  const QImage image = w.grab().toImage();
  if (const char* dir = std::getenv("TARNWICK_SHOTS")) image.save(QString("%1/%2.png").arg(dir, name));
  return image;
}

// A picture has been drawn: more than a few distinct colours.
bool Drawn(const QImage& image) {
  if (image.isNull()) return false;
  std::vector<QRgb> seen;
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3) {
      const QRgb c = image.pixel(x, y);
      if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
      if (seen.size() > 4) return true;
    }
  return false;
}

class TScriptedPick : public IRefPicker {
 public:
  int Execute(int Page, const AnsiString& Caption) override {
    calls.push_back(std::to_string(Page) + ":" + Utf8(Caption));
    return result;
  }
  int PickCount() const override { return result == mrOk && picked ? 1 : 0; }
  AnsiString GetItemPath(int Index, const AnsiString& Separator) const override {
    return Index == 0 ? path + Separator + text : AnsiString();
  }
  AnsiString GetItemText(int Index) const override { return Index == 0 ? text : AnsiString(); }
  const TFoodRec* GetItemData(int Index) override { return Index == 0 && picked ? &rec : nullptr; }

  std::vector<std::string> calls;
  int result = mrOk;
  bool picked = true;
  TFoodRec rec{};
  AnsiString text, path;
};

std::vector<std::string> ComboItems(const QComboBox* box) {
  std::vector<std::string> items;
  for (int i = 0; i < box->count(); ++i) items.push_back(Utf8(box->itemText(i)));
  return items;
}

std::vector<std::string> ShownTexts(TScriptedDialogsScope& dialogs) {
  std::vector<std::string> texts;
  for (const TDialogRequest& r : dialogs->Shown()) texts.push_back(Utf8(r.Text));
  return texts;
}

// --- find

TEST(FindDlg, ControlsFollowTheModelAndOkChecksTheInput) {
  TScriptedDialogsScope dialogs;
  TFindDlgModel model;
  TScriptedPick pick;
  pick.rec.Code = 42;
  pick.rec.Veight = 30;
  pick.text = Ansi("Хлеб");
  TFindDlg dlg(model, &pick);
  dialogs->Answer(mrOk);  // the two refusals below
  dialogs->Answer(mrOk);
  EXPECT_EQ(Utf8(dlg.windowTitle()), "Поиск");
  EXPECT_EQ(ComboItems(dlg.cbItemType), (std::vector<std::string>{"продукт", "блюдо"}));
  EXPECT_EQ(ComboItems(dlg.cbCond), (std::vector<std::string>{"=", "<>"}));
  EXPECT_FALSE(dlg.cbRepItem->isEnabled());
  EXPECT_TRUE(dlg.cbCaseSens->isVisibleTo(&dlg));
  EXPECT_TRUE(Drawn(Shot(dlg, "find")));

  // A numeric field: the orderings are offered, case sensitivity is not.
  dlg.cbField->setCurrentIndex(fdVeight);
  dlg.cbFieldChange();
  EXPECT_EQ(ComboItems(dlg.cbCond).size(), 6u);
  EXPECT_FALSE(dlg.cbCaseSens->isVisibleTo(&dlg));

  // Replace mode: caption, group caption, the replacement controls.
  dlg.cbxReplace->click();
  EXPECT_EQ(Utf8(dlg.windowTitle()), "Поиск и замена");
  EXPECT_EQ(Utf8(dlg.rgRegion->title()), "Искать и заменять");
  EXPECT_TRUE(dlg.cbRepItem->isEnabled());
  EXPECT_TRUE(dlg.edRepValue->isVisibleTo(&dlg));

  // OK with a value that is not a number: the message, the dialog stays open.
  dlg.edCondValue->setText("12,5");
  dlg.Button1->click();
  EXPECT_EQ(ShownTexts(dialogs), std::vector<std::string>{"Значение для поля \"вес\" должно быть целым числом."});
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  // Without a replacement: refused (every match would become an empty row).
  dlg.edCondValue->setText("100");
  dlg.Button1->click();
  EXPECT_EQ(ShownTexts(dialogs).back(), "Не выбран продукт, на который заменять найденные.");

  // The pick-list chooses it; Backspace clears it again.
  dlg.cbRepItem->DoClick();
  EXPECT_EQ(pick.calls, std::vector<std::string>{"0:Заменить на"});
  EXPECT_EQ(Utf8(dlg.cbRepItem->Text()), "Хлеб");
  QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
  QApplication::sendEvent(dlg.cbRepItem, &backspace);
  EXPECT_EQ(dlg.cbRepItem->Text(), "");
  dlg.cbRepItem->DoClick();
  dlg.edRepValue->setText("*");
  EXPECT_TRUE(Drawn(Shot(dlg, "find-replace")));
  dlg.Button1->click();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  const TFindCondition& c = model.Condition();
  EXPECT_TRUE(c.Replace);
  EXPECT_TRUE(c.KeepVeight);
  EXPECT_EQ(c.IntValue, 100);
  const std::int32_t repCode = c.RepRec.Code;
  EXPECT_EQ(repCode, 42);

  // A dish search hides the weight and empties the replacement.
  dlg.cbItemType->setCurrentIndex(1);
  dlg.cbItemTypeChange();
  EXPECT_FALSE(dlg.edRepValue->isVisibleTo(&dlg));
  EXPECT_FALSE(dlg.lblRepValue->isVisibleTo(&dlg));
  EXPECT_EQ(dlg.cbRepItem->Text(), "");

  // Help: no help window installed gives a message; the program's handler gets 2300.
  dialogs->Answer(mrOk);
  dlg.btnHelp->click();
  EXPECT_EQ(ShownTexts(dialogs).back(), "Справка (раздел 2300) не установлена.");
  std::vector<int> help;
  dlg.OnHelp = [&](int context) { help.push_back(context); };
  dlg.btnHelp->click();
  EXPECT_EQ(help, std::vector<int>{kFindHelpContext});
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

TEST(FindDlg, ReplacingAsksThroughTheConfirmationDialog) {
  TScriptedDialogsScope dialogs;
  TRationDocument doc;
  TMtTreeItem* day = doc.AddItem(nullptr, "", nullptr, fkDay, 0);
  TFoodRec r{};
  r.Veight = 100;
  for (const char* name : {"Сухари", "Сушки", "Сухари ржаные"}) doc.AddItem(day, Ansi(name), &r, fkProduct, 1);
  TRationFinder finder(doc);
  TFindDlgModel model;
  model.SetCondValue(Ansi("Сухари*"));
  model.SetReplace(true);
  TFoodRec rep{};
  rep.Code = 9;
  model.SetReplacement(rep, Ansi("Галеты"));
  model.SetRepValue("50");
  ASSERT_TRUE(model.Check().Ok);
  finder.Condition = model.Condition();
  TReplaceConfirmDlg confirm;
  dialogs->Answer(mrNo);
  dialogs->Answer(mrYesToAll);
  dialogs->Answer(mrOk);  // the count
  EXPECT_EQ(ItemFindNextExecute(finder, confirm), 1);
  ASSERT_EQ(dialogs->Shown().size(), 3u);
  const TDialogRequest& q = dialogs->Shown()[0];
  EXPECT_EQ(q.Type, TMsgDlgType::mtConfirmation);
  EXPECT_EQ(q.Buttons, (std::vector<int>{mrYes, mrNo, mrCancel, mrYesToAll}));
  EXPECT_EQ(Utf8(q.Text), "Найдено: Сухари (100 г);\rЗаменить на : Галеты (50 г) ?");
  EXPECT_EQ(Utf8(dialogs->Shown()[2].Text), "Выполнено замен: 1 ");
  EXPECT_EQ(Utf8(day->GetChildren(2)->Text()), "Галеты");
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

// --- ration properties

TEST(RaskladPropForm, ShowsTheValuesAndAppliesTheTypeOnlyOnOk) {
  TRationDocument doc;
  doc.SetRationType(rtDayMenu);
  doc.Header.RefCal = 3100;
  doc.Header.RefAlb = 150;
  doc.Header.RefFat = 180;
  doc.Header.RefCarb = 690;
  TRaskladPropForm form;
  form.Prepare(doc);
  EXPECT_EQ(Utf8(form.windowTitle()), "Свойства раскладки");
  EXPECT_TRUE(form.rbDayMenu->isChecked());
  ASSERT_EQ(form.lvParams->topLevelItemCount(), 9);
  std::vector<std::string> values;
  for (int i = 0; i < 9; ++i) values.push_back(Utf8(form.lvParams->topLevelItem(i)->text(1)));
  EXPECT_EQ(values, (std::vector<std::string>{"3100", "150.00", "180.00", "690.00", "0.30", "70000", "0.50", "0.75",
                                              "0.80"}));
  EXPECT_TRUE(Drawn(Shot(form, "rasklad-prop")));
  form.PageControl1->setCurrentIndex(1);
  EXPECT_TRUE(Drawn(Shot(form, "rasklad-prop-values")));

  // Cancel: the radio choice changed, the document did not.
  form.rbAverage->click();
  form.btnCancel->click();
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_EQ(doc.RationType(), rtDayMenu);

  form.Prepare(doc);
  EXPECT_TRUE(form.rbDayMenu->isChecked());
  form.rbAverage->click();
  form.btnOk->click();
  ASSERT_EQ(form.result(), QDialog::Accepted);
  EXPECT_TRUE(form.ApplyTo(doc));
  EXPECT_EQ(doc.RationType(), rtAverage);
  EXPECT_EQ(doc.Modified, 1);
  std::vector<int> help;
  form.OnHelp = [&](int context) { help.push_back(context); };
  form.btnHelp->click();
  EXPECT_EQ(help, std::vector<int>{2200});
}

// --- options

class OptionsFormTest : public ::testing::Test {
 protected:
  std::unique_ptr<TdmGlobals> NewGlobals(TSettingsStore& store) {
    TGlobalsEnvironment env;
    env.Store = &store;
    env.UserDataDir = tmp_.Path() + "/data/";
    env.IsWritable = [](std::string_view) { return true; };
    auto globals = std::make_unique<TdmGlobals>(env);
    globals->dmGlobalsCreate();
    return globals;
  }
  void SetUp() override { globals_ = NewGlobals(store_); }
  TempDir tmp_;
  TSettingsStore store_{tmp_.Path() + "/settings.ini"};
  std::unique_ptr<TdmGlobals> globals_;
};

TEST_F(OptionsFormTest, OkStoresTheDirectoriesWithTheirSeparatorAndWritesTheStore) {
  TScriptedDialogsScope dialogs;
  TScriptedPick pick;
  pick.path = Ansi("Лыжный");
  pick.text = Ansi("2 к.с.");
  pick.rec.Cal = 4000;
  pick.rec.AlbA = 120;
  pick.rec.FatA = 140;
  pick.rec.Carb = 550;
  TOptionsForm form(&pick);
  form.Prepare(globals_->Settings);
  EXPECT_EQ(Utf8(form.windowTitle()), "Параметры");
  EXPECT_EQ(form.DirectoryEdit[0]->Text(), globals_->Settings.General.RefDir);
  EXPECT_EQ(form.SpinEdit2->value(), globals_->Settings.Defaults.DfltDays);
  EXPECT_TRUE(Drawn(Shot(form, "options")));
  form.PageControl1->setCurrentIndex(1);
  EXPECT_TRUE(Drawn(Shot(form, "options-rations")));

  // A key in a directory edit opens the folder dialog (typing changes nothing); the
  // folder comes back without "/".
  const AnsiString refDir = tmp_.Path() + "/ref";
  ASSERT_TRUE(ForceDirectories(refDir));
  dialogs->AnswerDirectory(refDir);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(form.DirectoryEdit[0], &key);
  ASSERT_EQ(dialogs->DirectoryDialogs().size(), 1u);
  EXPECT_EQ(Utf8(dialogs->DirectoryDialogs()[0].first), "Укажите каталог, в котором находятся справочники:");
  EXPECT_EQ(form.DirectoryEdit[0]->Text(), refDir);
  // A cancelled folder dialog changes nothing.
  dialogs->AnswerDirectory(std::nullopt);
  form.DirectoryEdit[1]->DoClick();
  EXPECT_EQ(form.DirectoryEdit[1]->Text(), globals_->Settings.General.DataDir);

  // A Cyrillic key in the kind-of-trip field opens the pick-list; a blank does not.
  QKeyEvent blank(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
  QApplication::sendEvent(form.ComboEdit1, &blank);
  EXPECT_TRUE(pick.calls.empty());
  QKeyEvent cyr(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("л"));
  QApplication::sendEvent(form.ComboEdit1, &cyr);
  EXPECT_EQ(pick.calls, std::vector<std::string>{"4:"});
  EXPECT_EQ(Utf8(form.ComboEdit1->Text()), "Лыжный; 2 к.с.");
  form.CheckBox3->setChecked(false);
  form.SpinEdit1->setValue(7);

  form.btnOkClick(*globals_);
  const TAppSettings& s = globals_->Settings;
  EXPECT_EQ(s.General.RefDir, refDir + "/");
  EXPECT_FALSE(s.General.PackRef);
  EXPECT_EQ(s.Defaults.DfltMans, 7);
  EXPECT_EQ(s.Defaults.DfltRefCal, 4000);
  EXPECT_EQ(Utf8(s.Defaults.DfltTourName), "Лыжный; 2 к.с.");
  // Written: a new data module reads the same.
  TSettingsStore reread(tmp_.Path() + "/settings.ini");
  const std::unique_ptr<TdmGlobals> again = NewGlobals(reread);
  EXPECT_EQ(again->Settings.General.RefDir, refDir + "/");
  EXPECT_EQ(again->Settings.Defaults.DfltMans, 7);
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

TEST_F(OptionsFormTest, CancelLeavesTheSettings) {
  TScriptedDialogsScope dialogs;
  TScriptedPick pick;
  pick.path = Ansi("Горный");
  pick.text = Ansi("3 к.с.");
  pick.rec.Cal = 4500;
  const TAppSettings before = globals_->Settings;
  TOptionsForm form(&pick);
  form.Prepare(globals_->Settings);
  form.ComboEdit1->DoClick();
  form.SpinEdit2->setValue(3);
  form.btnCancel->click();
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_EQ(globals_->Settings.Defaults.DfltTourName, before.Defaults.DfltTourName);
  EXPECT_EQ(globals_->Settings.Defaults.DfltRefCal, before.Defaults.DfltRefCal);
  EXPECT_EQ(globals_->Settings.Defaults.DfltDays, before.Defaults.DfltDays);
  // The next showing starts from the settings again.
  form.Prepare(globals_->Settings);
  EXPECT_EQ(form.ComboEdit1->Text(), before.Defaults.DfltTourName);
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

// --- about

TEST(AboutDlg, LabelsAreCentredAndTheSystemRowsListed) {
  TAboutDlg dlg;
  TSystemVersion v;
  v.Name = "Debian GNU/Linux 12 (bookworm)";
  v.Version = "6.1.0-18-amd64";
  v.Machine = "x86_64";
  TMemoryStatus m;
  m.TotalPhys = 65536;
  m.AvailPhys = 16384;
  dlg.Prepare("Tarnwick", "1.0.0.0", "Copyright (C) 2026 Tarnwick Project", v, m);
  EXPECT_EQ(Utf8(dlg.windowTitle()), "Информация");
  EXPECT_EQ(Utf8(dlg.lblProgVer->text()), "версия 1.0.0.0");
  for (QLabel* l : {dlg.lblProgTitle1, dlg.Label1, dlg.lblProgVer, dlg.lblCopyright, dlg.lblURL, dlg.lblEMail})
    EXPECT_EQ(l->x(), CenteredLeft(l->parentWidget()->width(), l->width())) << Utf8(l->objectName());
  EXPECT_EQ(dlg.lblProgTitle2->pos(), dlg.lblProgTitle1->pos() + QPoint(2, 2));
  ASSERT_EQ(dlg.lvSysInfo->topLevelItemCount(), 3);
  EXPECT_EQ(Utf8(dlg.lvSysInfo->topLevelItem(0)->text(1)), "OS name :");
  EXPECT_EQ(Utf8(dlg.lvSysInfo->topLevelItem(1)->text(1)), "OS version :");
  EXPECT_EQ(Utf8(dlg.lvSysInfo->topLevelItem(2)->text(1)), "Physical memory :");
  EXPECT_EQ(Utf8(dlg.lvSysInfo->topLevelItem(2)->text(2)), "65536 K; 16384 K free (25%)");
  EXPECT_TRUE(dlg.lvSysInfo->isColumnHidden(0));
  EXPECT_TRUE(Drawn(Shot(dlg, "about")));
  // The running system, as the box shows it.
  dlg.Prepare("Tarnwick", "1.0.0.0", "Copyright (C) 2026 Tarnwick Project", GetSystemVersion(), GetMemoryStatus());
  dlg.PageControl1->setCurrentIndex(1);
  EXPECT_TRUE(Drawn(Shot(dlg, "about-system")));
}

}  // namespace
