// Path utilities of the folder dialog and the directory edit, and the rules those two
// controls follow, without any toolkit: which folder a dialog starts at, when its OK
// button may be pressed, what a chosen or dropped folder makes of the edit's text.
//
// Paths are 1251 names with "/"; a "\" is accepted as a separator. The root is "/"
// (the class library's "\" of a drive root is kept as it is when it comes in).
#pragma once

#include <string_view>
#include <vector>

#include "platform/core/AnsiText.h"

// The path without its trailing separator, unless it is a single character ("/") or a
// drive root such as "C:\".
AnsiString RemoveBackSlash(std::string_view path);
// True when the path exists and is a directory.
bool DirExists(std::string_view path);
// The path with each component after the first replaced by its name as the file system
// has it (an existing name found case-insensitively, as the files are everywhere),
// from the last component backwards, each looked up with the path up to it; a component
// that does not exist becomes empty, its separators stay. This file system has no
// short (8.3) names, so both directions give the same.
AnsiString ShortToLongPath(std::string_view path);
AnsiString LongToShortPath(std::string_view path);

// The picture of a chosen folder (the folder dialog's ImageIndex): 0 a folder, 1 the
// home folder, 2 the file system's root; -1 for a path that is no directory.
int FolderImageIndex(std::string_view path);
// The folder dialog's OK button is enabled only for an existing directory.
bool FolderOkEnabled(std::string_view path);
// The folder a directory edit's dialog starts at: the text, or InitialDir when the text
// is empty, or the root when that is empty too; a folder that does not exist gives
// the root.
AnsiString DirectoryDialogStart(std::string_view text, std::string_view initialDir);
// The edit's text after the dialog chose `name`: with MultipleDirs and a non-empty
// text the name is appended after ";", otherwise it replaces the text.
AnsiString TextWithChosenDir(std::string_view text, std::string_view name, bool multipleDirs);
// A dropped name as the directory edit takes it: an existing file gives its directory
// (with the trailing separator); anything else is taken as it is, whatever its length.
AnsiString AcceptDroppedPath(std::string_view name);
// The text up to the first of `delimiters` (all of it when there is none); `text`
// keeps what follows that delimiter. Repeated calls walk a list such as "a;b;;c".
AnsiString ExtractToken(AnsiString& text, std::string_view delimiters);
// The text with each path converted (split at ";" with MultipleDirs by ExtractToken;
// the non-empty results joined with ";").
AnsiString ConvertDirText(std::string_view text, bool multipleDirs, AnsiString (*convert)(std::string_view));
