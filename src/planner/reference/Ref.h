// A reference table bound to a tree: TRef loads a whole dBase reference table ("products",
// "dish", "meal", "energo") into a tree model as folders and rows linked by CODE and
// OWNER, keeps the list of loaded items for lookups by code, adds and deletes items, and
// writes the tree back over the table. What a row carries beyond CODE, OWNER and FLAGS
// comes from the tree's header sections (field name, field type) or from the handlers
// that the owning window installs.
//
// Data blocks: every item of the tree carries a block in its Data field, a 16-byte
// TRefItemRec or a 64-byte TFoodRec (whose first 16 bytes are the same record), made
// with NewRefItemRec / NewRefFoodRec. TRef is the tree's item-data owner
// (SetItemDataOwner; the tree's OnItemDeletion stays free for the window) and frees the
// block of every item that goes, however it goes (its own DeleteItem and Clear, a reload,
// the window deleting items itself); handlers must attach blocks made so.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "controls/tree/MtTree.h"
#include "planner/ration/FoodRec.h"
#include "platform/core/Files.h"
#include "platform/core/SysUtils.h"

class TDataSet;
class TDbfDataSet;
class IUserPrompt;
class TRef;

// Failures of the reference tables that are not the table engine's own (Russian texts).
TW_DECLARE_EXCEPTION(ERefError, Exception)
// A table that somebody else changed since it was read: it is not written over.
TW_DECLARE_EXCEPTION(ERefChangedError, ERefError)

// Table names in the reference directory.
inline constexpr const char* kRefProductsTable = "products";
inline constexpr const char* kRefDishTable = "dish";
inline constexpr const char* kRefMealTable = "meal";
inline constexpr const char* kRefEnergoTable = "energo";
inline constexpr const char* kRefDishCompTable = "dishcomp";

// ---------------------------------------------------------------------------------
// Data blocks

// A new 16-byte block holding a copy of Rec.
TRefItemRec* NewRefItemRec(const TRefItemRec& Rec);
// A new 64-byte block, all zero but the first 16 bytes, which take Rec.
TFoodRec* NewRefFoodRec(const TRefItemRec& Rec);
// Frees a block made by either of the above (nil is ignored).
void FreeRefBlock(void* Block);

// The record at the head of an item's block; nil for nil or an item without block.
inline TRefItemRec* RefRecOf(const TMtTreeItem* Item) {
  return Item != nullptr ? static_cast<TRefItemRec*>(Item->Data) : nullptr;
}
// A folder row (Flags bit 0).
inline bool IsRefFolder(const TMtTreeItem* Item) {
  const TRefItemRec* rec = RefRecOf(Item);
  return rec != nullptr && (rec->Flags & ffGroup) != 0;
}

// ---------------------------------------------------------------------------------
// Writing a table

struct TRefSaveSettings {
  bool CreateBakFiles = true;  // copy the table to ".~DB" before rewriting it
  bool PackRef = true;         // pack the emptied table before the records are appended
};
// The program's settings (General: CreateBakFiles, PackRef) while the data module
// exists, else the defaults.
TRefSaveSettings CurrentRefSaveSettings();

// Removes what saves killed in the reference folder Dir left there: working copies
// (".~ref-XXXXXX" directories) and temporary files of the tables, their backups, the
// limits file and templates ("<name>.tmpXXXXXX"), when older than a minute and held by
// no running save. Nothing else is touched.
void RemoveRefSaveLeftovers(const AnsiString& Dir);

// "<dir>/products" -> "<dir>/products.~DB".
AnsiString RefBackupName(const AnsiString& FileName);

// Binds a dataset to the table FileName (directory and table name without extension).
void BindRefTable(TDbfDataSet& DataSet, const AnsiString& FileName);
// Binds and opens it for reading only (shared): reading needs no write access, so a
// read-only folder or file loads all the same.
void OpenRefTableForReading(TDbfDataSet& DataSet, const AnsiString& FileName);
// Whether files can be made in the folder Dir (empty: the current one).
bool CanWriteRefFolder(const AnsiString& Dir);
// Whether the table FileName (a table without extension is a ".DBF") could be rewritten
// here: the folder (where the new files are made) and the file can both be written.
bool CanWriteRefFile(const AnsiString& FileName);
// Replaces the system's answer to both (tests on machines where no folder can be made
// read-only); nullptr restores it.
void SetRefWriteCheck(std::function<bool(const AnsiString& Path)> Check);

// What the files of a table (the table and its memo and index files) held when they
// were read: any change by anybody since shows as a different stamp.
using TRefTableStamp = TFileStamp;
TRefTableStamp RefTableStamp(const AnsiString& FileName);
// ERefChangedError naming the table unless Stamp is not taken or the table's files
// still hold what it stamped.
void CheckRefTableUnchanged(const AnsiString& FileName, const TRefTableStamp& Stamp);
// The number of records the header of an open table counts beyond those its file holds
// (a file cut short); 0 for a sound one.
std::int64_t MissingRefRecords(TDbfDataSet& DataSet);

