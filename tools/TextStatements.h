// The line grammar shared by the authoring text files (program descriptions and harmony text files): one
// statement per line, words separated by spaces or tabs, a double-quoted "..." being one word, `#` starting
// a comment outside quotes, blank lines ignored. Numbers are read and written the same way in every locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::text {

struct TStatement {
    int line = 0; // from 1
    std::vector<std::string> words;
};

// Splits `text` into statements. Lines holding only a comment add its text (after '#', one leading space
// dropped) to `comments` when given. Returns the error "NAME:LINE: ..." for an unterminated quote.
std::optional<std::string> SplitStatements(std::string_view text, const std::string& name,
                                           std::vector<TStatement>& statements,
                                           std::vector<std::string>* comments = nullptr);

// "NAME:LINE: MESSAGE", the form of every error in these files.
std::string At(const std::string& name, int line, const std::string& message);

// A whole word as a finite number; nothing otherwise.
std::optional<float> FloatWord(const std::string& word);
std::optional<long long> IntegerWord(const std::string& word);

// The shortest text that reads back as the same float.
std::string FloatText(float value);

// Quotes a word when it would not read back as one word.
std::string QuotedWord(const std::string& word);

} // namespace quillon::text
