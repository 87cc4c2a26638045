#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The runtime folder as found: its path, and why it cannot be used ("is a symbolic link",
// "belongs to another user (uid 65534)", "is writable by other users", ...) when it cannot.
struct RuntimeDirCheck {
    std::string path;
    std::string problem;  // empty when the folder is usable
    bool usable() const { return problem.empty(); }
};

// The per-user folder for mailslots and the single-instance lock: $CORVANE_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/corvane, else /tmp/corvane-<uid>. Created mode 0700 when missing, tightened
// to 0700 when only its read rights are looser; refused when it cannot be made a private
// folder of this user (not a folder, a symbolic link, somebody else's, or writable by others).
RuntimeDirCheck checkRuntimeDirectory();
// The same, the path only when the folder is usable.
std::optional<std::string> runtimeDirectory();

// <runtime>/mailslot/RVC, created the same way.
std::optional<std::string> mailslotDirectory();

// A slot name names one file in the mailslot folder and nothing else:
//   "RVCManager", "ModA", "rvc-watch.42" -> valid
//   "", ".", "..", "a/b", a name with control bytes, or longer than 64 -> invalid
bool isValidSlotName(std::string_view name);

// The socket path of a mailslot; nullopt for an invalid name or when the folder is unusable.
std::optional<std::string> mailslotPath(std::string_view name);

}  // namespace corvane
