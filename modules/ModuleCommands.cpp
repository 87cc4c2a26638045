#include "modules/ModuleCommands.h"

#include <memory>
#include <string>

#include "debugport/CommandRegistry.h"
#include "debugport/FunctionCommand.h"
#include "modules/AppKiller.h"
#include "modules/ModuleCatalogue.h"

namespace corvane {

void registerModuleCommands(CommandRegistry& registry, ModuleCatalogue& catalogue) {
    registry.add("mods", std::make_unique<FunctionCommand>(
                             [&catalogue](const std::string&) { return catalogue.report(); }));
    registry.add("folder", std::make_unique<FunctionCommand>([&catalogue](const std::string& text) {
                     catalogue.setModuleFolder(text);
                     return std::string();
                 }));
}

void registerAppKillerCommands(CommandRegistry& registry, AppKiller& killer) {
    registry.add("apps", std::make_unique<FunctionCommand>(
                             [&killer](const std::string&) { return killer.report(); }));
}

}  // namespace corvane
