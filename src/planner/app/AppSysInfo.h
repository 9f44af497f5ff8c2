// What the about box says about the computer, on Linux: the distribution's name, the
// kernel, the physical memory. The readers take the texts of /etc/os-release and
// /proc/meminfo as arguments, so that they are tested on fixed texts; the Get routines
// read the running system.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/core/AnsiText.h"

struct TSystemVersion {
  AnsiString Name;     // the distribution ("Debian GNU/Linux 12 (bookworm)"), else the kernel's name
  AnsiString Version;  // the kernel release ("6.1.0-18-amd64"), "?" when unknown
  int Build = 0;       // the kernel's build number ("#1 SMP ..." gives 1), 0 when unknown
  AnsiString Machine;  // "x86_64"
};

// Memory in kilobytes.
struct TMemoryStatus {
  std::int64_t TotalPhys = 0, AvailPhys = 0;
  std::int64_t TotalVirtual = 0, AvailVirtual = 0;  // swap
};

// PRETTY_NAME of an os-release text (quotes and escapes removed), else NAME + " " +
// VERSION_ID, else empty.
AnsiString ParseOsRelease(std::string_view Text);
// The values of a meminfo text: MemTotal, MemAvailable (MemFree when the kernel is too
// old to give it), SwapTotal, SwapFree; missing values are 0.
TMemoryStatus ParseMemInfo(std::string_view Text);

// The build number at the head of the kernel's version text ("#12 SMP ..." gives 12); 0
// without one.
int ParseKernelBuild(std::string_view Text);

TSystemVersion GetSystemVersion();
TMemoryStatus GetMemoryStatus();

// The about box's system rows.
// "%d K; %d K free (%d%)" of total, available and their percentage (0 without a total).
AnsiString MemoryText(const TMemoryStatus& Memory);
// "%s build %d" of the release and the build, then the machine: "6.1.0-18-amd64 build 1,
// x86_64".
AnsiString VersionText(const TSystemVersion& Version);
