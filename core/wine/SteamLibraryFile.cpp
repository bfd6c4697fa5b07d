// SPDX-License-Identifier: GPL-3.0-or-later
#include "wine/SteamLibraryFile.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

namespace core {

namespace {

struct Token
{
    enum class Kind { Text, Open, Close };
    Kind kind;
    std::string text;
};

// One token at a time, without recursion; an unterminated string ends the input.
class VdfTokens
{
  public:
    explicit VdfTokens(std::string_view input) : input_(input) {}

    std::optional<Token> next()
    {
        while (position_ < input_.size()) {
            const char c = input_[position_];
            if (c == '{' || c == '}') {
                ++position_;
                return Token{c == '{' ? Token::Kind::Open : Token::Kind::Close, {}};
            }
            if (c == '"')
                return quoted();
            if (c == '/' && position_ + 1 < input_.size() && input_[position_ + 1] == '/')
                position_ = std::min(input_.find('\n', position_), input_.size());
            else
                ++position_;
        }
        return std::nullopt;
    }

  private:
    std::optional<Token> quoted()
    {
        std::string text;
        for (std::size_t i = position_ + 1; i < input_.size(); ++i) {
            char c = input_[i];
            if (c == '"') {
                position_ = i + 1;
                return Token{Token::Kind::Text, std::move(text)};
            }
            if (c == '\\' && i + 1 < input_.size())
                c = input_[++i];
            text += c;
        }
        position_ = input_.size();
        return std::nullopt;
    }

    std::string_view input_;
    std::size_t position_ = 0;
};

bool isNumber(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

std::vector<std::filesystem::path> SteamLibraryFile::libraries(const std::filesystem::path &vdf)
{
    // A FIFO or a device linked there would block or never end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(vdf, error))
        return {};
    const auto size = std::filesystem::file_size(vdf, error);
    if (error || size > maximumSize)
        return {};
    std::ifstream file(vdf, std::ios::binary);
    std::string text(maximumSize, '\0');
    file.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(file.gcount()));
    return parse(text);
}

std::vector<std::filesystem::path> SteamLibraryFile::parse(std::string_view text)
{
    std::vector<std::filesystem::path> found;
    VdfTokens tokens(text);
    int depth = 0;
    std::optional<std::string> key;
    // The key of the block each depth is in: a library's block is a number's.
    std::vector<std::string> blockKeys;
    while (std::optional<Token> token = tokens.next()) {
        switch (token->kind) {
        case Token::Kind::Open:
            blockKeys.push_back(key.value_or(std::string()));
            key.reset();
            ++depth;
            break;
        case Token::Kind::Close:
            if (depth > 0) {
                --depth;
                blockKeys.pop_back();
            }
            key.reset();
            break;
        case Token::Kind::Text:
            if (!key) {
                key = std::move(token->text);
                break;
            }
            const bool current = depth == 2 && *key == "path" && isNumber(blockKeys.back());
            const bool older = depth == 1 && isNumber(*key);
            if ((current || older) && !token->text.empty())
                found.emplace_back(token->text);
            key.reset();
            break;
        }
    }
    return found;
}

} // namespace core
