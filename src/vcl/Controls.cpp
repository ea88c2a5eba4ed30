#include "vcl/Controls.h"

#include <commctrl.h>

#include "vcl/Exception.h"
#include "vcl/Forms.h"

namespace vcl {

bool TComponent::Assign(const FormProperty&, TForm&) {
    return false;
}

namespace {

int Charset(const FormProperty& property) {
    const std::string& name = NameValue(property);
    if (name == "SHIFTJIS_CHARSET") return SHIFTJIS_CHARSET;
    if (name == "DEFAULT_CHARSET") return DEFAULT_CHARSET;
    if (name == "ANSI_CHARSET") return ANSI_CHARSET;
    PropertyFault(property, "names no known character set");
}

COLORREF Colour(const FormProperty& property) {
    const std::string& name = NameValue(property);
    if (name == "clBlack") return RGB(0, 0, 0);
    if (name == "clWindowText") return GetSysColor(COLOR_WINDOWTEXT);
    PropertyFault(property, "names no known text colour");
}

}  // namespace

// --- TControl ---------------------------------------------------------------

TControl::~TControl() {
    // The form destroys the windows; a control outliving its window only
    // forgets it.
    if (handle_ != nullptr && original_ != nullptr) {
        SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
    }
}

bool TControl::Assign(const FormProperty& property, TForm& form) {
    const std::string& name = property.name;
    if (name == "Bounds") {
        ExpectValues(property, 4);
        int* targets[] = {&left_, &top_, &width_, &height_};
        for (int i = 0; i < 4; ++i) {
            if (property.values[i].kind != FormValue::Kind::Number) {
                PropertyFault(property, "takes four numbers");
            }
            *targets[i] = property.values[i].number;
        }
    } else if (name == "Caption" || name == "Text") {
        text_ = TextValue(property);
    } else if (name == "TabOrder") {
        tabOrder_ = NumberValue(property);
        if (tabOrder_ < 0) PropertyFault(property, "may not be negative");
    } else if (name == "Enabled") {
        enabled_ = BoolValue(property);
    } else if (name == "ParentFont") {
        // A font of its own differs from the parent's only where Font.*
        // says so, so the flag itself changes nothing.
        BoolValue(property);
    } else if (name == "Font.Name") {
        font_.name = TextValue(property);
        fontSet_ |= FontName;
    } else if (name == "Font.Charset") {
        font_.charset = Charset(property);
        fontSet_ |= FontCharset;
    } else if (name == "Font.Height") {
        font_.height = NumberValue(property);
        fontSet_ |= FontHeight;
    } else if (name == "Font.Color") {
        font_.color = Colour(property);
        fontSet_ |= FontColor;
    } else if (name == "OnExit") {
        OnExit = form.FindMethod(property);
    } else {
        return false;
    }
    return true;
}

DWORD TControl::Style() const {
    return WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
}

void TControl::CreateHandle(TForm& form, TControl* parent) {
    form_ = &form;
    parent_ = parent;
    // A font of its own (ParentFont false) starts as the parent's, changed
    // where the description says so.
    FontSettings font = parent->font_;
    if (fontSet_ & FontName) font.name = font_.name;
    if (fontSet_ & FontCharset) font.charset = font_.charset;
    if (fontSet_ & FontHeight) font.height = font_.height;
    if (fontSet_ & FontColor) font.color = font_.color;
    font_ = font;
    HWND window = CreateWindowExA(
        ExStyle(), WindowClass(), text_.c_str(), Style(), left_, top_, width_, height_,
        parent->handle_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(form.NextControlId())),
        GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) throw Exception("Cannot create the window of " + Name());
    handle_ = window;
    parent->children_.push_back(this);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(form.FontFor(font_)), FALSE);
    if (!enabled_) EnableWindow(window, FALSE);
    Created();
}

TControl* TControl::FromHandle(HWND window) {
    if (window == nullptr) return nullptr;
    auto proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    if (proc != &SubclassProc) return nullptr;
    return reinterpret_cast<TControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK TControl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* control = reinterpret_cast<TControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (control == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        WNDPROC original = control->original_;
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        control->handle_ = nullptr;
        control->original_ = nullptr;
        return CallWindowProcA(original, window, message, wParam, lParam);
    }
    // Nothing may unwind through the system's frames.
    try {
        return control->WndProc(message, wParam, lParam);
    } catch (...) {
        Application->HandleException();
        return 0;
    }
}

