// The subcommand registry of kvpack: each command adds itself to the CLI11 app through one function.
#pragma once

#include <functional>
#include <span>

#include <CLI/CLI.hpp>

namespace kv::tools {

// What the chosen subcommand runs once the command line is parsed; returns the exit code.
using CommandRunner = std::function<int()>;

// Adds one subcommand (its options and --help) to `app`; when that subcommand is chosen, its parse
// callback stores the work in `run`.
using AddCommand = void (*)(CLI::App& app, CommandRunner& run);

// Every subcommand, in the order --help lists them. A new command is one file with an Add...
// function and one line in command_list.cpp.
std::span<const AddCommand> AllCommands();

void AddBuildCommand(CLI::App& app, CommandRunner& run);
void AddListCommand(CLI::App& app, CommandRunner& run);
void AddVerifyCommand(CLI::App& app, CommandRunner& run);
void AddExtractCommand(CLI::App& app, CommandRunner& run);
void AddCompressCommand(CLI::App& app, CommandRunner& run);
void AddExpandCommand(CLI::App& app, CommandRunner& run);
void AddLogCommand(CLI::App& app, CommandRunner& run);
void AddWingetCommand(CLI::App& app, CommandRunner& run);

}  // namespace kv::tools
