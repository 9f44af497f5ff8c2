#include "planner/reference/Ref.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <unordered_map>

#include "planner/app/Globals.h"
#include "planner/app/UserPrompt.h"
#include "platform/core/Files.h"
#include "platform/core/StagingDir.h"
#include "tables/DbfDB.h"
#include "tables/db_eror.h"

// ---------------------------------------------------------------------------------
// Data blocks

namespace {

void* NewBlock(std::size_t size, const TRefItemRec& rec) {
  void* block = ::operator new(size);
  std::memset(block, 0, size);
  std::memcpy(block, &rec, sizeof rec);
  return block;
}

}  // namespace

TRefItemRec* NewRefItemRec(const TRefItemRec& Rec) {
  return static_cast<TRefItemRec*>(NewBlock(sizeof(TRefItemRec), Rec));
}

TFoodRec* NewRefFoodRec(const TRefItemRec& Rec) { return static_cast<TFoodRec*>(NewBlock(sizeof(TFoodRec), Rec)); }

void FreeRefBlock(void* Block) { ::operator delete(Block); }

// ---------------------------------------------------------------------------------
// Writing a table

TRefSaveSettings CurrentRefSaveSettings() {
  if (dmGlobals == nullptr) return {};
  return {dmGlobals->Settings.General.CreateBakFiles, dmGlobals->Settings.General.PackRef};
}

AnsiString RefBackupName(const AnsiString& FileName) { return ChangeFileExt(FileName, ".~DB"); }

namespace {

// A table that is not there is named in the user's language (the dataset's own text is
// not).
// The table's file: FileName + ".DBF" when it has no extension.
AnsiString DbfNameOf(const AnsiString& fileName) {
  return ExtractFileExt(ExtractFileName(fileName)).empty() ? fileName + ".DBF" : fileName;
}

void CheckTableExists(const AnsiString& fileName) {
  const AnsiString table = DbfNameOf(fileName);
  if (!FileExists(table)) throw ERefError(Format(Ansi("Не найден файл справочника %s"), {table}));
}

}  // namespace

void BindRefTable(TDbfDataSet& DataSet, const AnsiString& FileName) {
  DataSet.SetDatabaseName(ExtractFilePath(FileName));
  DataSet.SetTableName(ExtractFileName(FileName));
}

void OpenRefTableForReading(TDbfDataSet& DataSet, const AnsiString& FileName) {
  BindRefTable(DataSet, FileName);
  DataSet.SetReadOnly(true);
  DataSet.Open();
}

namespace {

// Files that belong to a table and change with it: the memo file and the production
// index, when the table has them.
constexpr const char* kCompanionExts[] = {".DBT", ".FPT", ".CDX", ".MDX"};

// The table's file as it is named on the disk.
AnsiString TableFileOf(const AnsiString& fileName) { return ResolveExistingPath(DbfNameOf(fileName)); }

// The table file first, then its companions that exist.
std::vector<AnsiString> TableFiles(const AnsiString& table) {
  std::vector<AnsiString> files{table};
  for (const char* ext : kCompanionExts) {
    const AnsiString companion = ResolveExistingPath(ChangeFileExt(table, ext));
    if (FileExists(companion) && !AnsiSameText(companion, table)) files.push_back(companion);
  }
  return files;
}

AnsiString ChangedByOtherText(const AnsiString& table) {
  return Format(Ansi("Справочник %s был изменен другим пользователем после того, как он был прочитан"), {table});
}

constexpr const char* kStagingPrefix = ".~ref-";
// The files a save writes into the reference folder through a temporary file: tables and
// their companions, their backups, the limits file and report templates.
const std::vector<std::string_view> kRefSavedExts{".dbf", ".~db", ".dbt", ".fpt", ".cdx", ".mdx", ".ini", ".rpf"};

std::function<bool(const AnsiString&)>& WriteCheck() {
  static std::function<bool(const AnsiString&)> check;
  return check;
}

bool CanWrite(const AnsiString& path) {
  if (WriteCheck()) return WriteCheck()(path);
  return ::access(SysPath(path).c_str(), W_OK) == 0;
}

}  // namespace

