#include "planner/ration/FrmRaskladPropModel.h"

#include "planner/reference/FrmRefEditModel.h"
#include "platform/core/SysUtils.h"

std::vector<AnsiString> TRaskladPropModel::RationTypeItems() {
  return {Ansi(" Меню по дням"), Ansi(" Среднесуточный рацион")};
}

AnsiString TRaskladPropModel::Caption() { return Ansi("Свойства раскладки"); }

std::vector<AnsiString> TRaskladPropModel::PageCaptions() { return {Ansi("Общие"), Ansi("Справочные значения")}; }

std::vector<AnsiString> TRaskladPropModel::ListCaptions() {
  return {Ansi("Наименование параметра"), Ansi("Значение")};
}

void TRaskladPropModel::Load(const TRationDocument& Doc) {
  typeIndex_ = Doc.RationType() == rtDayMenu ? 0 : 1;
  const TRationHeader& h = Doc.Header;
  rows_.clear();
  auto add = [this](const char* caption, const AnsiString& value) { rows_.push_back({Ansi(caption), value}); };
  auto fixed = [](double v) { return Format("%3.2f", {v}); };
  add("Энергозатраты, ККал", Format("%d", {h.RefCal}));
  add("Потребность в белках, г", fixed(h.RefAlb));
  add("Потребность в жирах, г", fixed(h.RefFat));
  add("Потребность в углеводах, г", fixed(h.RefCarb));
  // The limits as the limits page shows them.
  for (int i = 0; i < 5; ++i) rows_.push_back({ParamCaption(i), LimitText(h.Limits, i)});
}

bool TRaskladPropModel::Apply(TRationDocument& Doc) const {
  const std::uint8_t type = ChosenRationType();
  if (type == Doc.RationType()) return false;
  Doc.SetRationType(type);
  Doc.SetRecalcFlags();
  Doc.Modified = 1;
  return true;
}
