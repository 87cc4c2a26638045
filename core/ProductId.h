#pragma once

#include <string>
#include <string_view>

namespace corvane {

// The four asterisk-terminated fields of a PRODUCT_ID text.
struct ProductId {
    std::string make;
    std::string model;
    std::string serialNumber;
    std::string idNumber;
};

// "ACME*Heater 5*SN123*7*" -> {ACME, Heater 5, SN123, 7}. A field without its "*" is empty and
// consumes nothing, except the last: a new node takes the rest of the text as its ID number
// ("A*B*C*D" -> D) while a refreshed node gets an empty one.
ProductId parseProductId(std::string_view text, bool newNode);

}  // namespace corvane