void RemoveRefSaveLeftovers(const AnsiString& Dir) {
  // A save cut short is finished first: its working copies are no leftovers. When that
  // cannot be done, nothing is removed (loading the tables tells the user).
  std::unique_ptr<TRefFolderLock> folder;
  try {
    folder = std::make_unique<TRefFolderLock>(Dir, true);
  } catch (const std::exception&) {
    return;
  }
  if (folder->Lock() == nullptr) return;
  const AnsiString dir = IncludeTrailingPathDelimiter(Dir.empty() ? AnsiString("./") : Dir);
  RemoveStaleWorkFiles(SysPath(dir.size() > 1 ? dir.substr(0, dir.size() - 1) : dir), kStagingPrefix, true);
  RemoveStaleSaveFiles(dir, kRefSavedExts);
}

void SetRefWriteCheck(std::function<bool(const AnsiString& Path)> Check) { WriteCheck() = std::move(Check); }

bool CanWriteRefFolder(const AnsiString& Dir) { return CanWrite(Dir.empty() ? AnsiString(".") : Dir); }

bool CanWriteRefFile(const AnsiString& FileName) {
  const AnsiString file = TableFileOf(FileName);
  if (!CanWriteRefFolder(ExtractFilePath(file))) return false;
  return !FileExists(file) || CanWrite(file);
}

TRefTableStamp RefTableStamp(const AnsiString& FileName) { return StampOfFiles(TableFiles(TableFileOf(FileName))); }

void CheckRefTableUnchanged(const AnsiString& FileName, const TRefTableStamp& Stamp) {
  if (Stamp.Taken() && RefTableStamp(FileName) != Stamp)
    throw ERefChangedError(ChangedByOtherText(TableFileOf(FileName)));
}

std::int64_t MissingRefRecords(TDbfDataSet& DataSet) {
  const DBFObject* dbf = DataSet.Handler();
  if (dbf == nullptr) return 0;
  // The header's record count: a little-endian 32-bit number at offset 4.
  const auto& h = dbf->Header();
  std::int64_t counted = 0;
  for (int i = 7; i >= 4; --i) counted = counted << 8 | h[static_cast<std::size_t>(i)];
  return counted > dbf->RecordCount() ? counted - dbf->RecordCount() : 0;
}

namespace {

// Deletes every record in one pass (a deleted record leaves the view, so the next one
// becomes the current one).
void EmptyTable(TDbfDataSet& ds, bool pack) {
  ds.First();
  for (std::int64_t n = ds.RecordCount(); n > 0 && !ds.Eof(); --n) ds.Delete();
  if (pack) ds.Pack();
}

// An engine message about a file of the working directory, about the same file of the
// table's directory instead.
AnsiString NameTheTable(AnsiString message, const AnsiString& workDir, const AnsiString& tableDir) {
  const AnsiString from = ExpandTableFileName(workDir) + "/";
  const AnsiString to = IncludeTrailingPathDelimiter(ExpandTableFileName(tableDir));
  for (std::size_t at = message.find(from); at != AnsiString::npos; at = message.find(from, at + to.size()))
    message.replace(at, from.size(), to);
  return message;
}

}  // namespace

