// quorbase's sub-commands register themselves, one file each (see cli/command.h).
#pragma once

#include "cli/command.h"

namespace quorbase_tool {
using cli::Command;
using cli::RegisterCommand;
using cli::UsageError;
}  // namespace quorbase_tool
