#include "vcl/Forms.h"

#include <commctrl.h>

#include <algorithm>

#include "vcl/Exception.h"
#include "vcl/Mbcs.h"

namespace vcl {

namespace {
TApplication application;
TScreen screen;
}  // namespace

TApplication* const Application = &application;
TScreen* const Screen = &screen;

// --- TForm --------------------------------------------------------------------

TForm::~TForm() {
    // Focus moves while the windows go are no user's: no exit handlers.
    destroying_ = true;
    if (handle_ != nullptr) DestroyWindow(handle_);
    for (auto& [settings, font] : fonts_) DeleteObject(font);
}

void TForm::Load() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    std::string resource = ClassName();
    for (char& c : resource) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    HRSRC info = FindResourceA(instance, resource.c_str(), RT_RCDATA);
    HGLOBAL loaded = info != nullptr ? LoadResource(instance, info) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) throw Exception("Resource " + resource + " not found");
    LoadFromText(std::string_view(static_cast<const char*>(data), SizeofResource(instance, info)));
}

void TForm::LoadFromText(std::string_view text) {
    FormObject root = ParseFormText(text);
    if (root.className != ClassName()) {
        throw Exception("Form description, line " + std::to_string(root.line) + ": describes " +
                        root.className + ", not " + ClassName());
    }
    for (const FormProperty& property : root.properties) {
        if (!Assign(property, *this)) {
            PropertyFault(property, std::string("is no property of ") + ClassName());
        }
    }
    CreateFormWindow();
    std::vector<const Field*> bound;
    for (const FormObject& child : root.children) LoadChild(child, this, bound);
    for (const Field& field : Fields()) {
        if (std::find(bound.begin(), bound.end(), &field) == bound.end()) {
            throw Exception(std::string("Form description: no component ") + field.name);
        }
    }
}

void TForm::LoadChild(const FormObject& object, TControl* parent,
                      std::vector<const Field*>& bound) {
    auto fault = [&](const std::string& what) {
        throw Exception("Form description, line " + std::to_string(object.line) + ": " + what);
    };
    const Field* field = nullptr;
    for (const Field& candidate : Fields()) {
        if (object.name == candidate.name) field = &candidate;
    }
    if (field == nullptr) fault(std::string(ClassName()) + " has no field " + object.name);
    if (object.className != field->className) {
        fault(object.name + " is a " + field->className + ", not a " + object.className);
    }
    if (std::find(bound.begin(), bound.end(), field) != bound.end()) {
        fault(object.name + " is described twice");
    }
    bound.push_back(field);

    TComponent* component = field->create(*this);
    component->name_ = object.name;
    for (const FormProperty& property : object.properties) {
        if (!component->Assign(property, *this)) {
            PropertyFault(property, "is no property of " + object.className);
        }
    }
    TControl* control = component->AsControl();
    if (control == nullptr) {
        if (!object.children.empty()) fault(object.name + " cannot hold controls");
        return;
    }
    control->CreateHandle(*this, parent);
    for (const FormObject& child : object.children) LoadChild(child, control, bound);
}

bool TForm::Assign(const FormProperty& property, TForm& form) {
    const std::string& name = property.name;
    if (name == "Left") {
        left_ = NumberValue(property);
    } else if (name == "Top") {
        top_ = NumberValue(property);
    } else if (name == "ClientWidth") {
        clientWidth_ = NumberValue(property);
    } else if (name == "ClientHeight") {
        clientHeight_ = NumberValue(property);
    } else if (name == "BorderStyle") {
        // The only border this layer draws: fixed size, single line.
        if (NameValue(property) != "bsSingle") PropertyFault(property, "must be bsSingle");
    } else if (name == "BorderIcons") {
        systemMenu_ = false;
        for (const FormValue& value : property.values) {
            if (value.kind != FormValue::Kind::Name || value.text != "biSystemMenu") {
                PropertyFault(property, "takes only biSystemMenu");
            }
            systemMenu_ = true;
        }
    } else if (name == "OnCreate") {
        OnCreate = FindMethod(property);
    } else if (name == "Bounds" || name == "TabOrder" || name == "ParentFont" || name == "OnExit") {
        return false;
    } else {
        return TControl::Assign(property, form);
    }
    return true;
}

DWORD TForm::Style() const {
    // bsSingle: a caption and a thin frame, no sizing border, no minimise
    // or maximise box.
    return WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN | (systemMenu_ ? WS_SYSMENU : 0);
}

void TForm::CreateFormWindow() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExA(instance, ClassName(), &windowClass)) {
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &FormProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconA(instance, "MAINICON");
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        windowClass.hbrBackground =
            reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = ClassName();
        if (!RegisterClassExA(&windowClass)) {
            throw Exception(std::string("Cannot register the window class ") + ClassName());
        }
    }
    RECT frame = {0, 0, clientWidth_, clientHeight_};
    AdjustWindowRectEx(&frame, Style(), FALSE, ExStyle());
    if (CreateWindowExA(ExStyle(), ClassName(), text_.c_str(), Style(), left_, top_,
                        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                        instance, this) == nullptr) {
        throw Exception(std::string("Cannot create the window of ") + ClassName());
    }
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(font_)), FALSE);
}

