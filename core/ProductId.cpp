#include "core/ProductId.h"

namespace corvane {

namespace {

// Takes the text before the next "*" and removes it with its "*"; without a "*" the field is
// empty and the text stays as it is.
std::string takeField(std::string_view& text) {
    auto star = text.find('*');
    if (star == std::string_view::npos) return {};
    std::string field(text.substr(0, star));
    text.remove_prefix(star + 1);
    return field;
}

}  // namespace

ProductId parseProductId(std::string_view text, bool newNode) {
    ProductId id;
    id.make = takeField(text);
    id.model = takeField(text);
    id.serialNumber = takeField(text);
    auto star = text.find('*');
    if (star != std::string_view::npos) {
        id.idNumber = std::string(text.substr(0, star));
    } else if (newNode) {
        id.idNumber = std::string(text);
    }
    return id;
}

}  // namespace corvane
