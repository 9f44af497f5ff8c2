// The ration properties dialog without windows: the ration type the user may change and
// the document's reference values (read-only rows). Load copies them from a document;
// Apply writes the chosen type back when the dialog closes with OK (Cancel applies
// nothing, so the document stays as it was).
#pragma once

#include <cstdint>
#include <vector>

#include "planner/ration/RationDoc.h"

struct TRaskladPropRow {
  AnsiString Caption;  // 1251
  AnsiString Value;
};

class TRaskladPropModel {
 public:
  // The radio items (1251): 0 " Меню по дням" (ration type 1), 1 " Среднесуточный рацион".
  static std::vector<AnsiString> RationTypeItems();
  static AnsiString Caption();  // "Свойства раскладки"
  static std::vector<AnsiString> PageCaptions();
  static std::vector<AnsiString> ListCaptions();  // the list's two column captions

  // Fills the radio choice and the nine rows from the document.
  void Load(const TRationDocument& Doc);
  int RationTypeIndex() const { return typeIndex_; }
  void SetRationTypeIndex(int Index) { typeIndex_ = Index == 0 ? 0 : 1; }
  std::uint8_t ChosenRationType() const { return typeIndex_ == 0 ? rtDayMenu : rtAverage; }
  const std::vector<TRaskladPropRow>& Rows() const { return rows_; }

  // OK: a changed type goes to the document, which is then modified (its type is part of
  // the file). True when the type changed: the window applies the pages, colours and
  // totals that follow it.
  bool Apply(TRationDocument& Doc) const;

 private:
  int typeIndex_ = 0;
  std::vector<TRaskladPropRow> rows_;
};
