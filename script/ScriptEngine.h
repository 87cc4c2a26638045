#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/ExecPoint.h"
#include "script/GotoQueue.h"
#include "script/ScriptFile.h"
#include "script/ScriptKeyword.h"
#include "script/ScriptWindow.h"
#include "script/VariableList.h"

namespace corvane {

// The script engine: runs script lines against its variables and talks to its window through
// ScriptWindow only. Everything except the variable list (which the manager's dispatch also
// feeds, see VariableList) is used on the one thread that runs the script.
class ScriptEngine {
  public:
    explicit ScriptEngine(ScriptWindow& window) : window_(window) {}

    // Opens the script file, lists its execution points and empties the GOTO queue. False
    // when the file cannot be opened.
    bool OpenScript(const std::string& path);
    ScriptFile& file() { return file_; }

    // Runs one line: the traffic-line rewrite, the one-character kinds, then the first keyword
    // in dispatch order that equals the line's keyword.
    void ExecuteLine(std::string_view line);

    // Execution points of the open script.
    void ScanExecPoints();
    const ExecPoint* FindExecPoint(std::string_view upper) const;
    const std::vector<ExecPoint>& execPoints() const { return execPoints_; }
    void ClearExecPoints() { execPoints_.clear(); }

    // An event's GOTO command: queues the offset of every execution point it names.
    void QueueGoto(std::string_view command);
    std::optional<uint32_t> TakeQueuedGoto() { return gotoQueue_.Take(); }
    void ClearGotoQueue() { gotoQueue_.Clear(); }

    VariableList& variables() { return variables_; }
    // Source address of SEND messages; 0xFF sends from the tool's own address.
    uint8_t source() const { return source_; }
    void setSource(uint8_t source) { source_ = source; }

  private:
    void RunCommand(ScriptKeyword keyword, std::string_view arguments);
    void DefineDatum(std::string_view arguments, bool visibleInList);
    void Constant(std::string_view arguments);
    void Format(std::string_view arguments);
    void Dictionary(std::string_view arguments);
    // The variable commands that name an existing datum; when none has the name, the error is
    // logged instead.
    void WithDatum(std::string_view arguments, void (*action)(RVCDatum&), bool redrawAll);

    ScriptWindow& window_;
    VariableList variables_;
    ScriptFile file_;
    std::vector<ExecPoint> execPoints_;
    GotoQueue gotoQueue_;
    uint8_t source_ = 0xFF;
};

}  // namespace corvane
