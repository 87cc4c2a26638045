#include "decode/CatalogueText.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <utility>

#include "core/TextTrim.h"
#include "decode/Conversions.h"

namespace corvane::decode {

namespace {

// The next blank-separated word of `s`, removed from it.
std::string_view nextWord(std::string_view& s) {
    s = trimBlanks(s);
    const size_t end = std::min(s.find(' '), s.size());
    std::string_view word = s.substr(0, end);
    s.remove_prefix(end);
    return word;
}

template <typename T>
std::optional<T> number(std::string_view s, int base = 10) {
    T v{};
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
    return v;
}

std::optional<double> decimal(std::string_view s) {
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
    return v;
}

// "0:off|1:on" -> sorted value names; nothing when malformed.
std::optional<std::vector<ValueName>> parseValueNames(std::string_view text) {
    std::vector<ValueName> names;
    while (!text.empty()) {
        const size_t bar = std::min(text.find('|'), text.size());
        std::string_view item = trimBlanks(text.substr(0, bar));
        text.remove_prefix(std::min(bar + 1, text.size()));
        const size_t colon = item.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        auto value = number<uint32_t>(trimBlanks(item.substr(0, colon)));
        if (!value) return std::nullopt;
        names.push_back({*value, std::string(trimBlanks(item.substr(colon + 1)))});
    }
    std::sort(names.begin(), names.end(),
              [](const ValueName& a, const ValueName& b) { return a.value < b.value; });
    return names;
}

class Parser {
  public:
    CatalogueParse run(std::string_view text) {
        while (!text.empty()) {
            const size_t end = std::min(text.find('\n'), text.size());
            std::string_view line = text.substr(0, end);
            text.remove_prefix(std::min(end + 1, text.size()));
            ++lineNumber_;
            const size_t hash = line.find('#');
            if (hash != std::string_view::npos) line = line.substr(0, hash);
            if (trimBlanks(line).empty()) continue;
            const bool indented = line.front() == ' ' || line.front() == '\t';
            if (indented) {
                fieldLine(trimBlanks(line));
            } else {
                finish();
                headerLine(trimBlanks(line));
            }
            if (full_) break;
        }
        finish();
        return std::move(result_);
    }

  private:
    void fail(std::string_view why) {
        result_.errors.push_back("line " + std::to_string(lineNumber_) + ": " + std::string(why));
    }

    // Counts `n` more fields and value names; false (and the reading ends) past the limit.
    bool take(size_t n) {
        entries_ += n;
        if (entries_ <= kMaxEntriesPerFile) return true;
        full_ = true;
        current_.reset();
        fail("over " + std::to_string(kMaxEntriesPerFile) +
             " fields and value names: the rest of the file is not read");
        return false;
    }

    static size_t entriesOf(const std::vector<FieldSpec>& fields) {
        size_t n = 0;
        for (const FieldSpec& f : fields) n += 1 + f.values.size();
        return n;
    }

    void finish() {
        if (!current_) return;
        current_->complete();
        result_.catalogue.add(std::move(*current_));
        current_.reset();
    }

    void headerLine(std::string_view line) {
        const std::string_view first = nextWord(line);
        if (first == "names") {
            const std::string_view name = nextWord(line);
            auto values = parseValueNames(trimBlanks(line));
            if (name.empty() || !values) return fail("bad value names");
            if (!take(values->size())) return;
            sharedNames_[std::string(name)] = std::move(*values);
            return;
        }
        auto dgn = number<uint32_t>(first, 16);
        const std::string_view name = nextWord(line);
        if (!dgn || *dgn > 0x3FFFF || name.empty()) return fail("expected a DGN and a name");
        if (++messages_ > kMaxMessagesPerFile) {
            full_ = true;
            return fail("over " + std::to_string(kMaxMessagesPerFile) +
                        " messages: the rest of the file is not read");
        }
        current_.emplace();
        current_->dgn = *dgn;
        current_->name = std::string(name);
        if (nextWord(line) == "like") {
            auto base = number<uint32_t>(nextWord(line), 16);
            const MessageSpec* earlier = base ? result_.catalogue.find(*base) : nullptr;
            if (!earlier) return fail("\"like\" names no earlier message");
            if (!take(entriesOf(earlier->fields))) return;
            current_->fields = earlier->fields;
        }
    }

