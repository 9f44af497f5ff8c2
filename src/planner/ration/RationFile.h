// Ration documents (".tw"). Version 3 is written; versions 1, 2 and 3 are read.
//
// Version 3: "TWCK", int32 3, the header (title, author, kind of trip, days,
// participants, description, energy, the three needs, five limits, ration type), then
// int32 N and N items in pre-order: int32 level, the 64-byte food record, the text and
// the comment. Version 2 has the same header and then the ration tree's item stream with
// the 64-byte record of every item at the place of the item-save event. Version 1 is the
// old fixed-record layout with 10-byte extended reals.
//
// Readers check every length and count against the bytes left, and that the document
// ends with its last item; a damaged document (cut short, impossible counts or values,
// bytes left over) is a read failure (result 2), and what was read of it is removed
// again.
#pragma once

#include <cstdint>

#include "planner/ration/RationDoc.h"
#include "platform/core/Classes.h"

inline constexpr char kRationSignature[] = "TWCK";  // 4 bytes, no terminator in files
inline constexpr std::int32_t kRationFileVersion = 3;
inline constexpr const char* kRationFileExt = ".tw";
inline constexpr const char* kRationBackupExt = ".~TW";

// Items deeper than this (the days are level 0) make a document damaged: the program
// builds four levels (day, meal, dish, product), and the limit keeps every walk of the
// tree well inside the stack.
inline constexpr int kRationMaxLevels = 64;
// A version-1 document gives its number of days and puts every product into every day:
// one with more days, or one that would make more items, is refused as damaged.
inline constexpr std::int32_t kRationMaxDays = 999;
inline constexpr std::int64_t kRationMaxItems = 100'000;
// No document is larger than this (the most items, each with long texts, stay far below
// it): a larger file with the signature is refused as damaged without being read.
inline constexpr std::int64_t kRationMaxFileSize = 64 * 1024 * 1024;

// Results of reading a document.
enum TRationLoadResult : int {
  rlOk = 0,
  rlUnknownFormat = 1,  // not "TWCK", or a version other than 1, 2, 3
  rlReadError = 2,      // unreadable, truncated or damaged
};

// The messages of loading and saving; the ration window shows them in message boxes
// with an OK button, tests record them.
class IRationFileMessages {
 public:
  virtual ~IRationFileMessages() = default;
  virtual void ShowError(const AnsiString& Text) = 0;
  // A question with the answers Да and Нет; true for Да.
  virtual bool Confirm(const AnsiString& Text) = 0;
};

// ---------------------------------------------------------------------------------
// Reading

// Reads a document from the stream into Doc, replacing its tree, header, participants,
// days and ration type. Version-1 documents carry no limits: they take CurrentLimits
// (the limits file's values). On success the document is ready and unmodified, its
// caption is the title and the recalculation flags are set; the window then recomputes
// its totals. On failure the tree is left empty and the rest of the document as it
// was. Shows no message.
TRationLoadResult ReadRation(TRationDocument& Doc, TStream& Stream, const TRationLimits& CurrentLimits);

// Remembers FileName as the document's file name and reads the file; one without the
// signature, or larger than kRationMaxFileSize, is refused before more than its first
// bytes are read. A failure is
// shown ("Неизвестный или неверный формат файла" or "Невозможно прочитать файл" with the
// file name); the window then closes and the name leaves the recent-files list.
TRationLoadResult LoadRationFromFile(TRationDocument& Doc, const AnsiString& FileName,
                                     const TRationLimits& CurrentLimits, IRationFileMessages& Messages);

// The 10-byte x87 extended real (little-endian) as the nearest double, rounding half to
// even; too large a value becomes an infinity, too small a zero of its sign.
double ExtendedToDouble(const unsigned char* bytes);

// ---------------------------------------------------------------------------------
// Writing

// Writes the document in version 3.
void WriteRation(const TRationDocument& Doc, TStream& Stream);

// Saves the document in version 3. A FileName that is not empty becomes the document's
// file name and caption first. When the document's own file now holds something other
// than what was read from it or last written to it (another program or user changed it),
// the user is asked first ("Файл ... был изменен другой программой ..."); Нет saves
// nothing and gives false, with no further message. With CreateBakFiles an existing
// file is first copied to its ".~TW" backup. The file is replaced atomically: when anything fails, the message
// "Невозможно записать файл" (or one about the backup) is shown, the file on disk stays
// as it was, the document stays modified and the result is false.
bool SaveRationToFile(TRationDocument& Doc, const AnsiString& FileName, bool CreateBakFiles,
                      IRationFileMessages& Messages);

// Removes the temporary files that killed saves of documents and their backups left in
// the folder Dir ("<name>.tw.tmpXXXXXX", "<name>.~TW.tmpXXXXXX"), when older than a
// minute and held by no running save; nothing else is touched. Saving does it for the
// document's folder.
void RemoveRationSaveLeftovers(const AnsiString& Dir);

// ---------------------------------------------------------------------------------
// The record of an item in a version-2 item stream

// The item-save handler: the item's record, or for an item without one a block of
// zeros with Code, Owner and Kind -1 and Flags -2 (the block of version-3 items).
void tvEatMenuItemSave(TStream& Stream, const TMtTreeItem* Item);
// The item-load handler: reads the 64 bytes and gives the item a record when the stored
// Kind is 0..3; any other Kind leaves it without one. The hidden root's block is read
// and dropped. An item nested deeper than kRationMaxLevels raises EReadError.
void tvEatMenuItemLoad(TRationDocument& Doc, TStream& Stream, TMtTreeItem* Item);

// The food record as files hold it: 64 bytes, little-endian.
TFoodRec ReadFoodRec(TStream& Stream);
void WriteFoodRec(TStream& Stream, const TFoodRec& Rec);
