// Where the program and its per-user files live. Every directory name ends with "/".
#pragma once

#include "platform/core/AnsiText.h"

// The running executable (from /proc/self/exe) and its directory.
AnsiString ProgramFileName();
AnsiString ProgramDirectory();

// The program's per-user configuration directory: $XDG_CONFIG_HOME/tarnwick, or
// ~/.config/tarnwick. It plays the part of the Windows directory: the settings store and
// "dbtables.cfg" live there. Not created here.
AnsiString ConfigDirectory();
inline AnsiString WindowsDirectory() { return ConfigDirectory(); }

// The program's per-user data directory: $XDG_DATA_HOME/tarnwick, or
// ~/.local/share/tarnwick. Used instead of the program directory when that is not
// writable (an installed program). Not created here.
AnsiString UserDataDirectory();

// True when files can be created in the directory (it exists and we may write there).
bool IsDirectoryWritable(std::string_view dir);
