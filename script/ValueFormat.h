#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// How a datum turns its value into text. The numbers are the ones scripts and saved state
// know them by.
enum class FormatKind : uint8_t {
    Printf = 0,          // a printf format consuming one double, "%6.1f"
    Enumerated = 1,      // "#0=Off#1=On#DEFAULT=Error#"
    Seconds = 2,         // S: seconds as hours:minutes:seconds
    SecondsDecimal = 3,  // SDEC: seconds as hours:decimal minutes
    Minutes = 4,         // M: minutes as hours:minutes:seconds
    MinutesDecimal = 5,  // MDEC: minutes as hours:decimal minutes
};

constexpr bool IsTimeKind(FormatKind kind) {
    return kind >= FormatKind::Seconds && kind <= FormatKind::MinutesDecimal;
}

inline constexpr std::string_view kNoDataText = "N/D";
inline constexpr std::string_view kErrorRangeText = "Err";
inline constexpr std::string_view kNoEntryText = "Error";
inline constexpr std::string_view kParsingErrorText = "Parsing Error";

// The label of `key` in an enumerated list: the text after "#<key>=" (exact, case-sensitive),
// else after "#DEFAULT=", up to the next "#"; "Error" when neither entry exists.
//   EnumText("#0=Off#1=On#", 1) == "On";  EnumText("#1 = On#", 1) == "Error"
std::string EnumText(std::string_view format, uint8_t key);

// A time text for the kinds S, SDEC, M and MDEC: S 192 -> "  0:03:12", SDEC 192 -> "  0:03.20",
// M 75.5 -> "  1:15:30", MDEC 75.5 -> "  1:15.50". Negative values carry a minus sign on the
// hours (S -192 -> " -0:03:12"); values that are not finite give "Err".
std::string TimeText(FormatKind kind, double value);

// True when `format` may be handed to printf with one double: exactly one conversion among
// f F e E g G (flags "-+ #0", a width and a precision of at most three digits each, an
// optional "l"), and any number of "%%". Anything else - "%d", "%s", "%n", "*", two
// conversions, a lone "%" - is refused.
bool IsSafeFloatFormat(std::string_view format);

// printf(format, value) for a format that passed IsSafeFloatFormat; any other format gives
// "Parsing Error" instead of reaching printf.
std::string PrintfValue(std::string_view format, double value);

}  // namespace corvane