    void fieldLine(std::string_view line) {
        if (!current_) return fail("a field outside a message");
        if (current_->fields.size() >= MessageSpec::kMaxFields)
            return fail("over " + std::to_string(MessageSpec::kMaxFields) +
                        " fields in one message");
        FieldSpec spec;
        if (!parseFieldPosition(nextWord(line), spec)) return fail("bad field position");
        const std::string_view name = nextWord(line);
        if (name.empty()) return fail("a field without a name");
        spec.name = current_->unusedName(name);
        // Kept under a number, so that neither hides the other; the file should say which.
        if (spec.name != name) fail("a second field named " + std::string(name));
        bool explicitScale = false;
        bool explicitOffset = false;
        for (std::string_view word = nextWord(line); !word.empty(); word = nextWord(line)) {
            if (word == "=") {
                auto values = parseValueNames(trimBlanks(line));
                if (!values) return fail("bad value names");
                spec.values = std::move(*values);
                break;
            } else if (word.front() == '@') {
                auto it = sharedNames_.find(std::string(word.substr(1)));
                if (it == sharedNames_.end()) return fail("unknown value names");
                spec.values = it->second;
            } else if (word == "ascii") {
                spec.kind = FieldKind::Ascii;
            } else if (word == "hex") {
                spec.kind = FieldKind::Hex;
            } else if (word == "dgn") {
                spec.kind = FieldKind::Dgn;
            } else if (word == "spn") {
                spec.kind = FieldKind::Spn;
            } else if (word == "spn-low-first") {
                spec.kind = FieldKind::SpnLowFirst;
            } else if (word.starts_with("part:")) {
                auto part = number<uint8_t>(word.substr(5));
                if (!part) return fail("bad part number");
                spec.kind = FieldKind::Part;
                spec.part = *part;
            } else if (word.front() == 'x' && decimal(word.substr(1))) {
                spec.scale = *decimal(word.substr(1));
                explicitScale = true;
            } else if (word.front() == 'o' && decimal(word.substr(1))) {
                spec.offset = *decimal(word.substr(1));
                explicitOffset = true;
            } else {
                spec.unit = canonicalUnit(word);
            }
        }
        // A number is at most 4 bytes; anything wider, or running to the end, is raw bytes.
        if (spec.kind == FieldKind::Number && (spec.byteCount == 0 || spec.byteCount > 4)) {
            spec.kind = FieldKind::Hex;
        }
        const Conversion standard = standardConversion(spec.unit, spec.width());
        if (!explicitScale) spec.scale = standard.scale;
        if (!explicitOffset) spec.offset = standard.offset;
        spec.decimals = decimalsOf(spec.scale);
        if (!take(1 + spec.values.size())) return;
        current_->fields.push_back(std::move(spec));
    }

    CatalogueParse result_;
    std::optional<MessageSpec> current_;
    std::map<std::string, std::vector<ValueName>> sharedNames_;
    size_t lineNumber_ = 0;
    size_t entries_ = 0;
    size_t messages_ = 0;
    bool full_ = false;
};

}  // namespace

bool parseFieldPosition(std::string_view text, FieldSpec& spec) {
    const size_t dot = text.find('.');
    std::string_view bytes = text.substr(0, dot);
    const size_t dash = bytes.find('-');
    auto first = number<uint16_t>(bytes.substr(0, dash));
    if (!first || *first >= MessageSpec::kMaxBytes) return false;
    spec.firstByte = *first;
    spec.byteCount = 1;
    if (dash != std::string_view::npos) {
        if (dash + 1 == bytes.size()) {
            spec.byteCount = 0;  // to the end
        } else {
            auto last = number<uint16_t>(bytes.substr(dash + 1));
            if (!last || *last < *first || *last >= MessageSpec::kMaxBytes) return false;
            spec.byteCount = static_cast<uint16_t>(*last - *first + 1);
        }
    }
    if (dot == std::string_view::npos) return true;
    if (spec.byteCount == 0 || spec.byteCount > 4) return false;  // bits of a number
    std::string_view bits = text.substr(dot + 1);
    const size_t bitDash = bits.find('-');
    auto low = number<uint8_t>(bits.substr(0, bitDash));
    auto high = bitDash == std::string_view::npos ? low : number<uint8_t>(bits.substr(bitDash + 1));
    if (!low || !high || *high < *low || *high >= spec.byteCount * 8) return false;
    spec.firstBit = *low;
    spec.bitCount = static_cast<uint8_t>(*high - *low + 1);
    return true;
}

CatalogueParse parseCatalogueText(std::string_view text) { return Parser().run(text); }

}  // namespace corvane::decode
