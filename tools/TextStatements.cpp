#include "TextStatements.h"

#include <charconv>
#include <cmath>

namespace quillon::text {

std::optional<std::string> SplitStatements(std::string_view text, const std::string& name,
                                           std::vector<TStatement>& statements, std::vector<std::string>* comments) {
    int line = 1;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view row = text.substr(at, end - at);
        if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
        TStatement statement{line, {}};
        std::string word;
        bool inWord = false;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const char c = row[i];
            if (c == '"') {
                const std::size_t close = row.find('"', i + 1);
                if (close == std::string_view::npos) return At(name, line, "unterminated quoted string");
                word.append(row.substr(i + 1, close - i - 1));
                inWord = true;
                i = close;
            } else if (c == '#') {
                if (statement.words.empty() && !inWord && comments) {
                    std::string_view comment = row.substr(i + 1);
                    if (!comment.empty() && comment.front() == ' ') comment.remove_prefix(1);
                    comments->emplace_back(comment);
                }
                break;
            } else if (c == ' ' || c == '\t') {
                if (inWord) statement.words.push_back(std::move(word));
                word.clear();
                inWord = false;
            } else {
                word.push_back(c);
                inWord = true;
            }
        }
        if (inWord) statement.words.push_back(std::move(word));
        if (!statement.words.empty()) statements.push_back(std::move(statement));
        if (end == text.size()) break;
        at = end + 1;
        ++line;
    }
    return std::nullopt;
}

std::string At(const std::string& name, int line, const std::string& message) {
    return name + ":" + std::to_string(line) + ": " + message;
}

std::optional<float> FloatWord(const std::string& word) {
    const char* first = word.data();
    const char* last = first + word.size();
    if (first != last && *first == '+') ++first;
    float value = 0.0f;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long long> IntegerWord(const std::string& word) {
    const char* first = word.data();
    const char* last = first + word.size();
    if (first != last && *first == '+') ++first;
    long long value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return std::nullopt;
    return value;
}

std::string FloatText(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string QuotedWord(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t#\"") == std::string::npos) return word;
    return "\"" + word + "\"";
}

} // namespace quillon::text
