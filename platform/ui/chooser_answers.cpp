#include "chooser_answers.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <vector>

namespace plat::ui {

namespace {

std::vector<std::string_view> split_commas(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        auto comma = text.find(',');
        parts.push_back(trim_blanks(text.substr(0, comma)));
        if (comma == std::string_view::npos) return parts;
        text.remove_prefix(comma + 1);
    }
}

bool same_word(std::string_view a, std::string_view lower_word) {
    if (a.size() != lower_word.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i] >= 'A' && a[i] <= 'Z' ? char(a[i] - 'A' + 'a') : a[i];
        if (c != lower_word[i]) return false;
    }
    return true;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string_view trim_blanks(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<int> whole_number(std::string_view text) {
    text = trim_blanks(text);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || end != text.data() + text.size()) return std::nullopt;
    if (ec == std::errc::result_out_of_range) return text[0] == '-' ? INT_MIN : INT_MAX;
    if (ec != std::errc{}) return std::nullopt;
    if (v < INT_MIN) return INT_MIN;
    if (v > INT_MAX) return INT_MAX;
    return int(v);
}

std::optional<Color> parse_color_answer(std::string_view text) {
    text = trim_blanks(text);
    if (!text.empty() && text[0] == '#') {
        if (text.size() != 7) return std::nullopt;
        Color c = 0;
        for (char ch : text.substr(1)) {
            int d = hex_digit(ch);
            if (d < 0) return std::nullopt;
            c = c << 4 | Color(d);
        }
        return c;
    }
    std::vector<std::string_view> parts = split_commas(text);
    if (parts.size() != 3) return std::nullopt;
    int v[3];
    for (int i = 0; i < 3; ++i) {
        auto n = whole_number(parts[std::size_t(i)]);
        if (!n || *n < 0 || *n > 255) return std::nullopt;
        v[i] = *n;
    }
    return rgb(v[0], v[1], v[2]);
}

std::optional<FontAnswer> parse_font_answer(std::string_view text, int max_size) {
    std::vector<std::string_view> parts = split_commas(text);
    if (parts.size() < 2 || parts.size() > 6 || parts[0].empty()) return std::nullopt;
    FontAnswer a;
    a.family = std::string(parts[0]);
    auto size = whole_number(parts[1]);
    if (!size || *size < 1 || *size > max_size) return std::nullopt;
    a.size = *size;
    for (std::size_t i = 2; i < parts.size(); ++i) {
        bool* flag = same_word(parts[i], "bold")        ? &a.bold
                     : same_word(parts[i], "italic")    ? &a.italic
                     : same_word(parts[i], "underline") ? &a.underline
                     : same_word(parts[i], "strikeout") ? &a.strikeout
                                                        : nullptr;
        if (!flag || *flag) return std::nullopt;
        *flag = true;
    }
    return a;
}

}  // namespace plat::ui
