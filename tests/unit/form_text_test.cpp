// The stored form description's text format.
#include <gtest/gtest.h>

#include "vcl/Exception.h"
#include "vcl/FormText.h"

namespace {

using vcl::FormValue;

TEST(FormTextTest, ObjectsPropertiesAndValues) {
    vcl::FormObject form = vcl::ParseFormText(
        "# a comment\r\n"
        "TForm1 Form1 {\r\n"
        "  Caption \"ﾍﾞﾙｶﾞﾝﾄ Ver.2.00\"  # after a value\r\n"
        "  Font.Height -13\r\n"
        "  BorderIcons biSystemMenu biMinimize\r\n"
        "\r\n"
        "  TGroupBox grbNotice {\r\n"
        "    Bounds 8 8 361 81\r\n"
        "    TMemo Memo1 {\r\n"
        "      Lines \"a \"\"quoted\"\" word\" \"\"\r\n"
        "    }\r\n"
        "  }\r\n"
        "  TButton btnStart {\r\n"
        "  }\r\n"
        "}\r\n");
    EXPECT_EQ(form.className, "TForm1");
    EXPECT_EQ(form.name, "Form1");
    EXPECT_EQ(form.line, 2);
    ASSERT_EQ(form.properties.size(), 3u);
    EXPECT_EQ(vcl::TextValue(form.properties[0]), "ﾍﾞﾙｶﾞﾝﾄ Ver.2.00");
    EXPECT_EQ(form.properties[1].name, "Font.Height");
    EXPECT_EQ(vcl::NumberValue(form.properties[1]), -13);
    ASSERT_EQ(form.properties[2].values.size(), 2u);
    EXPECT_EQ(form.properties[2].values[1].text, "biMinimize");
    EXPECT_EQ(form.properties[2].values[1].kind, FormValue::Kind::Name);

    ASSERT_EQ(form.children.size(), 2u);
    const vcl::FormObject& group = form.children[0];
    EXPECT_EQ(group.name, "grbNotice");
    EXPECT_EQ(group.line, 7);
    ASSERT_EQ(group.properties[0].values.size(), 4u);
    EXPECT_EQ(group.properties[0].values[3].number, 81);
    ASSERT_EQ(group.children.size(), 1u);
    const vcl::FormProperty& lines = group.children[0].properties[0];
    ASSERT_EQ(lines.values.size(), 2u);
    EXPECT_EQ(lines.values[0].text, "a \"quoted\" word");
    EXPECT_EQ(lines.values[1].text, "");
    EXPECT_EQ(form.children[1].className, "TButton");
    EXPECT_TRUE(form.children[1].properties.empty());
}

TEST(FormTextTest, ShiftJisTextsKeepEveryByte) {
    // Second bytes of double-byte characters that look like the format's own
    // characters: 5C backslash, 7B and 7D braces, 23 is no second byte but
    // a comment sign must stay inside a text.
    std::string text = "\x95\x5C \x83\x5C \x81\x7B\x81\x7D # ";
    vcl::FormObject form = vcl::ParseFormText("TForm1 Form1 {\nCaption \"" + text + "\"\n}\n");
    EXPECT_EQ(vcl::TextValue(form.properties.at(0)), text);
}

struct BrokenCase {
    const char* label;
    const char* text;
    const char* message;
};

const BrokenCase brokenCases[] = {
    {"Empty", "", "line 0: no object"},
    {"OnlyComments", "# nothing\n", "line 1: no object"},
    {"NotClosed", "TForm1 Form1 {\n  Left 1\n", "line 2: the object Form1 is not closed"},
    {"ExtraClose", "TForm1 Form1 {\n}\n}\n", "line 3: \"}\" without an open object"},
    {"SecondTopObject", "TForm1 Form1 {\n}\nTForm1 Form2 {\n}\n", "line 3: only one object"},
    {"PropertyOutside", "Left 1\n", "line 1: a property outside an object"},
    {"PropertyWithoutValue", "TForm1 Form1 {\n  Left\n}\n",
     "line 2: the property Left has no value"},
    {"HeaderWithoutName", "TForm1 {\n}\n", "line 1: an object starts with"},
    {"OpenText", "TForm1 Form1 {\n  Caption \"abc\n}\n",
     "line 2: a text without its closing quote"},
    {"NumberWithLetters", "TForm1 Form1 {\n  Left 12px\n}\n",
     "line 2: a number followed by letters"},
    {"HugeNumber", "TForm1 Form1 {\n  Left 99999999999\n}\n", "line 2: a number out of range"},
    {"StrayCharacter", "TForm1 Form1 {\n  Left = 1\n}\n", "line 2: unexpected character"},
    {"ValueFirst", "TForm1 Form1 {\n  \"Caption\" 1\n}\n",
     "line 2: a property starts with its name"},
    {"BraceInProperty", "TForm1 Form1 {\n  Left 1 }\n", "line 2: a brace inside a property"},
};

class BrokenFormTextTest : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenFormTextTest, NamesTheLineAndTheFault) {
    try {
        vcl::ParseFormText(GetParam().text);
        FAIL() << "parsed";
    } catch (const vcl::Exception& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, BrokenFormTextTest, testing::ValuesIn(brokenCases),
                         [](const auto& test) { return std::string(test.param.label); });

TEST(FormTextTest, ValueReadersCheckCountAndKind) {
    vcl::FormObject form = vcl::ParseFormText(
        "TForm1 Form1 {\n  A 1 2\n  B name\n  C maybe\n  D \"text\"\n  E true\n}\n");
    const auto& p = form.properties;
    EXPECT_THROW(vcl::NumberValue(p[0]), vcl::Exception);  // two values
    EXPECT_THROW(vcl::NumberValue(p[1]), vcl::Exception);  // a name
    EXPECT_THROW(vcl::BoolValue(p[2]), vcl::Exception);
    EXPECT_THROW(vcl::NameValue(p[3]), vcl::Exception);  // a text
    EXPECT_TRUE(vcl::BoolValue(p[4]));
    try {
        vcl::TextValue(p[1]);
    } catch (const vcl::Exception& e) {
        EXPECT_STREQ(e.what(), "Form description, line 3: B takes a text");
    }
}

}  // namespace