namespace {

// One table's save up to the moment its new files replace the old: the table is held
// exclusively (nobody else reads or writes it meanwhile), checked against Expected,
// copied to its backup, and its working copy (with its memo and production index files,
// when it has any) made in a temporary directory beside it, emptied, packed when PackRef
// is set and filled.
class TRefTableRewrite {
 public:
  TRefTableRewrite(const AnsiString& FileName, const TRefSaveSettings& Settings,
                   const std::function<void(TDbfDataSet& DataSet)>& Fill, const TRefTableStamp& Expected) {
    CheckTableExists(FileName);
    BindRefTable(hold_, FileName);
    hold_.Exclusive = true;
    hold_.Open();
    const AnsiString dir = hold_.TableDirectory();
    const AnsiString table = ResolveExistingPath(dir + hold_.TableName());
    // Another user's changes since the table was read are not written over.
    files_ = TableFiles(table);
    if (Expected.Taken() && StampOfFiles(files_) != Expected) throw ERefChangedError(ChangedByOtherText(table));

    if (Settings.CreateBakFiles) {
      const AnsiString backup = RefBackupName(FileName);
      if (!CopyFile(table, backup))
        throw ERefError(Format(Ansi("Не удается создать резервную копию справочника %s в файле %s"), {table, backup}));
    }

    // The working copy: the table and its companions under their own names.
    // What killed saves left in the folder goes first (the staging directory's own
    // leftovers go with its making).
    const AnsiString folder = dir.empty() ? AnsiString("./") : dir;
    RemoveStaleSaveFiles(folder, kRefSavedExts);
    staging_ = std::make_unique<TStagingDir>(folder, kStagingPrefix);
    for (const AnsiString& f : files_)
      if (!CopyFile(f, staging_->File(ExtractFileName(f))))
        throw ERefError(Format(Ansi("Не удается скопировать файл %s в %s"), {f, staging_->Path()}));

    try {
      TDbfDataSet work;
      work.SetDatabaseName(staging_->Path());
      work.SetTableName(ExtractFileName(table));
      work.Exclusive = true;
      work.Open();
      EmptyTable(work, Settings.PackRef);
      Fill(work);
      if (work.State() == TDataSetState::dsInsert || work.State() == TDataSetState::dsEdit) work.Post();
      work.Close();
    } catch (const EDbfError& e) {
      // The working copy is ours, not the user's: the message names the table.
      throw EDbfError(NameTheTable(e.Message(), staging_->Path(), folder));
    }

    // The stamp of what is written, taken from the working copy: a change by anybody
    // after the files are in place then shows.
    std::vector<AnsiString> written;
    for (const AnsiString& f : files_) written.push_back(staging_->File(ExtractFileName(f)));
    stamp_ = StampOfFiles(written);
  }

  const TRefTableStamp& Stamp() const { return stamp_; }
  // (working copy, file it replaces), companions first.
  std::vector<std::pair<AnsiString, AnsiString>> Moves() const {
    std::vector<std::pair<AnsiString, AnsiString>> moves;
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) moves.emplace_back(staging_->File(ExtractFileName(*it)), *it);
    return moves;
  }
  // Leaves the working copy where it is when the object goes (a journal names it).
  void KeepWorkingCopy() { staging_->Keep(); }

 private:
  TDbfDataSet hold_;
  std::vector<AnsiString> files_;
  std::unique_ptr<TStagingDir> staging_;
  TRefTableStamp stamp_;
};

// Each file is replaced in one step, flushed first and with its permissions kept.
void PlaceRefFiles(const std::vector<std::pair<AnsiString, AnsiString>>& moves) {
  for (const auto& [from, to] : moves)
    if (!CopyFile(from, to)) throw ERefError(Format(Ansi("Не удается записать файл %s"), {to}));
}

AnsiString JournalOf(const AnsiString& dir) {
  return IncludeTrailingPathDelimiter(dir.empty() ? AnsiString(".") : dir) + kRefJournalName;
}

AnsiString UnfinishedSaveText(const AnsiString& journal, const AnsiString& why) {
  return Format(Ansi("Справочники в папке %s записаны не до конца: запись была прервана (журнал %s).\r"
                     "Закончить ее не удается: %s\r"
                     "Откройте справочники там, где эту папку можно записать, чтобы запись была закончена."),
                {ExtractFilePath(journal), journal, why});
}

// A journal is never longer than this: a few lines per table.
constexpr std::uintmax_t kRefJournalMaxSize = 64 * 1024;

AnsiString ForeignJournalText(const AnsiString& journal, const AnsiString& what) {
  return Format(Ansi("Файл %s в папке справочников не является журналом записи этой программы: %s.\r"
                     "Ни один файл не изменен, журнал оставлен как есть.\r"
                     "Если вы не знаете, откуда взялся этот файл, удалите его и откройте справочники снова."),
                {journal, what});
}

// A name the journal may give: one plain name inside the folder, with no directory part.
bool IsPlainName(const AnsiString& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of(AnsiString("/\\\0", 3)) == AnsiString::npos;
}

// A working directory this program makes for a save: the staging prefix and the six
// characters that mkdtemp adds.
bool IsRefWorkDirName(const AnsiString& name) {
  const std::string_view prefix(kStagingPrefix);
  if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
}

// A file a save of tables replaces: a table or one of its companions.
bool IsRefTableFileName(const AnsiString& name) {
  const AnsiString ext = ExtractFileExt(name);
  if (AnsiSameText(ext, ".DBF")) return true;
  return std::any_of(std::begin(kCompanionExts), std::end(kCompanionExts),
                     [&](const char* companion) { return AnsiSameText(ext, companion); });
}

