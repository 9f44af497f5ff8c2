// Feeds arbitrary bytes to the reference trees as one of the tables of a reference
// directory whose other tables are sound, then builds the trees as the program does: the
// pick-list (four tables, picks, header sorts, dish compositions read from "dishcomp")
// and the reference editor (four tables, every dish with its components). The first byte
// of an input picks the table (modulo 5: products, dish, meal, energo, dishcomp); the
// rest are its bytes. A table that cannot be read is the prompt's business; a crash, a
// sanitizer report, a hang or a row without its record is a fault. Shared by the
// libFuzzer target and the tests that replay what it found.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "../FuzzWorkDir.h"
#include "planner/app/UserPrompt.h"
#include "planner/reference/FrmRefEditModel.h"
#include "planner/reference/RefItems.h"
#include "planner/reference/RefMenu.h"
#include "platform/core/Classes.h"
#include "platform/core/Files.h"
#include "refdata/RefBuild.h"
#include "refdata/RefSource.h"

namespace ref_fuzz {

// The text of the first broken promise; empty when every one holds.
using TFault = std::string;

inline constexpr int kTableCount = 5;
inline constexpr const char* kTables[kTableCount] = {"products", "dish", "meal", "energo", "dishcomp"};

// Small sound tables in the format of data/ (rows of the shipped data).
inline constexpr const char* kFoodHeader =
    "CODE:N10|OWNER:N10|FLAGS:N5|NAME:C60|CAL:N6|ALBA:N8.2|ALBV:N8.2|FATA:N8.2|FATV:N8.2|CARB:N8.2|VEIGHT:N6\n";
inline constexpr const char* kSources[kTableCount] = {
    "1000|0|1|Крупы, мука и бобовые|||||||\n"
    "1001|1000|0|Гречка ядрица|308|0.00|12.60|0.00|3.30|57.10|80\n"
    "1002|1000|0|Гречка продел|296|0.00|9.50|0.00|2.30|60.40|80\n"
    "4000|0|1|Мясо и рыба|||||||\n"
    "4100|4000|1|Мясные консервы|||||||\n"
    "4101|4100|0|Тушёнка говяжья|220|16.80|0.00|17.00|0.00|0.00|80\n"
    "6000|0|1|Масло и жиры|||||||\n"
    "6001|6000|0|Масло сливочное 82,5%|748|0.60|0.00|82.50|0.00|0.80|20\n"
    "12000|0|1|Соль, специи, приправы|||||||\n"
    "12001|12000|0|Соль поваренная|0|0.00|0.00|0.00|0.00|0.00|10\n",
    "100|0|1|Каши|||||||\n"
    "101|100|0|Каша гречневая с тушёнкой|422|11.76|10.08|11.90|2.64|45.68|153\n"
    "102|100|0|Каша гречневая с маслом|358|0.09|10.08|12.38|2.64|45.80|98\n",
    "1|0|0|Завтрак|||||||\n"
    "2|0|0|Обед|||||||\n"
    "3|0|0|Ужин|||||||\n"
    "4|0|0|Перекус|||||||\n",
    "CODE:N10|OWNER:N10|FLAGS:N5|NAME:C60|CAL:N6|ALB:N8.2|FAT:N8.2|CARB:N8.2\n"
    "10|0|1|Пешеходный||||\n"
    "11|10|0|н.к.|2800|84.00|101.00|388.00\n"
    "12|10|0|1 к.с.|3100|93.00|112.00|430.00\n",
    "DISHCODE:N10|PRODCODE:N10|VEIGHT:N6\n"
    "101|1001|80\n"
    "101|4101|70\n"
    "101|12001|3\n"
    "102|1001|80\n"
    "102|6001|15\n"
    "102|12001|3\n"};

// The source text of a table (the food tables share their header).
inline std::string SourceText(int table) {
  return table == 3 || table == 4 ? std::string(kSources[table]) : std::string(kFoodHeader) + kSources[table];
}

inline std::string ReadWholeFile(const AnsiString& name) {
  TMemoryStream m;
  m.LoadFromFile(name);
  return m.Bytes();
}

// Answers every message with its first button and counts them.
class TQuietPrompt : public IUserPrompt {
 public:
  TModalResult MessageDlg(const AnsiString&, TMsgDlgType, TMsgDlgButtons) override {
    ++Shown;
    return mrOk;
  }
  int Shown = 0;
};

// Every row of a tree carries its record; components sit directly under a dish.
inline TFault CheckTree(const TCustomMtTree& tree, const char* what) {
  for (TMtTreeItem* item = tree.Items()->GetItem(0); item != nullptr; item = item->GetNext()) {
    const TRefItemRec* rec = RefRecOf(item);
    if (rec == nullptr) return std::string(what) + ": a row without its record";
    if (rec->Kind == fkProduct) {
      const TRefItemRec* owner = RefRecOf(item->GetParent());
      if (owner == nullptr || owner->Kind != fkDish) return std::string(what) + ": a component outside a dish";
    }
  }
  return {};
}

class TRefDirFuzz {
 public:
  // Builds the sound tables once, in `dir`/sound; the inputs go to `dir`/ref.
  explicit TRefDirFuzz(const std::string& dir) : refDir_(AnsiPath(dir + "/ref/")) {
    const AnsiString sound = AnsiPath(dir + "/sound/");
    std::filesystem::create_directories(SysPath(sound));
    std::filesystem::create_directories(SysPath(refDir_));
    for (int t = 0; t < kTableCount; ++t) {
      const AnsiString file = sound + kTables[t] + ".DBF";
      std::filesystem::remove(SysPath(file));
      refdata::WriteRefTable(refdata::TRefSource::Parse(SourceText(t), kTables[t]), file);
      sound_[static_cast<std::size_t>(t)] = ReadWholeFile(file);
    }
    fuzz_support::WriteWholeFile(SysPath(refDir_ + kLimitsFileName), "[Limits]\nMaxAbsEnDef=70000\n");
  }

