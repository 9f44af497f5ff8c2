// The system's version-information functions. A Linux program file carries no version
// resource, so the program hands the block its build generated for it to
// `SetFileVersionBlock`; the queries below answer it for that file and nothing for any
// other. Walking the block (the value query) is the version reader's business.
#pragma once

#include <cstdint>
#include <string>

#include "platform/core/AnsiText.h"

// Makes `block` the version block of the file `fileName` (the running program's own file,
// or, in tests, any name). An empty block removes the entry.
void SetFileVersionBlock(const AnsiString& fileName, std::string block);

// The size of the file's version block, 0 when it has none. `handle` is set to 0.
std::uint32_t GetFileVersionInfoSize(const AnsiString& fileName, std::uint32_t& handle);
// Copies up to `size` bytes of the block into `data`; false when the file has no block.
bool GetFileVersionInfo(const AnsiString& fileName, std::uint32_t handle, std::uint32_t size, void* data);
