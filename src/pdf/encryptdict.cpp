#include "pdf/encryptdict.h"

#include "pdf/pdfvalue.h"

#include <cstdlib>
#include <deque>
#include <optional>

namespace {

bool IsWhite(char c) {
    return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

bool IsDelimiter(char c) {
    return std::string_view("()<>[]{}/%").find(c) != std::string_view::npos;
}

struct Token {
    enum Kind { Name, Number, String, Word, Open, Close, ArrayOpen, ArrayClose, End } kind = End;
    std::string text; // a name without its slash, a number or word as written, string bytes
};

// Just enough of the object syntax for one dictionary of names, numbers, strings, booleans,
// references and nested dictionaries and arrays.
class Tokens {
public:
    explicit Tokens(std::string_view text) : text_(text) {}

    Token Next() {
        while (pos_ < text_.size()) {
            if (IsWhite(text_[pos_])) {
                ++pos_;
            } else if (text_[pos_] == '%') {
                while (pos_ < text_.size() && text_[pos_] != '\r' && text_[pos_] != '\n')
                    ++pos_;
            } else {
                break;
            }
        }
        if (pos_ >= text_.size())
            return {};
        const char c = text_[pos_];
        if (text_.compare(pos_, 2, "<<") == 0 || text_.compare(pos_, 2, ">>") == 0) {
            pos_ += 2;
            return {c == '<' ? Token::Open : Token::Close, {}};
        }
        if (c == '[' || c == ']') {
            ++pos_;
            return {c == '[' ? Token::ArrayOpen : Token::ArrayClose, {}};
        }
        if (c == '(') {
            const size_t end = FindLiteralEnd(text_, pos_ + 1);
            Token t{Token::String, UnescapeLiteral(text_.substr(pos_ + 1, end - pos_ - 1))};
            pos_ = std::min(end + 1, text_.size());
            return t;
        }
        if (c == '<') {
            size_t end = text_.find('>', pos_);
            if (end == std::string_view::npos)
                end = text_.size();
            std::string digits;
            for (char d : text_.substr(pos_ + 1, end - pos_ - 1))
                if (HexDigit(d) >= 0)
                    digits += d;
            pos_ = std::min(end + 1, text_.size());
            return {Token::String, HexToBytes(digits)};
        }
        const bool name = c == '/';
        size_t end = pos_ + (name || IsDelimiter(c) ? 1 : 0);
        while (end < text_.size() && !IsWhite(text_[end]) && !IsDelimiter(text_[end]))
            ++end;
        Token t{name ? Token::Name : Token::Word,
                std::string(text_.substr(pos_ + (name ? 1 : 0), end - pos_ - (name ? 1 : 0)))};
        if (!name && !t.text.empty() &&
            std::string_view("+-.0123456789").find(t.text[0]) != std::string_view::npos)
            t.kind = Token::Number;
        pos_ = end;
        return t;
    }

    // The token after the next one, without moving on.
    std::pair<Token, Token> PeekTwo() {
        const size_t saved = pos_;
        Token a = Next();
        Token b = Next();
        pos_ = saved;
        return {std::move(a), std::move(b)};
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

int64_t NumberOf(const Token& t) {
    return t.kind == Token::Number ? std::strtoll(t.text.c_str(), nullptr, 10) : 0;
}

// Where a dictionary being read lies: the encryption dictionary, its /CF, or /CF's /StdCF.
enum class Level { Top, Filters, StdCF, Other };

class EncryptReader {
public:
    EncryptReader(EncryptionParams& params, const ObjectTextSource& objectText)
        : p_(params), objectText_(objectText) {}

    void Read(std::string_view text) {
        Tokens tokens(text);
        if (tokens.Next().kind == Token::Open)
            Body(tokens, Level::Top, 0);
        if (length_)
            p_.Length = int32_t(*length_);
        else if (filterLength_ && p_.V == 4)
            p_.Length = int32_t(*filterLength_);
        // Crypt filters give their /Length in bytes, and some writers copy it to the top.
        if (p_.Length > 0 && p_.Length < 40)
            p_.Length *= 8;
    }

private:
    void Body(Tokens& tokens, Level level, int depth) {
        // Bounded nesting: a hostile file may open dictionaries without end.
        for (Token key = tokens.Next(); key.kind != Token::End && key.kind != Token::Close;
             key = tokens.Next()) {
            if (key.kind != Token::Name)
                continue;
            Token value = tokens.Next();
            std::optional<Tokens> inner; // the tokens of an object a reference names
            Tokens* source = &tokens;
            if (value.kind == Token::Number) {
                const auto [gen, r] = tokens.PeekTwo();
                if (gen.kind == Token::Number && r.kind == Token::Word && r.text == "R") {
                    tokens.Next();
                    tokens.Next();
                    inner = Resolve(value.text);
                    if (!inner)
                        continue;
                    source = &*inner;
                    value = inner->Next();
                }
            }
            if (value.kind == Token::Open) {
                const Level next = level == Level::Top && key.text == "CF"          ? Level::Filters
                                   : level == Level::Filters && key.text == "StdCF" ? Level::StdCF
                                                                                    : Level::Other;
                if (depth < 16)
                    Body(*source, next, depth + 1);
                else
                    Skip(*source, Token::Open, Token::Close);
            } else if (value.kind == Token::ArrayOpen) {
                Skip(*source, Token::ArrayOpen, Token::ArrayClose);
            } else if (level == Level::Top) {
                TopEntry(key.text, value);
            } else if (level == Level::StdCF) {
                if (key.text == "CFM" && value.kind == Token::Name)
                    p_.StdCFMethod = value.text;
                else if (key.text == "Length" && value.kind == Token::Number)
                    filterLength_ = NumberOf(value);
            }
        }
    }

    void TopEntry(const std::string& key, const Token& value) {
        const bool name = value.kind == Token::Name, number = value.kind == Token::Number;
        const bool string = value.kind == Token::String;
        if (key == "Filter" && name)
            p_.Filter = value.text;
        else if (key == "SubFilter" && name)
            p_.SubFilter = value.text;
        else if (key == "V" && number)
            p_.V = int32_t(NumberOf(value));
        else if (key == "R" && number)
            p_.R = int32_t(NumberOf(value));
        else if (key == "Length" && number)
            length_ = NumberOf(value);
        else if (key == "P" && number)
            p_.P = int32_t(uint32_t(NumberOf(value))); // written signed or unsigned
        else if (key == "O" && string)
            p_.O = value.text;
        else if (key == "U" && string)
            p_.U = value.text;
        else if (key == "OE" && string)
            p_.OE = value.text;
        else if (key == "UE" && string)
            p_.UE = value.text;
        else if (key == "Perms" && string)
            p_.Perms = value.text;
        else if (key == "StrF" && name)
            p_.StrF = value.text;
        else if (key == "StmF" && name)
            p_.StmF = value.text;
        else if (key == "EncryptMetadata" && value.kind == Token::Word)
            p_.EncryptMetadata = value.text != "false";
    }

    std::optional<Tokens> Resolve(const std::string& number) {
        const long long n = std::strtoll(number.c_str(), nullptr, 10);
        if (!objectText_ || n <= 0 || n > 0x7FFFFFFF || ++resolved_ > 16)
            return std::nullopt;
        try {
            held_.push_back(objectText_(int32_t(n)));
        } catch (...) {
            return std::nullopt; // a missing object leaves the entry at its default
        }
        return Tokens(held_.back());
    }

    static void Skip(Tokens& tokens, Token::Kind open, Token::Kind close) {
        int level = 1;
        for (Token t = tokens.Next(); t.kind != Token::End; t = tokens.Next()) {
            if (t.kind == open)
                ++level;
            else if (t.kind == close && --level == 0)
                return;
        }
    }

    EncryptionParams& p_;
    const ObjectTextSource& objectText_;
    std::deque<std::string> held_; // bodies of resolved objects, alive while read
    int resolved_ = 0;
    std::optional<int64_t> length_, filterLength_;
};

} // namespace

EncryptionParams ReadEncryptDictionary(std::string_view text, const std::string& id,
                                       const ObjectTextSource& objectText) {
    EncryptionParams params;
    params.ID = id;
    EncryptReader(params, objectText).Read(text);
    return params;
}
