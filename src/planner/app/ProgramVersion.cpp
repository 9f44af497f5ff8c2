#include "planner/app/ProgramVersion.h"

#include <string>

#include "platform/core/SysDirs.h"
#include "platform/core/VersionResources.h"

void RegisterProgramVersionBlock() { SetFileVersionBlock(ProgramFileName(), std::string(ProgramVersionBlock())); }
