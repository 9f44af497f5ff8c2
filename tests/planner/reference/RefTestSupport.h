// Helpers of the reference-table tests: small tables written from source text, header
// sections bound to fields, a scripted message prompt, and whole-table dumps read back
// through the dataset.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <exception>
#include <type_traits>
#include <string>
#include <vector>

#include "planner/app/UserPrompt.h"
#include "planner/reference/Ref.h"
#include "platform/core/Files.h"
#include "refdata/RefBuild.h"
#include "refdata/RefSource.h"
#include "tables/DbfDB.h"

namespace ref_test {

// Writes the table `dir` + name + ".DBF" from source text in the data/ format (UTF-8).
inline void MakeTable(const AnsiString& dir, const char* name, std::string_view utf8) {
  const refdata::TRefSource source = refdata::TRefSource::Parse(utf8, name);
  refdata::WriteRefTable(source, IncludeTrailingPathDelimiter(dir) + name + ".DBF");
}

inline TMtHeaderSection* AddSection(TCustomMtTree& tree, const char* fieldName, TFieldTypes type) {
  TMtHeaderSection* s = tree.HeaderSections()->AddSection();
  s->SetFieldName(fieldName);
  s->SetFieldType(type);
  return s;
}

// The sections an editor tree shows for a table: "NAME" first (the main column), then
// every other field but CODE, OWNER and FLAGS, typed by the field.
inline void AddSectionsForTable(TCustomMtTree& tree, const AnsiString& fileName) {
  TDbfDataSet ds;
  BindRefTable(ds, fileName);
  ds.Open();
  AddSection(tree, "NAME", sftText);
  for (int i = 0; i < ds.FieldCount(); ++i) {
    const TField& f = ds.Fields(i);
    const AnsiString& n = f.FieldName();
    if (n == "CODE" || n == "OWNER" || n == "FLAGS" || n == "NAME") continue;
    const TFieldType t = f.DataType();
    AddSection(tree, n.c_str(),
               t == TFieldType::ftString ? sftText : t == TFieldType::ftFloat ? sftFloating : sftNumber);
  }
}

// Every record as the texts of its fields ("<null>" for a field without value).
struct TTableDump {
  std::vector<AnsiString> Fields;
  std::vector<std::vector<AnsiString>> Rows;
};

inline TTableDump DumpTable(const AnsiString& fileName) {
  TTableDump dump;
  TDbfDataSet ds;
  BindRefTable(ds, fileName);
  ds.Open();
  for (int i = 0; i < ds.FieldCount(); ++i) dump.Fields.push_back(ds.Fields(i).FieldName());
  for (ds.First(); !ds.Eof(); ds.Next()) {
    std::vector<AnsiString> row;
    for (int i = 0; i < ds.FieldCount(); ++i)
      row.push_back(ds.Fields(i).IsNull() ? AnsiString("<null>") : ds.Fields(i).AsString());
    dump.Rows.push_back(std::move(row));
  }
  return dump;
}

inline void ExpectSameTable(const TTableDump& a, const TTableDump& b) {
  ASSERT_EQ(a.Fields, b.Fields);
  ASSERT_EQ(a.Rows.size(), b.Rows.size());
  for (std::size_t r = 0; r < a.Rows.size(); ++r)
    for (std::size_t f = 0; f < a.Fields.size(); ++f)
      EXPECT_EQ(a.Rows[r][f], b.Rows[r][f]) << "record " << r + 1 << " field " << a.Fields[f];
}

// Records the messages (converted to UTF-8) and answers from a script (OK when empty).
class TScriptedPrompt : public IUserPrompt {
 public:
  struct Shown {
    std::string Text;
    TMsgDlgType Type;
    TMsgDlgButtons Buttons;
  };
  TModalResult MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) override {
    shown.push_back({cp::Ansi1251ToUtf8(Msg), DlgType, Buttons});
    if (answers.empty()) return mrOk;
    const TModalResult r = answers.front();
    answers.pop_front();
    return r;
  }
  std::vector<Shown> shown;
  std::deque<TModalResult> answers;
};

inline std::string Utf8(const AnsiString& s) { return cp::Ansi1251ToUtf8(s); }

// When on, the program is told that no reference file can be written (for machines where
// no folder can be made read-only for the test); off again afterwards.
class TInjectedNoWrites {
 public:
  explicit TInjectedNoWrites(bool on) : on_(on) {
    if (on_) SetRefWriteCheck([](const AnsiString&) { return false; });
  }
  ~TInjectedNoWrites() {
    if (on_) SetRefWriteCheck(nullptr);
  }
  TInjectedNoWrites(const TInjectedNoWrites&) = delete;
  TInjectedNoWrites& operator=(const TInjectedNoWrites&) = delete;
  bool On() const { return on_; }

 private:
  bool on_;
};

// The codes of the items in pre-order, with their levels: "code@level".
inline std::vector<std::string> Shape(const TCustomMtTree& tree) {
  std::vector<std::string> out;
  tree.Items()->Iterate(
      false,
      [&](TMtTreeItem* item, int, bool&, void*, TCustomMtTree*) {
        const TRefItemRec* rec = RefRecOf(item);
        out.push_back((rec ? std::to_string(rec->Code) : std::string("-")) + "@" + std::to_string(item->GetLevel()));
      },
      nullptr);
  return out;
}

// Runs `work` in a child process (another user of the tables); true when it finished
// without an exception (and, for a `work` that answers, answered true).
template <class Work>
bool InOtherProcess(Work work) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    int code = 0;
    try {
      if constexpr (std::is_void_v<decltype(work())>)
        work();
      else
        code = work() ? 0 : 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "other process: %s\n", e.what());
      code = 2;
    } catch (...) {
      code = 2;
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Sets `field` of the records whose `key` field is `code`, through the dataset (the
// table shared, as another user edits it); the number of records changed.
inline int EditRecords(const AnsiString& table, const char* key, std::int32_t code, const char* field,
                       const AnsiString& value) {
  TDbfDataSet ds;
  BindRefTable(ds, table);
  ds.Open();
  int changed = 0;
  for (ds.First(); !ds.Eof(); ds.Next())
    if (ds.FieldByName(key).AsInteger() == code) {
      ds.Edit();
      ds.FieldByName(field).SetAsString(value);
      ds.Post();
      ++changed;
    }
  return changed;
}

}  // namespace ref_test