// Whether the system path lies inside the folder (a system path ending in "/") once every
// link on the way is followed.
bool LeadsInto(const std::string& sysPath, const std::string& sysFolder) {
  std::error_code ec;
  const std::string resolved = std::filesystem::weakly_canonical(sysPath, ec).string();
  return !ec && resolved.compare(0, sysFolder.size(), sysFolder) == 0;
}

// One step of a journal, checked: the working copy and the file it replaces.
struct TRefJournalMove {
  AnsiString From, To, WorkDir;
};

// Reads the journal and checks every name in it before anything is done: each line is a
// working directory of this program's naming and a table file in it, a tab, and the file
// of the same name in the folder that it replaces. A file to be replaced may be a link
// only when it leads to a file inside the folder; the working directory and its files are
// never links. ERefError telling the user that the journal is not ours when anything else
// is named; nothing has been touched then.
std::vector<TRefJournalMove> ReadRefJournal(const AnsiString& journal) {
  const AnsiString dir = ExtractFilePath(journal);
  const std::string sysJournal = SysPath(journal);
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(sysJournal, ec);
  if (ec || !std::filesystem::is_regular_file(status))
    throw ERefError(ForeignJournalText(journal, Ansi("это не обычный файл")));
  const std::uintmax_t size = std::filesystem::file_size(sysJournal, ec);
  if (ec || size > kRefJournalMaxSize) throw ERefError(ForeignJournalText(journal, Ansi("он слишком велик")));
  TStringList lines;
  try {
    lines.LoadFromFile(journal);
  } catch (const std::exception& e) {
    throw ERefError(UnfinishedSaveText(journal, AnsiString(e.what())));
  }
  std::string sysFolder = std::filesystem::weakly_canonical(SysPath(dir.empty() ? AnsiString(".") : dir), ec).string();
  if (ec) throw ERefError(UnfinishedSaveText(journal, AnsiString(ec.message())));
  if (sysFolder.empty() || sysFolder.back() != '/') sysFolder += '/';

  std::vector<TRefJournalMove> moves;
  for (int i = 0; i < lines.Count(); ++i) {
    const AnsiString& line = lines.Strings(i);
    if (line.empty()) continue;
    const auto foreign = [&](const char* why) {
      // The line as it stands, up to a length a message can show.
      const AnsiString shown = line.size() > 120 ? line.substr(0, 120) + "..." : line;
      return ERefError(ForeignJournalText(journal, Format(Ansi("строка %d (%s) %s"), {i + 1, shown, Ansi(why)})));
    };
    const std::size_t tab = line.find('\t');
    const std::size_t slash = line.find('/');
    if (tab == AnsiString::npos || slash == AnsiString::npos || slash > tab)
      throw foreign("не называет рабочую копию и заменяемый ею файл");
    const AnsiString work = line.substr(0, slash), file = line.substr(slash + 1, tab - slash - 1),
                     target = line.substr(tab + 1);
    if (!IsRefWorkDirName(work)) throw foreign("называет папку, которую эта программа не создает");
    if (!IsPlainName(file) || !IsPlainName(target)) throw foreign("называет файл вне папки справочников");
    if (file != target) throw foreign("называет рабочую копию другого файла");
    if (!IsRefTableFileName(target)) throw foreign("называет файл, который не является справочником");
    TRefJournalMove move{dir + work + "/" + file, ResolveExistingPath(dir + target), dir + work};
    // The working copy: a file of ours, not a link to something else.
    const auto workStatus = std::filesystem::symlink_status(SysPath(move.WorkDir), ec);
    if (std::filesystem::is_symlink(workStatus) || (!ec && !std::filesystem::is_directory(workStatus)))
      throw foreign("называет рабочую папку, которая является ссылкой или файлом");
    const auto fromStatus = std::filesystem::symlink_status(SysPath(move.From), ec);
    if (std::filesystem::is_symlink(fromStatus)) throw foreign("называет рабочую копию, которая является ссылкой");
    if (ec || !std::filesystem::is_regular_file(fromStatus))
      throw ERefError(UnfinishedSaveText(journal, Format(Ansi("нет файла %s"), {move.From})));
    // The file replaced: in the folder, also where it is a link.
    const std::string sysTo = SysPath(move.To);
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(sysTo, ec)) && !LeadsInto(sysTo, sysFolder))
      throw foreign("называет ссылку на файл вне папки справочников");
    moves.push_back(std::move(move));
  }
  return moves;
}