LRESULT TControl::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(original_, handle_, message, wParam, lParam);
}

bool TControl::Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_COMMAND:
            if (TControl* child = FromHandle(reinterpret_cast<HWND>(lParam))) {
                child->Command(HIWORD(wParam));
                result = 0;
                return true;
            }
            break;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (TControl* child = FromHandle(reinterpret_cast<HWND>(lParam))) {
                if (HBRUSH brush = child->CtlColor(reinterpret_cast<HDC>(wParam))) {
                    result = reinterpret_cast<LRESULT>(brush);
                    return true;
                }
            }
            break;
    }
    return false;
}

HBRUSH TControl::CtlColor(HDC dc) {
    SetTextColor(dc, font_.color);
    return nullptr;
}

bool TControl::CanFocus() const {
    return TakesFocus() && handle_ != nullptr && IsWindowEnabled(handle_) &&
           IsWindowVisible(handle_);
}

LRESULT TControl::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (Reflect(message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_SETFOCUS:
            result = DefaultProc(message, wParam, lParam);
            form_->FocusMoved(this);
            return result;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            // Take the focus before the control handles the press, so that
            // the previous control's OnExit runs first. If that handler took
            // the activation away (a message box), the box took the release
            // too: the press is over, and the control must not wait for a
            // release that will not come.
            if (CanFocus() && GetFocus() != handle_) {
                unsigned deactivations = form_->Deactivations();
                SetFocus(handle_);
                if (form_->Deactivations() != deactivations) {
                    if (GetFocus() == handle_) PressTakenByExit();
                    return 0;
                }
            }
            break;
        case WM_KEYDOWN:
            if (wParam == VK_TAB) {
                form_->SelectNext(this, GetKeyState(VK_SHIFT) >= 0);
                return 0;
            }
            // No button is a default or cancel button: Enter presses only a
            // focused button, Esc nothing.
            if (wParam == VK_RETURN) {
                EnterKey();
                return 0;
            }
            if (wParam == VK_ESCAPE) return 0;
            break;
        case WM_CHAR:
            // The characters of the keys above would beep in an edit.
            if (wParam == '\t' || wParam == '\r' || wParam == '\n' || wParam == 0x1B) return 0;
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

void TControl::FocusByKeyboard() {
    SetFocus(handle_);
}

int TControl::Left() const {
    if (handle_ == nullptr) return left_;
    RECT r;
    GetWindowRect(handle_, &r);
    if (parent_ != nullptr)
        MapWindowPoints(HWND_DESKTOP, parent_->handle_, reinterpret_cast<POINT*>(&r), 2);
    return r.left;
}

int TControl::Top() const {
    if (handle_ == nullptr) return top_;
    RECT r;
    GetWindowRect(handle_, &r);
    if (parent_ != nullptr)
        MapWindowPoints(HWND_DESKTOP, parent_->handle_, reinterpret_cast<POINT*>(&r), 2);
    return r.top;
}

int TControl::Width() const {
    if (handle_ == nullptr) return width_;
    RECT r;
    GetWindowRect(handle_, &r);
    return r.right - r.left;
}

int TControl::Height() const {
    if (handle_ == nullptr) return height_;
    RECT r;
    GetWindowRect(handle_, &r);
    return r.bottom - r.top;
}

bool TControl::Enabled() const {
    return handle_ ? IsWindowEnabled(handle_) != FALSE : enabled_;
}

void TControl::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (handle_ == nullptr) return;
    // A disabled window cannot keep the focus; leave it with the form, as
    // if no control had been entered yet.
    if (!enabled && Focused()) form_->DropFocus();
    EnableWindow(handle_, enabled ? TRUE : FALSE);
}

bool TControl::Focused() const {
    return handle_ != nullptr && GetFocus() == handle_;
}

std::string TControl::Text() const {
    if (handle_ == nullptr) return text_;
    int length = GetWindowTextLengthA(handle_);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    int got = GetWindowTextA(handle_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

void TControl::SetText(const std::string& text) {
    if (handle_ == nullptr) {
        text_ = text;
    } else if (Text() != text) {
        SetWindowTextA(handle_, text.c_str());
    }
}

// --- TGroupBox ---------------------------------------------------------------

LRESULT TGroupBox::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // The system's group box paints only its frame and caption; the form
    // clips its children, so the box fills its own background.
    if (message == WM_ERASEBKGND) {
        RECT client;
        GetClientRect(handle_, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    return TControl::WndProc(message, wParam, lParam);
}

// --- TEdit --------------------------------------------------------------------

void TEdit::Created() {
    // No length limit but the control's own.
    SendMessageA(handle_, EM_LIMITTEXT, 0, 0);
}

void TEdit::FocusByKeyboard() {
    SetFocus(handle_);
    SendMessageA(handle_, EM_SETSEL, 0, -1);
}

// --- TMemo --------------------------------------------------------------------

DWORD TMemo::Style() const {
    // Without ES_AUTOHSCROLL the lines wrap at the width; no scroll bars.
    return TControl::Style() | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL |
           (readOnly_ ? ES_READONLY : 0);
}

HBRUSH TMemo::CtlColor(HDC dc) {
    TControl::CtlColor(dc);
    if (!buttonFace_) return nullptr;
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
}

bool TMemo::Assign(const FormProperty& property, TForm& form) {
    const std::string& name = property.name;
    if (name == "Lines") {
        text_.clear();
        for (const FormValue& line : property.values) {
            if (line.kind != FormValue::Kind::Text) PropertyFault(property, "takes texts");
            if (!text_.empty()) text_ += "\r\n";
            text_ += line.text;
        }
    } else if (name == "ReadOnly") {
        readOnly_ = BoolValue(property);
    } else if (name == "BorderStyle") {
        const std::string& style = NameValue(property);
        if (style != "bsNone" && style != "bsSingle")
            PropertyFault(property, "is bsNone or bsSingle");
        borderNone_ = style == "bsNone";
    } else if (name == "Color") {
        const std::string& colour = NameValue(property);
        if (colour != "clBtnFace" && colour != "clWindow")
            PropertyFault(property, "is clBtnFace or clWindow");
        buttonFace_ = colour == "clBtnFace";
    } else if (name == "Ctl3D" || name == "ParentCtl3D") {
        // Only a border would show the difference, and the memo has none.
        BoolValue(property);
    } else {
        return TControl::Assign(property, form);
    }
    return true;
}

// --- TButton ------------------------------------------------------------------

void TButton::Click() {
    if (Enabled()) Application->Dispatch(OnClick, this);
}

void TButton::Command(WORD code) {
    if (code == BN_CLICKED) Click();
}

bool TButton::Assign(const FormProperty& property, TForm& form) {
    if (property.name == "OnClick") {
        OnClick = form.FindMethod(property);
        return true;
    }
    return TControl::Assign(property, form);
}

// --- TProgressBar -------------------------------------------------------------

const char* TProgressBar::WindowClass() const {
    return PROGRESS_CLASSA;
}

void TProgressBar::Created() {
    SendMessageA(handle_, PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
    SendMessageA(handle_, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

std::uint16_t TProgressBar::Position() const {
    if (handle_ == nullptr) return static_cast<std::uint16_t>(position_);
    return static_cast<std::uint16_t>(SendMessageA(handle_, PBM_GETPOS, 0, 0));
}

void TProgressBar::SetPosition(std::uint16_t position) {
    position_ = position;
    if (handle_ != nullptr) SendMessageA(handle_, PBM_SETPOS, position, 0);
}

bool TProgressBar::Assign(const FormProperty& property, TForm& form) {
    const std::string& name = property.name;
    if (name == "Min") {
        min_ = NumberValue(property);
    } else if (name == "Max") {
        max_ = NumberValue(property);
    } else if (name == "Position") {
        position_ = NumberValue(property);
    } else {
        return TControl::Assign(property, form);
    }
    return true;
}

}  // namespace vcl
