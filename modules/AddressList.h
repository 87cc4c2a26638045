#pragma once

#include <bitset>
#include <string>
#include <string_view>

namespace corvane {

using AddressSet = std::bitset<256>;

// A number of a definition file: decimal, or hexadecimal with a final "h"/"H"; only the low
// 8 bits count and anything unreadable reads as 0.
//   "66" -> 66   "80h" -> 128   "1FFH" -> 255   "" -> 0   "x" -> 0   "300" -> 44
uint8_t ParseModuleNumber(std::string_view text);

// Items separated by ","; an item is a number or "first-last" (set only when first < last).
//   "80h, 90h-9Fh" -> {128, 144..159}   "10-10" -> {}   "20-10" -> {}   "" -> {0}
AddressSet ParseAddressList(std::string_view text);

// The set as the debug report writes it: runs as "first-last", single entries followed by ",".
//   {1,2,3,7} -> "1-3,7,"   all -> "0-255"   {} -> ""   {255} -> "255"
std::string CompactRangeList(const AddressSet& set);

}  // namespace corvane