// Finishes the save whose journal is in the folder: each working copy it names replaces
// its file (again, when that was done already), then the journal and the working copies
// go. Nothing when there is no journal; nothing either, with ERefError, when the journal
// names anything but the program's own working copies and the tables they replace.
void FinishRefJournal(const TFileSaveLock* lock, const AnsiString& journal) {
  // Anything at the name counts (a pipe, a link leading nowhere): only a journal is read.
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(SysPath(ResolveExistingPath(journal)), ec))) return;
  if (lock == nullptr) throw ERefError(UnfinishedSaveText(journal, Ansi("папка доступна только для чтения")));
  std::vector<std::pair<AnsiString, AnsiString>> moves;
  std::vector<AnsiString> workDirs;
  for (TRefJournalMove& m : ReadRefJournal(journal)) {
    if (std::find(workDirs.begin(), workDirs.end(), m.WorkDir) == workDirs.end()) workDirs.push_back(m.WorkDir);
    moves.emplace_back(std::move(m.From), std::move(m.To));
  }
  try {
    PlaceRefFiles(moves);
  } catch (const std::exception& e) {
    throw ERefError(UnfinishedSaveText(journal, AnsiString(e.what())));
  }
  DeleteFile(journal);
  SyncDirectoryOf(SysPath(journal));
  for (const AnsiString& work : workDirs) {
    std::error_code ec;
    std::filesystem::remove_all(SysPath(work), ec);
  }
}

// Puts the new files of the tables in place together (see kRefJournalName).
void PlaceRefTables(std::vector<TRefTableRewrite*> tables, const TFileSaveLock& lock) {
  std::vector<std::pair<AnsiString, AnsiString>> moves;
  for (TRefTableRewrite* t : tables)
    for (auto& m : t->Moves()) moves.push_back(std::move(m));
  if (tables.size() < 2) {
    PlaceRefFiles(moves);
    return;
  }
  const AnsiString dir = ExtractFilePath(lock.Target());
  auto inFolder = [&](const AnsiString& name) {
    const AnsiString n = ExpandFileName(name), d = IncludeTrailingPathDelimiter(ExpandFileName(dir));
    if (n.compare(0, d.size(), d) != 0) throw ERefError(Format(Ansi("Файл %s лежит вне папки справочников"), {name}));
    return n.substr(d.size());
  };
  AnsiString text;
  for (const auto& [from, to] : moves) text += inFolder(from) + "\t" + inFolder(to) + "\r\n";
  SaveFileAtomically(lock, [&](TStream& s) { s.WriteString(text); });
  // From here on the save is finished, by us or, when we are stopped, by the next reader.
  for (TRefTableRewrite* t : tables) t->KeepWorkingCopy();
  FinishRefJournal(&lock, lock.Target());
}

// The folder locks this program holds: how often each is taken, and the lock itself.
struct THeldFolder {
  int Depth = 0;
  const TFileSaveLock* Lock = nullptr;
};
std::unordered_map<std::string, THeldFolder>& HeldFolders() {
  static std::unordered_map<std::string, THeldFolder> held;
  return held;
}

}  // namespace

TRefFolderLock::TRefFolderLock(const AnsiString& Dir, bool ForReading) {
  const AnsiString journal = JournalOf(Dir);
  key_ = SysPath(ExpandFileName(journal));
  THeldFolder& held = HeldFolders()[key_];
  if (held.Depth++ > 0) return;
  try {
    lock_ = std::make_unique<TFileSaveLock>(journal, ForReading);
    if (lock_->Held()) held.Lock = lock_.get();
    FinishRefJournal(held.Lock, journal);
  } catch (...) {
    lock_.reset();
    HeldFolders().erase(key_);
    throw;
  }
}

TRefFolderLock::~TRefFolderLock() {
  auto it = HeldFolders().find(key_);
  if (it != HeldFolders().end() && --it->second.Depth == 0) HeldFolders().erase(it);
}

const TFileSaveLock* TRefFolderLock::Lock() const {
  auto it = HeldFolders().find(key_);
  return it != HeldFolders().end() ? it->second.Lock : nullptr;
}