// Rewrites the table FileName whole. The table is opened exclusively (the table
// engine's error when it cannot be); with CreateBakFiles it is copied to its backup
// name; then a working copy of it (with its memo and production index files, when it has
// any) is made in a temporary directory beside it, opened exclusively, emptied, packed
// when PackRef is set and handed to Fill, which appends the new records; a pending
// record is posted. Only when all of this succeeded do the finished files replace the
// table's, each in one step (an atomic save). On any failure the table stays as it was
// and the error passes on. With a taken Expected stamp, a table whose files no longer
// hold what it stamped (another user changed it) is left alone: ERefChangedError, checked
// while the table is held. The stamp of the new files comes back.
TRefTableStamp RewriteRefTable(const AnsiString& FileName, const TRefSaveSettings& Settings,
                               const std::function<void(TDbfDataSet& DataSet)>& Fill,
                               const TRefTableStamp& Expected = {});

// Tables saved together (the dishes and their composition) are put in place through a
// journal in their folder, "reftables.~JN": the new files of every table are finished in
// working copies first, then the journal names each working copy and the file it
// replaces, then the files are replaced, then the journal goes. A save cut short after
// the journal was written is finished by whoever reads or saves a table of the folder
// next, so that no reader ever sees one table of a save with the other of another. All of
// it happens under the folder's save lock (TRefFolderLock), which readers take too.
// Folders are passed between users: a journal is carried out only when every line names
// a working directory of the program's own naming and a table file in it, and the file of
// the same name in the folder, no link leading out of the folder on the way. A journal
// that names anything else is not ours: it is left alone, nothing is touched and
// ERefError tells the user.
inline constexpr const char* kRefJournalName = "reftables.~JN";

// The save lock of a reference folder. Re-entrant within the program. Taking it finishes
// a save of another program that was cut short (its journal is there); ERefError when
// that cannot be done (a read-only folder: the user is told to have it finished where it
// can be written). With ForReading, a folder where no lock can be made is read unlocked.
class TRefFolderLock {
 public:
  TRefFolderLock(const AnsiString& Dir, bool ForReading);
  ~TRefFolderLock();
  TRefFolderLock(const TRefFolderLock&) = delete;
  TRefFolderLock& operator=(const TRefFolderLock&) = delete;
  const TFileSaveLock* Lock() const;  // nil when taken further out or not held

 private:
  std::string key_;
  std::unique_ptr<TFileSaveLock> lock_;
};

// A table that saves with this one: its file, its records and what it held when read.
struct TRefCompanionSave {
  AnsiString FileName;
  std::function<void(TDbfDataSet& DataSet)> Fill;
  TRefTableStamp Expected;
};

// ---------------------------------------------------------------------------------
// TRef

using TRefNotifyEvent = std::function<void(TRef* Sender)>;
using TRefBeforeItemSaveEvent = std::function<void(TRef* Sender, TMtTreeItem* Item, bool& Accept)>;
// Replaces the default column fill: must give the item its block (else it gets a copy of
// Rec) and its texts.
using TRefItemLoadEvent =
    std::function<void(TRef* Sender, TDataSet& DataSet, const TRefItemRec& Rec, TMtTreeItem* Item)>;
using TRefItemSaveEvent = std::function<void(TRef* Sender, TDataSet& DataSet, TMtTreeItem* Item)>;
using TRefNewItemEvent = std::function<void(TRef* Sender, TMtTreeItem* Item, const TRefItemRec& Rec)>;

class TRef {
 public:
  // Binds the table FileName (directory + table name without extension, e.g. the
  // reference directory + "products") to the tree, which must outlive the object. TRef
  // is the tree's item-data owner; the tree's OnItemDeletion stays free for the window.
  TRef(TCustomMtTree& Tree, const AnsiString& FileName);
  // Deletes every item of the tree (freeing the blocks) and lets go of the tree.
  ~TRef();
  TRef(const TRef&) = delete;
  TRef& operator=(const TRef&) = delete;

  // --- events
  TRefNotifyEvent OnAfterSave;
  // Fired by Save before anything is written; raising stops the save (the dish table
  // checks its composition table here).
  TRefNotifyEvent OnBeforeSave;
  TRefBeforeItemSaveEvent OnBeforeItemSave;  // Accept starts true
  TRefNotifyEvent OnAfterLoad;
  TRefItemLoadEvent OnItemLoad;
  TRefItemSaveEvent OnItemSave;
  TRefNewItemEvent OnNewItem;
  // Set: Save writes this table as well, as one save with its own (see kRefJournalName);
  // OnCompanionSaved then gets the stamp of what was written there.
  std::function<TRefCompanionSave(TRef* Sender)> OnSaveCompanion;
  std::function<void(TRef* Sender, const TRefTableStamp& Written)> OnCompanionSaved;
  // Fired for every item of the tree that is deleted, before its block is freed: the
  // window drops its own references to it.
  TMtItemEvent OnItemDeletion;

