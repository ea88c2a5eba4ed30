// Our small VCL-like layer over raw Win32: the components a form is built
// from. Each visible control is a window of a standard Windows class,
// subclassed so that the form sees focus moves, Tab and Enter as the VCL's
// users know them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "vcl/FormText.h"

namespace vcl {

class TForm;
class TControl;

class TObject {
public:
    virtual ~TObject() = default;
};

// A method of a form, bound to an event by the stored description.
struct TNotifyEvent {
    TForm* form = nullptr;
    void (TForm::*method)(TObject*) = nullptr;
    explicit operator bool() const { return method != nullptr; }
};

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner) : owner_(owner) {}
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    // This component as a control, or null when it shows no window.
    virtual TControl* AsControl() { return nullptr; }

protected:
    friend class TForm;
    // Applies one property of the stored description; false when the class
    // has no property of that name.
    virtual bool Assign(const FormProperty& property, TForm& form);

private:
    TComponent* owner_;
    std::string name_;
};

// A font as the description gives it; the form makes one GDI font of each.
struct FontSettings {
    std::string name;
    int charset = DEFAULT_CHARSET;
    int height = -11;
    COLORREF color = RGB(0, 0, 0);
    friend bool operator==(const FontSettings&, const FontSettings&) = default;
};

class TControl : public TComponent {
public:
    using TComponent::TComponent;
    ~TControl() override;

    HWND Handle() const { return handle_; }
    TControl* Parent() const { return parent_; }
    TControl* AsControl() override { return this; }

    // Position and size in the parent's client area (for a form: on the
    // screen, outer size), as the window has them now.
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;

    bool Enabled() const;
    // Disabling the control that has the focus gives the focus to the form.
    void SetEnabled(bool enabled);
    bool Focused() const;

    // The window's text: the caption of a label, button or group box, the
    // contents of an edit.
    std::string Text() const;
    // Writing the text the control already shows changes nothing.
    void SetText(const std::string& text);

    // Runs when the focus moves from this control to another control of
    // the same form, not when the form loses or regains activation.
    TNotifyEvent OnExit;

protected:
    friend class TForm;

    virtual const char* WindowClass() const = 0;
    virtual DWORD Style() const;
    virtual DWORD ExStyle() const { return 0; }
    // Whether Tab and a click give the control the focus.
    virtual bool TakesFocus() const { return false; }
    // After the window exists with its text and font.
    virtual void Created() {}
    // A notification the parent received from this control.
    virtual void Command(WORD /*code*/) {}
    // The background brush for WM_CTLCOLOR*, or null for the default.
    virtual HBRUSH CtlColor(HDC dc);
    // Enter while the control has the focus.
    virtual void EnterKey() {}
    // A mouse press whose release was taken by a message box that the
    // previous control's OnExit showed.
    virtual void PressTakenByExit() {}

    bool Assign(const FormProperty& property, TForm& form) override;
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Forwards a child's notifications and colour requests to the child.
    bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Gives the control the focus as Tab does.
    virtual void FocusByKeyboard();
    bool CanFocus() const;

    void CreateHandle(TForm& form, TControl* parent);
    static TControl* FromHandle(HWND window);

    HWND handle_ = nullptr;
    TForm* form_ = nullptr;
    TControl* parent_ = nullptr;
    std::vector<TControl*> children_;
    std::string text_;  // as designed, until the window exists
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    int tabOrder_ = -1;
    bool enabled_ = true;
    FontSettings font_;
    enum : unsigned { FontName = 1, FontCharset = 2, FontHeight = 4, FontColor = 8 };
    unsigned fontSet_ = 0;  // the font settings the description gives

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    WNDPROC original_ = nullptr;
};

class TGroupBox : public TControl {
public:
    static constexpr const char* ClassName = "TGroupBox";
    using TControl::TControl;

protected:
    const char* WindowClass() const override { return "BUTTON"; }
    DWORD Style() const override { return TControl::Style() | BS_GROUPBOX; }
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class TLabel : public TControl {
public:
    static constexpr const char* ClassName = "TLabel";
    using TControl::TControl;

protected:
    const char* WindowClass() const override { return "STATIC"; }
    DWORD Style() const override { return TControl::Style() | SS_LEFT; }
};

class TEdit : public TControl {
public:
    static constexpr const char* ClassName = "TEdit";
    using TControl::TControl;

protected:
    const char* WindowClass() const override { return "EDIT"; }
    DWORD Style() const override { return TControl::Style() | WS_TABSTOP | ES_AUTOHSCROLL; }
    DWORD ExStyle() const override { return WS_EX_CLIENTEDGE; }
    bool TakesFocus() const override { return true; }
    void Created() override;
    void FocusByKeyboard() override;
};

// Read-only, borderless and wrapped as the installer uses it.
class TMemo : public TControl {
public:
    static constexpr const char* ClassName = "TMemo";
    using TControl::TControl;

protected:
    const char* WindowClass() const override { return "EDIT"; }
    DWORD Style() const override;
    DWORD ExStyle() const override { return borderNone_ ? 0 : WS_EX_CLIENTEDGE; }
    bool TakesFocus() const override { return true; }
    HBRUSH CtlColor(HDC dc) override;
    bool Assign(const FormProperty& property, TForm& form) override;

private:
    bool readOnly_ = false;
    bool borderNone_ = false;
    bool buttonFace_ = false;
};

class TButton : public TControl {
public:
    static constexpr const char* ClassName = "TButton";
    using TControl::TControl;

    void Click();
    TNotifyEvent OnClick;

protected:
    const char* WindowClass() const override { return "BUTTON"; }
    DWORD Style() const override { return TControl::Style() | WS_TABSTOP | BS_PUSHBUTTON; }
    bool TakesFocus() const override { return true; }
    void Command(WORD code) override;
    void EnterKey() override { Click(); }
    void PressTakenByExit() override { Click(); }
    bool Assign(const FormProperty& property, TForm& form) override;
};

class TProgressBar : public TControl {
public:
    static constexpr const char* ClassName = "TProgressBar";
    using TControl::TControl;

    std::uint16_t Position() const;
    void SetPosition(std::uint16_t position);

protected:
    const char* WindowClass() const override;
    void Created() override;
    bool Assign(const FormProperty& property, TForm& form) override;

private:
    int min_ = 0, max_ = 100, position_ = 0;
};

}  // namespace vcl