TRefTableStamp RewriteRefTable(const AnsiString& FileName, const TRefSaveSettings& Settings,
                               const std::function<void(TDbfDataSet& DataSet)>& Fill,
                               const TRefTableStamp& Expected) {
  const TRefFolderLock folder(ExtractFilePath(FileName), false);
  TRefTableRewrite table(FileName, Settings, Fill, Expected);
  PlaceRefFiles(table.Moves());
  return table.Stamp();
}

// ---------------------------------------------------------------------------------
// TRef

namespace {

constexpr const char* kKeyFields[] = {"CODE", "OWNER", "FLAGS"};

void CheckKeyFields(const TDataSet& ds, const AnsiString& fileName) {
  for (const char* name : kKeyFields)
    if (ds.FindField(name) == nullptr)
      throw ERefError(Format(Ansi("В справочнике %s нет поля %s"), {fileName, AnsiString(name)}));
}

}  // namespace

TRef::TRef(TCustomMtTree& Tree, const AnsiString& FileName) : FileName(FileName), tree_(&Tree) {
  tree_->SetItemDataOwner([this](TObject* sender, TMtTreeItem* item) { ItemDeleted(sender, item); });
}

TRef::~TRef() {
  OnItemDeletion = nullptr;
  DeleteAllItems();
  tree_->SetItemDataOwner(nullptr);
}

void TRef::ItemDeleted(TObject* Sender, TMtTreeItem* Item) {
  if (listed_.erase(Item) != 0) stale_ = true;
  if (OnItemDeletion) OnItemDeletion(Sender, Item);
  FreeRefBlock(Item->Data);
  Item->Data = nullptr;
}

void TRef::Compact() const {
  if (!stale_) return;
  std::erase_if(itemList_, [this](TMtTreeItem* item) { return !listed_.contains(item); });
  stale_ = false;
}

const std::vector<TMtTreeItem*>& TRef::ItemList() const {
  Compact();
  return itemList_;
}

void TRef::AddLoadedItem(TMtTreeItem* Item) {
  Compact();  // a new item may sit where a deleted one was
  if (Item == nullptr || !listed_.insert(Item).second) return;
  itemList_.push_back(Item);
}

void TRef::DeleteAllItems() {
  itemList_.clear();
  listed_.clear();
  stale_ = false;
  TMtUpdateBracket bracket(tree_);
  tree_->Items()->Clear();
}

AnsiString TRef::TableDir() const { return ExtractFilePath(FileName); }
AnsiString TRef::TableName() const { return ExtractFileName(FileName); }

void TRef::Load() {
  DeleteAllItems();
  partial_ = true;
  stamp_ = {};
  CutShort.clear();
  // Read while nobody saves tables of the folder, after a save cut short is finished: the
  // tables read together (the dishes and their composition) are of one save.
  const TRefFolderLock folder(TableDir(), true);
  CheckTableExists(FileName);
  ReadOnly = !CanWriteRefFile(FileName);
  TMtUpdateBracket bracket(tree_);
  // Taken before the reading: a change made while it reads shows at the next save.
  const TRefTableStamp stamp = RefTableStamp(FileName);
  TDbfDataSet ds;
  OpenRefTableForReading(ds, FileName);
  CheckKeyFields(ds, FileName);
  TextWidths.clear();
  for (int i = 0; i < ds.FieldCount(); ++i)
    if (ds.Fields(i).DataType() == TFieldType::ftString)
      TextWidths[AnsiUpperCase(ds.Fields(i).FieldName())] = ds.Fields(i).Size();
  const std::int64_t missing = MissingRefRecords(ds);
  TField& code = ds.FieldByName("CODE");
  TField& owner = ds.FieldByName("OWNER");
  TField& flags = ds.FieldByName("FLAGS");
  // The first loaded item of each code, as FindByCode would find it.
  std::unordered_map<std::int32_t, TMtTreeItem*> byCode;
  for (ds.First(); !ds.Eof(); ds.Next()) {
    const TRefItemRec rec{code.AsInteger(), owner.AsInteger(), flags.AsInteger(), fkRefRow};
    TMtTreeItem* parent = nullptr;
    if (rec.Owner != 0) {
      auto it = byCode.find(rec.Owner);
      if (it != byCode.end()) parent = it->second;
    }
    TMtTreeItem* item = tree_->Items()->AddItem(parent);
    AddLoadedItem(item);
    if (OnItemLoad) {
      OnItemLoad(this, ds, rec, item);
    } else {
      FillDefault(ds, rec, item);
    }
    if (item->Data == nullptr) item->Data = NewRefItemRec(rec);
    const std::int32_t loaded = RefRecOf(item)->Code;
    byCode.emplace(loaded, item);
    MaxCode = std::max(MaxCode, loaded);
  }
  ds.Close();
  Modified = false;
  if (OnAfterLoad) OnAfterLoad(this);
  partial_ = false;
  stamp_ = stamp;
  if (missing > 0) CutShort.insert(CutShort.begin(), TCutShort{FileName, missing});
}

