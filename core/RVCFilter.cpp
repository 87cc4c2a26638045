#include "core/RVCFilter.h"

#include <cstdio>

#include "core/ClientRequest.h"

namespace corvane {

bool RVCFilter::matchesRemoval(std::span<const uint8_t>) const { return false; }
bool RVCFilter::offer(const RvcFrame&) { return true; }
bool RVCFilter::offer(const RvcMessage&) { return true; }
std::string RVCFilter::report() const { return "Base Class\r\n"; }

bool RVCFilter::namesAddress(std::span<const uint8_t> request, uint8_t code, uint8_t address) {
    return request.size() > clientbus::kArgumentOffset && request[0] == code &&
           request[clientbus::kArgumentOffset] == address;
}

std::string RVCFilter::formatLine(const char* format, uint16_t id, uint32_t value) {
    char line[96];
    std::snprintf(line, sizeof line, format, unsigned{id}, value);
    return line;
}

}  // namespace corvane