LRESULT CALLBACK TForm::FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TForm* form;
    if (message == WM_NCCREATE) {
        form = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        form->handle_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    } else {
        form = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (form == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        form->handle_ = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    // Nothing may unwind through the system's frames.
    try {
        return form->WndProc(message, wParam, lParam);
    } catch (...) {
        Application->HandleException();
        return 0;
    }
}

LRESULT TForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (Reflect(message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_ACTIVATE:
            // The window's own focus goes back to the control that had it,
            // without an exit or entry on the way.
            if (LOWORD(wParam) == WA_INACTIVE) {
                ++deactivations_;
            } else if (HIWORD(wParam) == 0) {
                RestoreFocus();
                return 0;
            }
            break;
        case WM_KEYDOWN:
            if (wParam == VK_TAB) {
                SelectNext(nullptr, GetKeyState(VK_SHIFT) >= 0);
                return 0;
            }
            break;
        case WM_CLOSE:
            Close();
            return 0;
    }
    return DefWindowProcA(handle_, message, wParam, lParam);
}

void TForm::RestoreFocus() {
    TControl* target = active_;
    if (target == nullptr && !everActive_) {
        std::vector<TControl*> list = TabList();
        if (!list.empty()) target = list.front();
    }
    everActive_ = true;
    SetFocus(target != nullptr && target->CanFocus() ? target->handle_ : handle_);
}

void TForm::FocusMoved(TControl* control) {
    if (control == active_ || destroying_) return;
    TControl* previous = active_;
    // Set first: a message box in the exit handler takes the activation
    // away, and getting it back must not count as another move.
    active_ = control;
    if (previous != nullptr) Application->Dispatch(previous->OnExit, previous);
}

void TForm::DropFocus() {
    active_ = nullptr;
    SetFocus(handle_);
}

std::vector<TControl*> TForm::TabList() {
    std::vector<TControl*> list;
    auto collect = [&list](auto& self, const TControl& parent) -> void {
        std::vector<TControl*> children = parent.children_;
        // Controls without a tab order (labels) keep their place at the end.
        std::stable_sort(children.begin(), children.end(), [](TControl* a, TControl* b) {
            return static_cast<unsigned>(a->tabOrder_) < static_cast<unsigned>(b->tabOrder_);
        });
        for (TControl* child : children) {
            if (child->CanFocus()) list.push_back(child);
            self(self, *child);
        }
    };
    collect(collect, *this);
    return list;
}

void TForm::SelectNext(TControl* from, bool forward) {
    std::vector<TControl*> list = TabList();
    if (list.empty()) return;
    auto at = std::find(list.begin(), list.end(), from);
    TControl* target;
    if (at == list.end()) {
        target = forward ? list.front() : list.back();
    } else {
        std::size_t i = static_cast<std::size_t>(at - list.begin());
        target = list[(i + (forward ? 1 : list.size() - 1)) % list.size()];
    }
    target->FocusByKeyboard();
}

TNotifyEvent TForm::FindMethod(const FormProperty& property) {
    const std::string& name = NameValue(property);
    for (const Method& method : Methods()) {
        if (name == method.name) return {this, method.method};
    }
    PropertyFault(property, "names no method " + name + " of " + ClassName());
}

HFONT TForm::FontFor(const FontSettings& settings) {
    for (auto& [made, font] : fonts_) {
        if (made == settings) return font;
    }
    HFONT font =
        CreateFontA(settings.height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                    static_cast<DWORD>(settings.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, settings.name.c_str());
    if (font == nullptr) throw Exception("Cannot create the font " + settings.name);
    fonts_.emplace_back(settings, font);
    return font;
}

void TForm::Show() {
    ShowWindow(handle_, SW_SHOWNORMAL);
    UpdateWindow(handle_);
}

void TForm::Close() {
    // No close handlers: closing always succeeds.
    if (Application->MainForm() == this) Application->Terminate();
    ShowWindow(handle_, SW_HIDE);
}

void TForm::SetLeft(int left) {
    SetWindowPos(handle_, nullptr, left, Top(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SetTop(int top) {
    SetWindowPos(handle_, nullptr, Left(), top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- TApplication -------------------------------------------------------------

TApplication::~TApplication() = default;

void TApplication::Initialize() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

void TApplication::Run() {
    if (mainForm_ == nullptr) return;
    mainForm_->Show();
    // An empty queue blocks in GetMessage; nothing spins.
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void TApplication::Terminate() {
    PostQuitMessage(0);
}

std::string TApplication::ExeName() const {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length < sizeof path ? length : 0);
}

std::string TApplication::Title() const {
    std::string name = ExeName();
    ByteClasses classes = SystemByteClasses();
    std::size_t start = 0, dot = std::string::npos;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (classes.IsTrailByte(name, i)) continue;
        if (name[i] == '\\' || name[i] == ':') {
            start = i + 1;
            dot = std::string::npos;
        } else if (name[i] == '.') {
            dot = i;
        }
    }
    return name.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
}

void TApplication::Dispatch(const TNotifyEvent& event, TObject* sender) {
    if (!event) return;
    try {
        (event.form->*event.method)(sender);
    } catch (...) {
        HandleException();
    }
}

void TApplication::HandleException() {
    try {
        throw;
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException("Unknown exception");
    }
}

void TApplication::ShowException(const char* message) {
    MessageBoxA(nullptr, message, Title().c_str(), MB_OK | MB_ICONSTOP);
}

// --- TScreen, Halt ----------------------------------------------------------

int TScreen::Width() const {
    return GetSystemMetrics(SM_CXSCREEN);
}
int TScreen::Height() const {
    return GetSystemMetrics(SM_CYSCREEN);
}

void Halt(unsigned exitCode) {
    ExitProcess(exitCode);
}

}  // namespace vcl
