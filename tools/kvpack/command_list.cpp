// The list of kvpack's subcommands.
#include "tools/kvpack/command.h"

namespace kv::tools {

std::span<const AddCommand> AllCommands() {
    static constexpr AddCommand kCommands[] = {
        AddBuildCommand,    AddListCommand,   AddVerifyCommand, AddExtractCommand,
        AddCompressCommand, AddExpandCommand, AddLogCommand,    AddWingetCommand,
    };
    return kCommands;
}

}  // namespace kv::tools
