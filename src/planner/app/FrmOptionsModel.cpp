#include "planner/app/FrmOptionsModel.h"

#include <algorithm>
#include <limits>
#include <map>
#include <string>

#include "planner/app/UserPrompt.h"
#include "planner/ration/RationEdit.h"

AnsiString TOptionsModel::Text(std::string_view Name) {
  static const std::map<std::string, const char*, std::less<>> kTexts = {
      {"OptionsForm.Caption", "Параметры"},
      {"tsGeneral.Caption", "Общие"},
      {"tsRations.Caption", "Раскладки"},
      {"DirectoryEdit1.Label", "Каталог справочников :"},
      {"DirectoryEdit1.Hint", "Каталог, в котором находятся справочники программы"},
      {"DirectoryEdit1.DialogText", "Укажите каталог, в котором находятся справочники:"},
      {"DirectoryEdit2.Label", "Каталог раскладок :"},
      {"DirectoryEdit2.Hint", "Каталог, в котором (по умолчанию) хранятся составляемые раскладки"},
      {"DirectoryEdit2.DialogText", "Укажите каталог, в который по умолчанию будут записываться раскладки:"},
      {"DirectoryEdit3.Label", "Каталог примеров :"},
      {"DirectoryEdit3.DialogText", "Каталог с примерами раскладок"},
      {"CheckBox1.Caption", "Всплывающие  подсказки"},
      {"CheckBox1.Hint", "Отображать или нет всплывающие подсказки к элементам управления"},
      {"CheckBox2.Caption", "Создавать резервные копии"},
      {"CheckBox2.Hint", "Создавать или нет резервные копии изменяемых раскладок и справочников"},
      {"CheckBox3.Caption", "Упаковывать справочники"},
      {"CheckBox3.Hint", "Упаковывать или нет справочники при сохранении после корректировки"},
      {"RadioGroup1.Caption", "Тип раскладки по умолчанию"},
      {"RadioGroup1.Hint", "Какого типа (по умолчанию) будут создаваться новые раскладки"},
      {"ComboEdit1.Label", "Вид туризма и категория сложности :"},
      {"ComboEdit1.Hint", "Этот вид туризма и категория сложности будут по умолчанию проставляться в новые раскладки"},
      {"SpinEdit1.Label", "Количество участников :"},
      {"SpinEdit1.Hint", "Это количество участников будет по умолчанию проставляться в новые раскладки"},
      {"SpinEdit2.Label", "Продолжительность путешествия, дней :"},
      {"SpinEdit2.Hint", "Эта продолжительность будет по умолчанию проставляться в новые раскладки"},
      {"Edit1.Label", "Составитель :"},
      {"Edit1.Hint", "Этот текст по умолчанию будет проставляться в поле Составитель новых раскладок"},
      {"btnOk.Caption", "OK"},
      {"btnOk.Hint", "Сохранить изменения"},
      {"btnCancel.Caption", "Отказ"},
      {"btnCancel.Hint", "Отказаться от изменений параметров"},
      {"Button3.Caption", "Пояснить"},
      {"Button3.Hint", "Справочная информация по данному окну"},
  };
  auto it = kTexts.find(Name);
  return it != kTexts.end() ? Ansi(it->second) : AnsiString();
}

std::vector<AnsiString> TOptionsModel::RationTypeItems() {
  return {Ansi(" Меню по дням"), Ansi(" Среднесуточный рацион")};
}

void TOptionsModel::Load(const TAppSettings& Settings) {
  const TGeneralSettings& g = Settings.General;
  const TDocumentDefaults& d = Settings.Defaults;
  RefDir = g.RefDir;
  DataDir = g.DataDir;
  ExampleDir = g.ExampleDir;
  ShowHint = g.ShowHint;
  CreateBakFiles = g.CreateBakFiles;
  PackRef = g.PackRef;
  RationTypeIndex = g.DayMenuMode ? 0 : 1;
  TourName = d.DfltTourName;
  Mans = std::max<std::int32_t>(d.DfltMans, 1);
  Days = std::clamp<std::int32_t>(d.DfltDays, 1, kMaxDfltDays);
  Author = d.DfltAuthor;
  RefCal = d.DfltRefCal;
  RefAlb = d.DfltRefAlb;
  RefFat = d.DfltRefFat;
  RefCarb = d.DfltRefCarb;
}

bool TOptionsModel::PickTour(IRefPicker& PickList) {
  if (PickList.Execute(4, AnsiString()) != mrOk || PickList.PickCount() <= 0) return false;
  const TFoodRec* data = PickList.GetItemData(0);
  if (data == nullptr) return false;
  const TFoodRec rec = *data;
  TourName = PickList.GetItemPath(0, "; ");
  RefCal = rec.Cal;
  RefAlb = rec.AlbA + rec.AlbV;
  RefFat = rec.FatA + rec.FatV;
  RefCarb = rec.Carb;
  return true;
}

bool TOptionsModel::TourKeyOpensPick(unsigned char Key) {
  return (Key >= '0' && Key <= '9') || (Key >= 'A' && Key <= 'Z') || (Key >= 'a' && Key <= 'z') || Key > 191;
}

AnsiString TOptionsModel::DirectorySetting(const AnsiString& Text, const AnsiString& Previous) {
  if (Text.empty()) return Previous;
  if (Text.back() == '/' || Text.back() == '\\') return Text;
  return Text + "/";
}

void TOptionsModel::Apply(TAppSettings& Settings) const {
  TGeneralSettings& g = Settings.General;
  TDocumentDefaults& d = Settings.Defaults;
  g.RefDir = DirectorySetting(RefDir, g.RefDir);
  g.DataDir = DirectorySetting(DataDir, g.DataDir);
  g.ExampleDir = DirectorySetting(ExampleDir, g.ExampleDir);
  g.ShowHint = ShowHint;
  g.CreateBakFiles = CreateBakFiles;
  g.PackRef = PackRef;
  g.DayMenuMode = RationTypeIndex == 0;
  d.DfltTourName = TourName;
  d.DfltRefCal = RefCal;
  d.DfltRefAlb = RefAlb;
  d.DfltRefFat = RefFat;
  d.DfltRefCarb = RefCarb;
  d.DfltMans = std::max<std::int32_t>(Mans, 1);
  d.DfltDays = std::clamp<std::int32_t>(Days, 1, kMaxDfltDays);
  d.DfltAuthor = Author;
}
