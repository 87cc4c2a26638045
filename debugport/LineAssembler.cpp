#include "debugport/LineAssembler.h"

namespace corvane {

std::vector<std::string> LineAssembler::feed(std::span<const uint8_t> bytes) {
    std::vector<std::string> lines;
    for (uint8_t byte : bytes) {
        if (byte >= 32 && byte <= 127) {
            line_.push_back(static_cast<char>(byte));
            if (line_.size() >= kLineLimit) line_.clear();
            continue;
        }
        if (!line_.empty()) lines.push_back(std::move(line_));
        line_.clear();
    }
    return lines;
}

std::vector<std::string> LineAssembler::feed(std::string_view text) {
    return feed(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace corvane