std::int64_t TRef::MissingRecords() const {
  std::int64_t missing = 0;
  for (const TCutShort& cut : CutShort) missing += cut.Missing;
  return missing;
}

void TRef::FillDefault(TDataSet& DataSet, const TRefItemRec& Rec, TMtTreeItem* Item) {
  Item->Data = NewRefItemRec(Rec);
  const bool folder = (Rec.Flags & ffGroup) != 0;
  TMtHeaderSections* sections = tree_->HeaderSections();
  for (int i = 0; i < tree_->SectionCount(); ++i) {
    const TMtHeaderSection* section = sections->GetSection(i);
    AnsiString value;
    if (section != nullptr && !section->FieldName().empty())
      if (const TField* field = DataSet.FindField(AnsiUpperCase(section->FieldName())))
        value = field->AsString();
    if (i == tree_->MainTreeColumn) {
      Item->SetText(value);
    } else if (!folder || AllColumns) {
      Item->ColumnText().Add(value);
    }
  }
  if (FolderStyle && folder) {
    Item->SetParentStyle(false);
    Item->SetState(isBold, true);
  }
}

bool TRef::TryLoad(IUserPrompt& Prompt) {
  try {
    Load();
    for (const TCutShort& cut : CutShort)
      Prompt.MessageDlg(Format(Ansi("Справочник %s поврежден: файл обрывается, в нем не хватает записей (%d).\r"
                                    "Загружены только имеющиеся записи."),
                               {cut.File, cut.Missing}),
                        TMsgDlgType::mtWarning, mbOK);
    return true;
  } catch (const std::exception& e) {
    DeleteAllItems();
    Prompt.MessageDlg(Format(Ansi("Не удается загрузить справочник %s:\r%s"), {FileName, AnsiString(e.what())}),
                      TMsgDlgType::mtError, mbOK);
    return false;
  }
}

void TRef::Save() {
  if (partial_)
    throw ERefError(Format(Ansi("Справочник %s загружен не полностью: "
                                "запись отменена, чтобы не потерять его строки"),
                           {FileName}));
  if (MissingRecords() > 0)
    throw ERefError(Format(Ansi("Справочник %s загружен из поврежденного файла, в котором не хватает записей: "
                                "запись отменена, чтобы не потерять их окончательно"),
                           {FileName}));
  if (OnBeforeSave) OnBeforeSave(this);
  // The items first: the handlers must not see a half-walked tree change under them.
  std::vector<TMtTreeItem*> items;
  items.reserve(static_cast<std::size_t>(tree_->Items()->Count()));
  tree_->Items()->Iterate(
      false, [&](TMtTreeItem* item, int, bool&, void*, TCustomMtTree*) { items.push_back(item); }, nullptr);
  const TRefSaveSettings settings = SaveSettings != nullptr ? *SaveSettings : CurrentRefSaveSettings();
  const auto fill = [&](TDbfDataSet& ds) {
    CheckKeyFields(ds, FileName);
    for (TMtTreeItem* item : items) {
      const TRefItemRec* rec = RefRecOf(item);
      if (rec == nullptr) continue;
      bool accept = true;
      if (OnBeforeItemSave) OnBeforeItemSave(this, item, accept);
      if (!accept) continue;
      ds.Append();
      ds.FieldByName("CODE").SetAsInteger(rec->Code);
      ds.FieldByName("OWNER").SetAsInteger(rec->Owner);
      ds.FieldByName("FLAGS").SetAsInteger(rec->Flags);
      if (OnItemSave) {
        OnItemSave(this, ds, item);
      } else {
        WriteDefault(ds, item);
      }
    }
  };
  {
    const TRefFolderLock folder(TableDir(), false);
    TRefTableRewrite own(FileName, settings, fill, stamp_);
    std::unique_ptr<TRefTableRewrite> companion;
    if (OnSaveCompanion) {
      const TRefCompanionSave c = OnSaveCompanion(this);
      companion = std::make_unique<TRefTableRewrite>(c.FileName, settings, c.Fill, c.Expected);
    }
    std::vector<TRefTableRewrite*> tables{&own};
    if (companion) tables.push_back(companion.get());
    PlaceRefTables(tables, *folder.Lock());
    stamp_ = own.Stamp();
    if (companion && OnCompanionSaved) OnCompanionSaved(this, companion->Stamp());
  }
  Modified = false;
  // Only now are the tables closed and the folder free: whoever reads them again (the
  // pick-list) reads what was just written.
  if (OnAfterSave) OnAfterSave(this);
}

