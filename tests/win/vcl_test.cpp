// Building a form from its stored description: what a sound description
// gives, and how each kind of broken one fails construction.
#include <gtest/gtest.h>

#include <cstring>

#include "vcl/Dialogs.h"
#include "vcl/Exception.h"
#include "vcl/Forms.h"

namespace {

class TTestForm : public vcl::TForm {
public:
    explicit TTestForm(vcl::TComponent* owner) : vcl::TForm(owner) {}
    vcl::TButton* btnGo = nullptr;
    vcl::TEdit* edtName = nullptr;
    vcl::TOpenDialog* dlgOpen = nullptr;
    int clicks = 0;
    void btnGoClick(vcl::TObject*) { ++clicks; }

private:
    const char* ClassName() const override { return "TTestForm"; }
    std::span<const Field> Fields() const override {
        static const Field fields[] = {
            vcl::Publish<&TTestForm::btnGo>("btnGo"),
            vcl::Publish<&TTestForm::edtName>("edtName"),
            vcl::Publish<&TTestForm::dlgOpen>("dlgOpen"),
        };
        return fields;
    }
    std::span<const Method> Methods() const override {
        static const Method methods[] = {vcl::Handler<&TTestForm::btnGoClick>("btnGoClick")};
        return methods;
    }
};

constexpr char SoundForm[] =
    "TTestForm Form {\n"
    "  ClientWidth 200\n"
    "  ClientHeight 100\n"
    "  Caption \"ﾃｽﾄ\"\n"
    "  Font.Name \"ＭＳ Ｐゴシック\"\n"
    "  Font.Charset SHIFTJIS_CHARSET\n"
    "  Font.Height -13\n"
    "  TButton btnGo {\n"
    "    Bounds 10 20 65 25\n"
    "    Caption \"go\"\n"
    "    OnClick btnGoClick\n"
    "  }\n"
    "  TEdit edtName {\n"
    "    Bounds 10 50 100 21\n"
    "    Enabled false\n"
    "    Font.Height -20\n"
    "  }\n"
    "  TOpenDialog dlgOpen {\n"
    "    FileName \"(none)\"\n"
    "  }\n"
    "}\n";

TEST(VclFormTest, SoundDescriptionBuildsEveryComponent) {
    TTestForm form(nullptr);
    form.LoadFromText(SoundForm);
    ASSERT_NE(form.Handle(), nullptr);
    EXPECT_EQ(form.Text(), "ﾃｽﾄ");
    RECT client;
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 100);
    ASSERT_NE(form.btnGo, nullptr);
    EXPECT_EQ(form.btnGo->Name(), "btnGo");
    EXPECT_EQ(form.btnGo->Text(), "go");
    EXPECT_EQ(form.btnGo->Left(), 10);
    EXPECT_EQ(form.btnGo->Top(), 20);
    EXPECT_EQ(form.btnGo->Width(), 65);
    form.btnGo->Click();
    EXPECT_EQ(form.clicks, 1);
    // Controls show text in the form's font unless they have their own.
    LOGFONTA font = {};
    auto shown = reinterpret_cast<HFONT>(SendMessageA(form.btnGo->Handle(), WM_GETFONT, 0, 0));
    ASSERT_NE(GetObjectA(shown, sizeof font, &font), 0);
    EXPECT_STREQ(font.lfFaceName, "ＭＳ Ｐゴシック");
    EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(font.lfHeight, -13);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    auto own = reinterpret_cast<HFONT>(SendMessageA(form.edtName->Handle(), WM_GETFONT, 0, 0));
    ASSERT_NE(GetObjectA(own, sizeof font, &font), 0);
    EXPECT_EQ(font.lfHeight, -20);
    EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
    ASSERT_NE(form.edtName, nullptr);
    EXPECT_FALSE(form.edtName->Enabled());
    form.edtName->SetText("C:\\表\\");
    EXPECT_EQ(form.edtName->Text(), "C:\\表\\");
    ASSERT_NE(form.dlgOpen, nullptr);
    EXPECT_EQ(form.dlgOpen->FileName(), "(none)");
}

TEST(VclFormTest, InitialDirDropsOneTrailingBackslashOutsideARoot) {
    vcl::TOpenDialog dialog(nullptr);
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\WINDOWS\\TEMP\\", "C:\\WINDOWS\\TEMP"},
        {"C:\\WINDOWS", "C:\\WINDOWS"},
        {"C:\\", "C:\\"},
        {"\\", "\\"},
        {"", ""},
        {"C:\\a\\\\", "C:\\a\\"},
    };
    for (const auto& [given, kept] : cases) {
        dialog.SetInitialDir(given);
        EXPECT_EQ(dialog.InitialDir(), kept) << given;
    }
}

struct BrokenCase {
    const char* label;
    const char* from;  // replaced in SoundForm
    const char* to;
    const char* message;
};

const BrokenCase brokenCases[] = {
    {"OtherClass", "TTestForm Form {", "TOther Form {", "line 1: describes TOther, not TTestForm"},
    {"UnknownFormProperty", "ClientWidth 200", "Colour 200",
     "line 2: Colour is no property of TTestForm"},
    {"UnknownControlProperty", "Caption \"go\"", "Kind \"go\"",
     "line 10: Kind is no property of TButton"},
    {"WrongValue", "Enabled false", "Enabled 0", "line 15: Enabled takes a name"},
    {"UnknownField", "TEdit edtName {", "TEdit edtOther {",
     "line 13: TTestForm has no field edtOther"},
    {"FieldOfAnotherClass", "TEdit edtName {", "TButton edtName {",
     "line 13: edtName is a TEdit, not a TButton"},
    {"MissingComponent", "TOpenDialog dlgOpen {\n    FileName \"(none)\"\n  }\n", "",
     "no component dlgOpen"},
    {"DescribedTwice", "TOpenDialog dlgOpen {", "TButton btnGo {\n  }\n  TOpenDialog dlgOpen {",
     "line 18: btnGo is described twice"},
    {"UnknownHandler", "OnClick btnGoClick", "OnClick btnStopClick",
     "line 11: OnClick names no method btnStopClick"},
    {"DialogHoldingAControl", "FileName \"(none)\"", "TButton btnGo {\n    }",
     "line 18: dlgOpen cannot hold controls"},
    {"UnsupportedBorder", "ClientWidth 200", "BorderStyle bsSizeable",
     "line 2: BorderStyle must be bsSingle"},
};

class BrokenFormTest : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenFormTest, ConstructionFailsNamingTheFault) {
    std::string text = SoundForm;
    const BrokenCase& c = GetParam();
    text.replace(text.find(c.from), std::strlen(c.from), c.to);
    TTestForm form(nullptr);
    try {
        form.LoadFromText(text);
        FAIL() << "built";
    } catch (const vcl::Exception& e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Descriptions, BrokenFormTest, testing::ValuesIn(brokenCases),
                         [](const auto& test) { return std::string(test.param.label); });

}  // namespace