  // A starting input: the sound table `table` as it is.
  std::string Seed(int table) const {
    return std::string(1, static_cast<char>(table)) + sound_[static_cast<std::size_t>(table)];
  }

  TFault Run(std::string_view input) const {
    if (input.empty()) return {};
    const int damaged = static_cast<unsigned char>(input[0]) % kTableCount;
    for (int t = 0; t < kTableCount; ++t)
      fuzz_support::WriteWholeFile(SysPath(refDir_ + kTables[t] + ".DBF"),
                                   t == damaged ? input.substr(1) : sound_[static_cast<std::size_t>(t)]);
    TQuietPrompt prompt;
    std::array<TCustomMtTree, kRefPageCount> trees;
    TRefMenu menu({&trees[0], &trees[1], &trees[2], &trees[3]}, refDir_, prompt);
    for (int p = 0; p < kRefPageCount; ++p)
      if (TFault fault = CheckTree(trees[static_cast<std::size_t>(p)], "pick-list"); !fault.empty()) return fault;
    if (TFault fault = UsePickList(menu, trees); !fault.empty()) return fault;

    TRationLimits limits = menu.Limits;
    TRefEditModel editor(refDir_, limits, prompt, &menu, {nullptr, nullptr, nullptr, nullptr, nullptr});
    editor.Create();
    for (int p = 0; p < rpParam; ++p) {
      if (TFault fault = CheckTree(editor.Tree(p), "editor"); !fault.empty()) return fault;
      editor.SetActivePage(p);
      (void)editor.Actions();
    }
    return {};
  }

 private:
  // Every page picked whole, its picks collected with their paths, each column sorted;
  // the compositions of the first dishes.
  static TFault UsePickList(TRefMenu& menu, std::array<TCustomMtTree, kRefPageCount>& trees) {
    static constexpr int kPages[kRefPageCount] = {ppProducts, ppDishes, ppMeals, ppKindsOfTrip};
    for (int p = 0; p < kRefPageCount; ++p) {
      menu.BeginExecute(kPages[p]);
      menu.CheckAll(p, 1);
      if (menu.CloseQuery(mrOk)) {
        menu.EndExecute(mrOk);
        for (int i = 0; i < menu.PickCount(); ++i) {
          (void)menu.GetItemText(i);
          (void)menu.GetItemPath(i, "/");
          if (menu.GetItemData(i) == nullptr) return "a pick without its record";
        }
      } else {
        menu.EndExecute(mrCancel);
      }
      TCustomMtTree& tree = trees[static_cast<std::size_t>(p)];
      for (int s = 0; s < tree.SectionCount(); ++s) menu.SortByColumn(p, s);
    }
    int dishes = 0;
    for (TMtTreeItem* item = trees[1].Items()->GetItem(0); item != nullptr && dishes < 4; item = item->GetNext()) {
      const TRefItemRec* rec = RefRecOf(item);
      if (rec == nullptr || (rec->Flags & ffGroup) != 0) continue;
      ++dishes;
      for (const TDishComponent& c : menu.Components(rec->Code)) {
        AnsiString name;
        TFoodRec food{};
        (void)menu.FindProduct(c.ProdCode, name, food);
      }
    }
    return {};
  }

  AnsiString refDir_;
  std::array<std::string, kTableCount> sound_;
};

}  // namespace ref_fuzz