void TRef::WriteDefault(TDataSet& DataSet, TMtTreeItem* Item) {
  TMtHeaderSections* sections = tree_->HeaderSections();
  const int main = tree_->MainTreeColumn;
  const TStringList& columns = Item->ColumnText();
  for (int i = 0; i < tree_->SectionCount(); ++i) {
    const TMtHeaderSection* section = sections->GetSection(i);
    if (section == nullptr || section->FieldName().empty()) continue;
    TField* field = DataSet.FindField(AnsiUpperCase(section->FieldName()));
    if (field == nullptr) continue;
    AnsiString value;
    if (i == main) {
      value = Item->Text();
    } else if (i < main && i < columns.Count()) {
      value = columns[i];
    } else if (i > main && i - 1 < columns.Count()) {
      value = columns[i - 1];
    }
    if (value.empty()) continue;
    switch (section->FieldType()) {
      case sftNumber: {
        std::int32_t n = 0;
        if (TextToInt(value, n)) field->SetAsInteger(n);
        break;
      }
      case sftFloating: {
        double d = 0;
        if (TextToFloat(value, d)) field->SetAsFloat(d);
        break;
      }
      default:
        field->SetAsString(value);
        break;
    }
  }
}

TMtTreeItem* TRef::FindByCode(std::int32_t Code) const {
  for (TMtTreeItem* item : ItemList()) {
    const TRefItemRec* rec = RefRecOf(item);
    if (rec != nullptr && rec->Code == Code) return item;
  }
  return nullptr;
}

TMtTreeItem* TRef::FindChild(TMtTreeItem* Parent, std::int32_t Code, std::int32_t Kind) const {
  // Pre-order over the subtree without recursion (tables may nest deeply).
  TMtTreeItem* top = Parent != nullptr ? Parent : tree_->Items()->Root();
  std::vector<std::pair<TMtTreeItem*, int>> path{{top, 0}};
  while (!path.empty()) {
    auto& [node, next] = path.back();
    if (next >= node->GetChildrenCount()) {
      path.pop_back();
      continue;
    }
    TMtTreeItem* child = node->GetChildren(next++);
    const TRefItemRec* rec = RefRecOf(child);
    if (rec != nullptr && rec->Kind == Kind && rec->Code == Code) return child;
    if (child->GetHasChildren()) path.emplace_back(child, 0);
  }
  return nullptr;
}

TMtTreeItem* TRef::AddItem(TMtTreeItem* Parent) {
  if (MaxCode == std::numeric_limits<std::int32_t>::max())
    throw ERefError(Format(Ansi("В справочнике %s не осталось свободных кодов"), {FileName}));
  const TRefItemRec* parentRec = RefRecOf(Parent);
  const TRefItemRec rec{MaxCode + 1, parentRec != nullptr ? parentRec->Code : 0, 0, fkRefRow};
  MaxCode = rec.Code;
  TMtTreeItem* item = tree_->Items()->AddItem(Parent);
  if (OnNewItem) OnNewItem(this, item, rec);
  if (item->Data == nullptr) item->Data = NewRefItemRec(rec);
  Modified = true;
  return item;
}

void TRef::DeleteItem(TMtTreeItem* Item) {
  if (Item == nullptr) return;
  tree_->Items()->DeleteItem(Item);  // the deletion handler takes the subtree out of ItemList
  Modified = true;
}

void TRef::Clear() {
  DeleteAllItems();
  partial_ = false;
  Modified = true;
}
