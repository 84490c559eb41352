// jet-tool's sub-commands register themselves, one file each (see cli/command.h).
#pragma once

#include "cli/command.h"

namespace jet_tool {
using cli::Command;
using cli::RegisterCommand;
using cli::UsageError;
}  // namespace jet_tool