  // --- fields
  TCustomMtTree& Tree() const { return *tree_; }
  // Every item that Load created (and the dish components added to it), in record
  // order; items deleted since are no longer in it.
  const std::vector<TMtTreeItem*>& ItemList() const;
  std::int32_t MaxCode = 0;  // the largest Code Load has seen; AddItem hands out the next
  bool Modified = false;
  AnsiString FileName;
  bool AllColumns = false;  // folders get column texts on a default load
  bool FolderStyle = true;  // folders are drawn bold
  // The settings Save follows; nil: CurrentRefSaveSettings() at the time of saving.
  const TRefSaveSettings* SaveSettings = nullptr;
  // Set by Load: the table cannot be written here (read-only folder or file).
  bool ReadOnly = false;
  // Set by Load: the width of each text field of the table, by its upper-case name; a
  // longer text would be cut when written.
  std::map<AnsiString, int> TextWidths;
  // Set by Load: the tables found cut short (their headers count records their files
  // lack): the own table first, then companion tables that OnAfterLoad read and added.
  struct TCutShort {
    AnsiString File;
    std::int64_t Missing = 0;
  };
  std::vector<TCutShort> CutShort;
  // All the records missing in CutShort. Save refuses to write over such tables until
  // AcceptMissingRecords.
  std::int64_t MissingRecords() const;
  void AcceptMissingRecords() { CutShort.clear(); }
  // What the table held when Load read it (or Save wrote it); Save writes only over that.
  const TRefTableStamp& LoadedStamp() const { return stamp_; }

  // --- operations
  // Fills the tree from the table: every item of the tree is deleted, then one item per
  // record is added under the loaded item whose Code is the record's OWNER (top level
  // when there is none; a parent must come before its children). Raises the table
  // engine's error when the table cannot be opened or read, ERefError when it lacks
  // CODE, OWNER or FLAGS, or the error of OnItemLoad / OnAfterLoad; the tree then holds
  // what was read, and Save refuses to write it until a Load succeeds or Clear empties
  // the tree on purpose.
  void Load();
  // Load, but a failure is shown through the prompt ("Не удается загрузить справочник
  // ...") and leaves the tree empty; false then. A table cut short loads what it holds
  // with a warning.
  bool TryLoad(IUserPrompt& Prompt);
  // Writes every item of the tree, in pre-order, as one record over the table (see
  // RewriteRefTable): CODE, OWNER and FLAGS from its block, then OnItemSave or the
  // default column write. Items without a block are not written. ERefError, with the
  // table untouched, after a Load that failed (the tree lacks rows of the table) or of a
  // table cut short that was not accepted; ERefChangedError when another user changed the
  // table since Load read it (or Save wrote it).
  void Save();

  // The first item of ItemList whose Code is Code; nil when none.
  TMtTreeItem* FindByCode(std::int32_t Code) const;
  // Depth-first search of Parent's subtree (the whole tree for nil) in child order for
  // an item with this Code and Kind; nil when none.
  TMtTreeItem* FindChild(TMtTreeItem* Parent, std::int32_t Code, std::int32_t Kind) const;
  // A new last child of Parent (top level for nil) with Code MaxCode + 1; its block
  // comes from OnNewItem or is a 16-byte record. Not added to ItemList.
  TMtTreeItem* AddItem(TMtTreeItem* Parent);
  // Deletes the item with its subtree (nil is ignored).
  void DeleteItem(TMtTreeItem* Item);
  // Deletes every item (the table may then be written empty, even after a failed Load).
  void Clear();
  // Appends an item the owner added (a dish component) to ItemList.
  void AddLoadedItem(TMtTreeItem* Item);

  // The table's directory (with "/", empty for the current one) and name.
  AnsiString TableDir() const;
  AnsiString TableName() const;

 private:
  void ItemDeleted(TObject* Sender, TMtTreeItem* Item);
  void FillDefault(TDataSet& DataSet, const TRefItemRec& Rec, TMtTreeItem* Item);
  void WriteDefault(TDataSet& DataSet, TMtTreeItem* Item);
  void DeleteAllItems();
  void Compact() const;

  TCustomMtTree* tree_;
  mutable std::vector<TMtTreeItem*> itemList_;
  std::unordered_set<const TMtTreeItem*> listed_;  // the items of itemList_ still alive
  mutable bool stale_ = false;                     // itemList_ holds deleted items
  bool partial_ = false;                           // the last Load failed: rows are missing
  TRefTableStamp stamp_;
};
