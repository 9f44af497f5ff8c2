// Scripted stand-ins for what the ration editor asks of its window: the pick-list and the
// dish tables. The message dialogs are the reference tests' scripted prompt.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "TestFood.h"
#include "planner/ration/RationEdit.h"
#include "planner/reference/RefTestSupport.h"

namespace edit_test {

using ref_test::TScriptedPrompt;
using ref_test::Utf8;

struct TPick {
  AnsiString Text;
  TFoodRec Rec;
  AnsiString Path;
};

// Answers every Execute with Result and the picks queued for it.
class TScriptedPicker : public IRefPicker {
 public:
  TModalResult Execute(int Page, const AnsiString&) override {
    pages.push_back(Page);
    current.clear();
    if (!queued.empty()) {
      current = queued.front();
      queued.erase(queued.begin());
    }
    return result;
  }
  int PickCount() const override { return static_cast<int>(current.size()); }
  AnsiString GetItemText(int i) const override { return current.at(static_cast<std::size_t>(i)).Text; }
  AnsiString GetItemPath(int i, const AnsiString&) const override { return current.at(static_cast<std::size_t>(i)).Path; }
  const TFoodRec* GetItemData(int i) override { return &current.at(static_cast<std::size_t>(i)).Rec; }

  TModalResult result = mrOk;
  std::vector<std::vector<TPick>> queued;
  std::vector<TPick> current;
  std::vector<int> pages;
};

// A product of the reference tables: name, code and values.
inline TPick Product(const char* name, std::int32_t code, std::int32_t cal, std::int32_t veight, double alb = 0,
                     double fat = 0, double carb = 0) {
  TFoodRec r = Food(cal, veight, alb, 0, fat, 0, carb);
  r.Code = code;
  r.Kind = fkRefRow;
  return {Ansi(name), r, Ansi(name)};
}

class TFakeDishes : public IDishComposition {
 public:
  std::vector<TDishComponent> Components(std::int32_t dishCode) override { return comps[dishCode]; }
  bool FindProduct(std::int32_t code, AnsiString& name, TFoodRec& rec) override {
    auto it = products.find(code);
    if (it == products.end()) return false;
    name = it->second.Text;
    rec = it->second.Rec;
    return true;
  }
  std::map<std::int32_t, std::vector<TDishComponent>> comps;
  std::map<std::int32_t, TPick> products;
};

// A document with its views and an editor over scripted services.
struct TEditFixture {
  TRationDocument doc;
  TRationViews views{doc};
  TScriptedPicker picker;
  TFakeDishes dishes;
  TScriptedPrompt prompt;
  TRationEditor editor{doc, views, picker, dishes, prompt};

  // A new document of `days` days of the given type.
  explicit TEditFixture(int days = 2, std::uint8_t type = rtDayMenu) {
    TNewRationDefaults d;
    d.DayMenuMode = type == rtDayMenu;
    d.Days = days;
    d.Mans = 3;
    d.TourName = "t";
    editor.NewRation(d);
  }
  TMtTreeItem* Day(int i) const { return doc.Items()->Root()->GetChildren(i); }
  void Focus(TMtTreeItem* item) {
    doc.Tree().SetItemFocused(item);
    editor.ItemFocused();
  }
};

}  // namespace edit_test
