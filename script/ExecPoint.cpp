#include "script/ExecPoint.h"

#include "script/ScriptText.h"

namespace corvane {

std::vector<ExecPoint> ScanExecPoints(ScriptFile& file) {
    std::vector<ExecPoint> points;
    file.Seek(0);
    uint32_t offset = 0;
    std::string line;
    while (ReadScriptLine(file, line)) {
        std::string_view text = TrimLeadingSpaces(line);
        if (!text.empty() && text.front() == '@') {
            const size_t first = text.find_first_not_of('@');
            text = first == std::string_view::npos ? std::string_view{} : text.substr(first);
            points.push_back({ToUpper(SplitFirstWord(text).word), offset});
        }
        offset = file.Tell();
    }
    file.Seek(0);
    return points;
}

const ExecPoint* FindExecPoint(const std::vector<ExecPoint>& points, std::string_view upper) {
    for (const auto& point : points) {
        if (point.name == upper) return &point;
    }
    return nullptr;
}

}  // namespace corvane
