#include "vcl/FormText.h"

#include <limits>

#include "vcl/Exception.h"

namespace vcl {
namespace {

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || IsDigit(c) || c == '.';
}

struct Token {
    enum class Kind { Number, Name, Text, Open, Close };
    Kind kind;
    FormValue value;
};

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    FormObject Parse() {
        std::vector<FormObject*> open;
        FormObject root;
        bool haveRoot = false;
        while (NextLine()) {
            if (tokens_.empty()) continue;
            const Token& first = tokens_.front();
            if (first.kind == Token::Kind::Close) {
                if (tokens_.size() != 1) Fail("nothing may follow \"}\"");
                if (open.empty()) Fail("\"}\" without an open object");
                open.pop_back();
            } else if (tokens_.back().kind == Token::Kind::Open) {
                if (tokens_.size() != 3 || tokens_[0].kind != Token::Kind::Name ||
                    tokens_[1].kind != Token::Kind::Name) {
                    Fail("an object starts with its class, its name and \"{\"");
                }
                FormObject object;
                object.className = tokens_[0].value.text;
                object.name = tokens_[1].value.text;
                object.line = line_;
                if (open.empty()) {
                    if (haveRoot) Fail("only one object may stand at the top");
                    root = std::move(object);
                    haveRoot = true;
                    open.push_back(&root);
                } else {
                    open.back()->children.push_back(std::move(object));
                    open.push_back(&open.back()->children.back());
                }
            } else {
                if (open.empty()) Fail("a property outside an object");
                if (first.kind != Token::Kind::Name) Fail("a property starts with its name");
                if (tokens_.size() < 2) Fail("the property " + first.value.text + " has no value");
                FormProperty property;
                property.name = first.value.text;
                property.line = line_;
                for (std::size_t i = 1; i < tokens_.size(); ++i) {
                    if (tokens_[i].kind == Token::Kind::Open ||
                        tokens_[i].kind == Token::Kind::Close) {
                        Fail("a brace inside a property");
                    }
                    property.values.push_back(std::move(tokens_[i].value));
                }
                open.back()->properties.push_back(std::move(property));
            }
        }
        if (!haveRoot) Fail("no object");
        if (!open.empty()) Fail("the object " + open.back()->name + " is not closed");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw Exception("Form description, line " + std::to_string(line_) + ": " + what);
    }

    // Splits the next line into tokens_; false at the end of the text.
    bool NextLine() {
        if (pos_ >= text_.size()) return false;
        ++line_;
        tokens_.clear();
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == '\n') {
                ++pos_;
                break;
            }
            if (c == ' ' || c == '\t' || c == '\r') {
                ++pos_;
            } else if (c == '#') {
                while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
            } else if (c == '{' || c == '}') {
                tokens_.push_back({c == '{' ? Token::Kind::Open : Token::Kind::Close, {}});
                ++pos_;
            } else if (c == '"') {
                tokens_.push_back({Token::Kind::Text, {FormValue::Kind::Text, 0, ReadText()}});
            } else if (IsDigit(c) || c == '-') {
                tokens_.push_back(
                    {Token::Kind::Number, {FormValue::Kind::Number, ReadNumber(), {}}});
            } else if (IsNameStart(c)) {
                std::size_t start = pos_;
                while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
                tokens_.push_back(
                    {Token::Kind::Name,
                     {FormValue::Kind::Name, 0, std::string(text_.substr(start, pos_ - start))}});
            } else {
                Fail("unexpected character");
            }
        }
        return true;
    }

    std::string ReadText() {
        std::string out;
        ++pos_;  // the opening quote
        for (;;) {
            if (pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r') {
                Fail("a text without its closing quote");
            }
            char c = text_[pos_++];
            if (c != '"') {
                out += c;
            } else if (pos_ < text_.size() && text_[pos_] == '"') {
                out += '"';
                ++pos_;
            } else {
                return out;
            }
        }
    }

    std::int32_t ReadNumber() {
        bool negative = text_[pos_] == '-';
        if (negative) ++pos_;
        if (pos_ >= text_.size() || !IsDigit(text_[pos_])) Fail("a number without digits");
        std::int64_t value = 0;
        while (pos_ < text_.size() && IsDigit(text_[pos_])) {
            value = value * 10 + (text_[pos_++] - '0');
            if (value > std::numeric_limits<std::int32_t>::max()) Fail("a number out of range");
        }
        if (pos_ < text_.size() && IsNameChar(text_[pos_])) Fail("a number followed by letters");
        return static_cast<std::int32_t>(negative ? -value : value);
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 0;
    std::vector<Token> tokens_;
};

}  // namespace

FormObject ParseFormText(std::string_view text) {
    return Parser(text).Parse();
}

void PropertyFault(const FormProperty& property, const std::string& what) {
    throw Exception("Form description, line " + std::to_string(property.line) + ": " +
                    property.name + " " + what);
}

void ExpectValues(const FormProperty& property, std::size_t count) {
    if (property.values.size() != count) {
        PropertyFault(property, "takes " + std::to_string(count) + " value(s)");
    }
}

namespace {
const FormValue& Single(const FormProperty& property, FormValue::Kind kind, const char* kindName) {
    ExpectValues(property, 1);
    if (property.values[0].kind != kind)
        PropertyFault(property, std::string("takes a ") + kindName);
    return property.values[0];
}
}  // namespace

std::int32_t NumberValue(const FormProperty& property) {
    return Single(property, FormValue::Kind::Number, "number").number;
}

const std::string& NameValue(const FormProperty& property) {
    return Single(property, FormValue::Kind::Name, "name").text;
}

const std::string& TextValue(const FormProperty& property) {
    return Single(property, FormValue::Kind::Text, "text").text;
}

bool BoolValue(const FormProperty& property) {
    const std::string& name = NameValue(property);
    if (name == "true") return true;
    if (name == "false") return false;
    PropertyFault(property, "takes true or false");
}

}  // namespace vcl
