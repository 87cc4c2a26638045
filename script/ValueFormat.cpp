#include "script/ValueFormat.h"

#include <cmath>
#include <cstdio>
#include <string_view>

namespace corvane {

std::string EnumText(std::string_view format, uint8_t key) {
    const std::string search = "#" + std::to_string(key) + "=";
    size_t start = format.find(search);
    if (start != std::string_view::npos) {
        start += search.size();
    } else {
        constexpr std::string_view kDefault = "#DEFAULT=";
        start = format.find(kDefault);
        if (start == std::string_view::npos) return std::string(kNoEntryText);
        start += kDefault.size();
    }
    const size_t end = format.find('#', start);
    return std::string(format.substr(start, end == std::string_view::npos ? end : end - start));
}

namespace {

template <class... Args>
std::string Format(const char* format, Args... args) {
    // Most texts fit the first buffer; a longer one is formatted again at its exact size.
    char buffer[128];
    const int size = std::snprintf(buffer, sizeof buffer, format, args...);
    if (size < 0) return std::string(kParsingErrorText);
    if (static_cast<size_t>(size) < sizeof buffer)
        return std::string(buffer, static_cast<size_t>(size));
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(static_cast<size_t>(size));
    return text;
}

}  // namespace

std::string TimeText(FormatKind kind, double value) {
    if (!std::isfinite(value)) return std::string(kErrorRangeText);
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);
    const bool minutesGiven = kind == FormatKind::Minutes || kind == FormatKind::MinutesDecimal;
    const double s = minutesGiven ? magnitude * 60.0 : magnitude;
    const double totalMinutes = s / 60.0;
    const double hours = std::trunc(totalMinutes / 60.0);
    const double minutes = totalMinutes - 60.0 * hours;
    const double wholeMinutes = std::trunc(minutes);  // S and M only
    const double seconds = std::trunc(s - 60.0 * std::trunc(totalMinutes));

    // Hours are printed from the double: a large value must not overflow an int.
    const std::string hoursText = Format("%s%.0f", negative ? "-" : "", hours);
    if (kind == FormatKind::Seconds || kind == FormatKind::Minutes) {
        return Format("%3s:%02.0f:%02.0f", hoursText.c_str(), wholeMinutes, seconds);
    }
    // Zero-padded to five characters rather than a "0" put in front of minutes below 10, which
    // gave "010.00" when 9.996 minutes rounded up.
    return Format("%3s:%05.2f", hoursText.c_str(), minutes);
}

bool IsSafeFloatFormat(std::string_view format) {
    int conversions = 0;
    size_t i = 0;
    const auto digits = [&]() {
        size_t count = 0;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
            ++i;
            ++count;
        }
        return count;
    };
    while (i < format.size()) {
        if (format[i] != '%') {
            ++i;
            continue;
        }
        ++i;
        if (i < format.size() && format[i] == '%') {
            ++i;
            continue;
        }
        while (i < format.size() &&
               std::string_view("-+ #0").find(format[i]) != std::string_view::npos) {
            ++i;
        }
        if (digits() > 3) return false;
        if (i < format.size() && format[i] == '.') {
            ++i;
            if (digits() > 3) return false;
        }
        if (i < format.size() && format[i] == 'l') ++i;
        if (i >= format.size() ||
            std::string_view("fFeEgG").find(format[i]) == std::string_view::npos) {
            return false;
        }
        ++i;
        ++conversions;
    }
    return conversions == 1;
}

std::string PrintfValue(std::string_view format, double value) {
    if (!IsSafeFloatFormat(format)) return std::string(kParsingErrorText);
    const std::string terminated(format);
    return Format(terminated.c_str(), value);
}

}  // namespace corvane
