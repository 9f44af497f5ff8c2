// A report dataset over a dataset of the dataset framework, and the small database
// helpers that the value lookup and the picture and memo views share.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "platform/core/DB.h"
#include "report/RP_DSet.h"

// Walks the records of a framework dataset, reached directly through DataSet or through
// DataSource. Activation remembers the record current at that moment; RangeBegin
// rbCurrent starts there, RangeEnd reCurrent ends there (inclusive), and Deactivate
// returns to it when either is used.
class TrpDBDataSet : public TrpDataset {
 public:
  TrpDBDataSet() = default;
  ~TrpDBDataSet() override;

  TDataSet* DataSet() const { return dataSet_; }
  // Clears DataSource.
  void SetDataSet(TDataSet* dataSet);
  TDataSource* DataSource() const { return dataSource_; }
  // A data source clears DataSet; none leaves DataSet as it is.
  void SetDataSource(TDataSource* dataSource);

  bool OpenDataSource = true;    // Activate opens the dataset
  bool CloseDataSource = false;  // Deactivate closes it
  TNotifyEvent OnOpen;           // after opening
  TNotifyEvent OnClose;          // before closing

  // The dataset of DataSource when that has one, else DataSet; EDatabaseError
  // "Unable to open dataset <Name>" when there is neither.
  TDataSet& GetDataSet() const;

  // The linked object is being freed: every reference to it is dropped. The dataset
  // hears of it by itself when a linked dataset, data source or the data source's
  // dataset is destroyed.
  void Notification(const TObject* removed);

  void Activate() override;
  void Deactivate() override;
  void First() override;
  void Next() override;
  void Prior() override;
  bool Eof() override;

 private:
  TDataSet* LinkedDataSet() const;
  // Subscribes to the destruction of every linked object (and only those).
  void WatchLinks();
  void Unwatch();
  void OpenSource();
  void CloseSource();

  TDataSet* dataSet_ = nullptr;
  TDataSource* dataSource_ = nullptr;
  TBookmark bookmark_;    // the record current at activation; empty when none
  bool reached_ = false;  // reCurrent: Next found the dataset on the remembered record
  std::vector<TFreeNotifier*> watched_;
};

// ---------------------------------------------------------------------------------
// Database helpers

// Field kinds whose values are kept in a blob.
bool rpIsBlobField(const TField& field);
// The field's bytes into the stream, which is then rewound to position 0.
void rpBlobToObject(TField& field, TStream& target);
// An object that can take a blob field's contents (a picture, a document).
class TrpBlobTarget {
 public:
  virtual ~TrpBlobTarget() = default;
  virtual void AssignBlobField(TField& field) = 0;
};
// The target gets the field assigned: a stream its bytes (rewound), a string list the
// field's text, a TrpBlobTarget what it makes of the field; any other object raises
// EConvertError "Cannot assign a <field kind> to a <target>", as the class library does.
void rpBlobToObject(TField& field, TObject& target);
// Clears list and adds the dataset's field names: its fields while it is open, else its
// field definitions; none for no dataset or when listing them fails.
void rpDataSetFieldNames(const TDataSet* dataSet, TStringList& list);

// Bookmarks as the dataset makes and compares them; empty is no bookmark.
TBookmark rpBookmarkGet(TDataSet& dataSet);
void rpBookmarkGoto(TDataSet& dataSet, const TBookmark& bookmark);
void rpBookmarkFree(TBookmark& bookmark);
bool rpBookmarksEqual(const TDataSet& dataSet, const TBookmark& a, const TBookmark& b);

// The value of a field: its display text when it has a get-text handler, the text of a
// large integer, else its value; Null becomes 0 for the integer, float, currency and
// date kinds, the empty text for strings and False for Booleans.
Variant rpFieldValue(const TField& field);
// The value of the dataset's field of that name (rpFieldValue); the dataset is opened
// first when it is inactive. EDatabaseError when it has no such field.
Variant rpFieldValue(TDataSet& dataSet, std::string_view fieldName);
// The name itself when the dataset has a field of that name (case ignored), else empty.
AnsiString rpCheckFieldName(const TDataSet* dataSet, std::string_view name);

// ---------------------------------------------------------------------------------
// Components by name

// The class library's error for a component that cannot be found.
TW_DECLARE_EXCEPTION(EClassNotFound, Exception)

// A form or data module as the report engine sees it: its components by name.
class TrpComponentDirectory {
 public:
  virtual ~TrpComponentDirectory() = default;
  // The component of that name (compared without regard to case); null when none.
  virtual TObject* FindComponent(std::string_view name) const = 0;
};

// The application's lookup of its forms and data modules by name; without one, none
// is found.
void rpSetGlobalComponentLookup(std::function<TObject*(std::string_view name)> lookup);
TObject* rpFindGlobalComponent(std::string_view name);

// "name": a component of root; "form.component" or "form.component.sub": the form
// through the global lookup, then by name one or two levels down. Null when not found
// (also for a longer path); an error during the lookup raises EClassNotFound
// "Missing <path>".
TObject* rpFindComponentPath(const TrpComponentDirectory* root, std::string_view path);

// Resolves "field", "dataset.field", "form.dataset.field" or "form.module.dataset.field"
// (a part that begins with a double quote runs to the end, dots and all). A bare field
// belongs to the given dataset; otherwise dataSet becomes the dataset found from owner
// (null when none). fieldName is the field without its double quotes when that dataset
// has it, else empty.
void rpResolveDataSetField(std::string_view text, const TrpComponentDirectory* owner, TDataSet*& dataSet,
                           AnsiString& fieldName);
