// The stored form description: a small text format of our own, read when a
// form is constructed.
//
//   # a comment runs to the end of its line
//   TForm1 Form1 {                   an object: class, name, and a body
//     Caption "text"                 a property: name, then values
//     Bounds 8 8 361 81
//     BorderIcons biSystemMenu
//     TButton btnStart {             objects nest; a child's position is
//       ...                          relative to its parent
//     }
//   }
//
// One item per line. Values are integers (optionally negative), names
// (letters, digits, "_" and "."), or texts in double quotes, where "" stands
// for one quote. Texts are byte strings in the ANSI code page; no byte of a
// Shift-JIS character is a quote or a line end, so they need no escapes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vcl {

struct FormValue {
    enum class Kind { Number, Name, Text };
    Kind kind = Kind::Number;
    std::int32_t number = 0;
    std::string text;  // the name or the text
};

struct FormProperty {
    std::string name;
    std::vector<FormValue> values;
    int line = 0;
};

struct FormObject {
    std::string className;
    std::string name;
    std::vector<FormProperty> properties;
    std::vector<FormObject> children;
    int line = 0;
};

// The one object that `text` describes. Throws vcl::Exception naming the line
// of the first fault.
FormObject ParseFormText(std::string_view text);

// Reading a property's values. Each throws vcl::Exception naming the
// property and its line when the property does not have exactly `count`
// values or a value is of another kind.
void ExpectValues(const FormProperty& property, std::size_t count);
std::int32_t NumberValue(const FormProperty& property);
const std::string& NameValue(const FormProperty& property);
const std::string& TextValue(const FormProperty& property);
bool BoolValue(const FormProperty& property);  // the names true and false
[[noreturn]] void PropertyFault(const FormProperty& property, const std::string& what);

}  // namespace vcl
