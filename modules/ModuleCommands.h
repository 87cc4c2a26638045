#pragma once

namespace corvane {

class AppKiller;
class CommandRegistry;
class ModuleCatalogue;

// The debug commands of the module catalogue: "mods" (the module report) and "folder" (sets
// the module base folder for the next rescan).
void registerModuleCommands(CommandRegistry& registry, ModuleCatalogue& catalogue);

// The debug command "apps": the programs the tool has started.
void registerAppKillerCommands(CommandRegistry& registry, AppKiller& killer);

}  // namespace corvane
