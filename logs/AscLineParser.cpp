#include "logs/AscLineParser.h"

#include <array>
#include <charconv>

namespace corvane {

namespace {

// Splits a line into blank-separated words, one at a time.
class Words {
  public:
    explicit Words(std::string_view line) : rest_(line) {}
    std::string_view next() {
        size_t from = 0;
        while (from < rest_.size() && isBlank(rest_[from])) ++from;
        size_t to = from;
        while (to < rest_.size() && !isBlank(rest_[to])) ++to;
        const std::string_view word = rest_.substr(from, to - from);
        rest_.remove_prefix(to);
        return word;
    }

  private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
    std::string_view rest_;
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool parseNumber(std::string_view text, int base, uint64_t& value) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size();
}

// "12.345678" seconds -> microseconds (digits beyond the sixth are dropped). Over
// kMaxAscSeconds is no time of a log.
bool parseSeconds(std::string_view text, int64_t& micros) {
    const size_t dot = text.find('.');
    uint64_t seconds = 0;
    if (!parseNumber(text.substr(0, dot), 10, seconds) || seconds > kMaxAscSeconds) return false;
    uint64_t fraction = 0;
    if (dot != std::string_view::npos) {
        std::string_view digits = text.substr(dot + 1);
        if (digits.size() > 6) digits = digits.substr(0, 6);
        if (!digits.empty() && !parseNumber(digits, 10, fraction)) return false;
        for (size_t i = digits.size(); i < 6; ++i) fraction *= 10;
    }
    micros = static_cast<int64_t>(seconds * 1'000'000 + fraction);
    return true;
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// "[Thu] Dec 10 07:02:26[.123] [am|pm] 2026" -> microseconds since 1970, taken as UTC.
bool parseDate(Words words, int64_t& micros) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    const auto monthOf = [](std::string_view word) -> unsigned {
        for (unsigned m = 0; m < 12; ++m) {
            if (equalsIgnoringCase(word, kMonths[m])) return m + 1;
        }
        return 0;
    };
    // The weekday is optional.
    unsigned month = monthOf(words.next());
    if (month == 0) month = monthOf(words.next());
    uint64_t day = 0, year = 0, hour = 0, minute = 0;
    if (month == 0 || !parseNumber(words.next(), 10, day) || day < 1 || day > 31) return false;
    const std::string_view clock = words.next();
    if (clock.size() < 8 || clock[2] != ':' || clock[5] != ':' ||
        !parseNumber(clock.substr(0, 2), 10, hour) || !parseNumber(clock.substr(3, 2), 10, minute))
        return false;
    int64_t secondMicros = 0;
    if (!parseSeconds(clock.substr(6), secondMicros)) return false;
    std::string_view next = words.next();
    if (equalsIgnoringCase(next, "am") || equalsIgnoringCase(next, "pm")) {
        if (hour == 12) hour = 0;
        if (equalsIgnoringCase(next, "pm")) hour += 12;
        next = words.next();
    }
    if (!parseNumber(next, 10, year) || year < 1970 || year > 9999 || hour > 23 || minute > 59)
        return false;
    const int64_t days =
        daysFromCivil(static_cast<int64_t>(year), month, static_cast<unsigned>(day));
    micros = ((days * 24 + static_cast<int64_t>(hour)) * 60 + static_cast<int64_t>(minute)) * 60 *
                 1'000'000 +
             secondMicros;
    return true;
}

AscLine notAFrame(CandumpError why) {
    AscLine out;
    out.kind = AscLine::Kind::NotAFrame;
    out.error = why;
    return out;
}

// The words after the time stamp of a line that starts with one.
AscLine parseEvent(Words words, int64_t micros, bool decimal) {
    const int base = decimal ? 10 : 16;
    const std::string_view channel = words.next();
    if (equalsIgnoringCase(channel, "CANFD")) return notAFrame(CandumpError::CanFd);
    uint64_t channelNumber = 0;
    if (!parseNumber(channel, 10, channelNumber)) return {};  // an event, not a frame
    std::string_view id = words.next();
    if (equalsIgnoringCase(id, "ErrorFrame")) return notAFrame(CandumpError::ErrorFrame);
    const std::string_view direction = words.next();
    if (direction != "Rx" && direction != "Tx") return {};  // statistics and other events
    const bool extended = !id.empty() && (id.back() == 'x' || id.back() == 'X');
    if (extended) id.remove_suffix(1);
    uint64_t canId = 0;
    if (!parseNumber(id, base, canId)) return notAFrame(CandumpError::BadId);
    if (!extended) return notAFrame(CandumpError::StandardId);
    if (canId > 0x1FFFFFFF) return notAFrame(CandumpError::BadId);
    const std::string_view kind = words.next();
    if (kind == "r" || kind == "R") return notAFrame(CandumpError::RemoteFrame);
    uint64_t length = 0;
    if (kind != "d" && kind != "D") return notAFrame(CandumpError::BadHex);
    if (!parseNumber(words.next(), 10, length)) return notAFrame(CandumpError::BadHex);
    if (length > 8) return notAFrame(CandumpError::TooLong);
    AscLine out;
    out.kind = AscLine::Kind::Frame;
    out.micros = micros;
    out.record.micros = micros;
    out.record.interface = channel;
    out.record.canId = static_cast<uint32_t>(canId);
    out.record.length = static_cast<uint8_t>(length);
    for (size_t i = 0; i < length; ++i) {
        uint64_t byte = 0;
        if (!parseNumber(words.next(), base, byte) || byte > 0xFF)
            return notAFrame(CandumpError::BadHex);
        out.record.data[i] = static_cast<uint8_t>(byte);
    }
    return out;
}

}  // namespace

AscLine parseAscLine(std::string_view line, bool decimal) {
    Words words(line);
    const std::string_view first = words.next();
    if (first.empty()) return {};
    if (first.front() >= '0' && first.front() <= '9') {
        int64_t micros = 0;
        if (!parseSeconds(first, micros)) return notAFrame(CandumpError::BadTimestamp);
        AscLine out = parseEvent(words, micros, decimal);
        out.timed = true;
        out.micros = micros;
        return out;
    }
    AscLine out;
    if (equalsIgnoringCase(first, "date")) {
        if (parseDate(words, out.micros)) out.kind = AscLine::Kind::Date;
        return out;
    }
    if (equalsIgnoringCase(first, "base")) {
        const std::string_view base = words.next();
        if (!equalsIgnoringCase(base, "hex") && !equalsIgnoringCase(base, "dec")) return out;
        out.kind = AscLine::Kind::Base;
        out.decimal = equalsIgnoringCase(base, "dec");
        words.next();  // "timestamps"
        out.relative = equalsIgnoringCase(words.next(), "relative");
    }
    return out;
}

}  // namespace corvane
