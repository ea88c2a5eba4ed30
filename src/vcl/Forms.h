// Forms, the application object and the screen object of our VCL layer.
#pragma once

#include <windows.h>

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "vcl/Controls.h"

namespace vcl {

class TApplication;

// A top-level window built from the stored description named after its
// class ("TForm1" is read from resource "TFORM1"). A form class lists its
// component fields and handler methods, so that the description can name
// them; see Publish and Handler below.
class TForm : public TControl {
public:
    explicit TForm(TComponent* owner) : TControl(owner) {}
    ~TForm() override;

    void Show();
    // Hides the form; closing the main form ends the application.
    void Close();
    void SetLeft(int left);
    void SetTop(int top);

    // Moves the focus as Tab (forward) and Shift+Tab do.
    void SelectNext(TControl* from, bool forward);

    TNotifyEvent OnCreate;

    struct Field {
        const char* name;
        const char* className;
        // Makes the component, stores it in the field, hands it to the form.
        TComponent* (*create)(TForm& form);
    };
    struct Method {
        const char* name;
        void (TForm::*method)(TObject*);
    };

    // Takes ownership of a component made for a field.
    template <class C>
    C* Adopt(std::unique_ptr<C> component) {
        C* raw = component.get();
        components_.push_back(std::move(component));
        return raw;
    }

    // The GDI font for `settings`, made once and kept for the form's lifetime.
    HFONT FontFor(const FontSettings& settings);
    TNotifyEvent FindMethod(const FormProperty& property);
    int NextControlId() { return ++lastControlId_; }
    void FocusMoved(TControl* control);
    // Leaves the focus with the form window, no control active.
    void DropFocus();
    // How often the form has lost the activation.
    unsigned Deactivations() const { return deactivations_; }

    // Builds the form from a description, as construction does from the
    // resource. Throws vcl::Exception when the description cannot be read
    // or does not match the class.
    void LoadFromText(std::string_view text);

protected:
    virtual const char* ClassName() const = 0;
    virtual std::span<const Field> Fields() const = 0;
    virtual std::span<const Method> Methods() const = 0;

    const char* WindowClass() const override { return ClassName(); }
    DWORD Style() const override;
    bool Assign(const FormProperty& property, TForm& form) override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    friend class TApplication;
    void Load();
    void LoadChild(const FormObject& object, TControl* parent, std::vector<const Field*>& bound);
    void CreateFormWindow();
    void RestoreFocus();
    std::vector<TControl*> TabList();
    static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::vector<std::unique_ptr<TComponent>> components_;
    std::vector<std::pair<FontSettings, HFONT>> fonts_;
    TControl* active_ = nullptr;
    bool everActive_ = false;
    unsigned deactivations_ = 0;
    bool destroying_ = false;
    int clientWidth_ = 0, clientHeight_ = 0;
    bool systemMenu_ = true;
    int lastControlId_ = 0;
};

namespace detail {
template <class T>
struct MemberOf;
template <class Form, class Component>
struct MemberOf<Component * Form::*> {
    using FormType = Form;
    using ComponentType = Component;
};
template <class T>
struct MethodOf;
template <class Form>
struct MethodOf<void (Form::*)(TObject*)> {
    using FormType = Form;
};
}  // namespace detail

// A component field of a form class, for its Fields() table:
//   vcl::Publish<&TForm1::btnStart>("btnStart")
template <auto Member>
constexpr TForm::Field Publish(const char* name) {
    using Traits = detail::MemberOf<decltype(Member)>;
    using C = typename Traits::ComponentType;
    return {name, C::ClassName, [](TForm& form) -> TComponent* {
                C* component = form.Adopt(std::make_unique<C>(&form));
                static_cast<typename Traits::FormType&>(form).*Member = component;
                return component;
            }};
}

// A handler method of a form class, for its Methods() table.
template <auto Method>
constexpr TForm::Method Handler(const char* name) {
    using Form = typename detail::MethodOf<decltype(Method)>::FormType;
    static_assert(std::is_base_of_v<TForm, Form>);
    return {name, static_cast<void (TForm::*)(TObject*)>(Method)};
}

class TApplication : public TComponent {
public:
    TApplication() : TComponent(nullptr) {}
    ~TApplication() override;

    void Initialize();

    // Makes a form of class F into `reference`: the reference is set before
    // the form is built, so that its OnCreate handler may use it, and set
    // back to null when building fails. The first form made is the main
    // form.
    template <class F>
    void CreateForm(F*& reference) {
        void* memory = ::operator new(sizeof(F));
        reference = static_cast<F*>(memory);
        F* form = nullptr;
        try {
            form = new (memory) F(this);
        } catch (...) {
            reference = nullptr;
            ::operator delete(memory);
            throw;
        }
        std::unique_ptr<TForm> owned(form);
        try {
            form->Load();
        } catch (...) {
            reference = nullptr;
            throw;
        }
        forms_.push_back(std::move(owned));
        if (mainForm_ == nullptr) mainForm_ = form;
        Dispatch(form->OnCreate, form);
    }

    // Shows the main form and dispatches messages until Terminate.
    void Run();
    void Terminate();

    TForm* MainForm() const { return mainForm_; }
    // The full path of the executable, and its name without extension,
    // which is the caption of the exception box.
    std::string ExeName() const;
    std::string Title() const;

    // Runs a handler; what escapes it is shown in the exception box, except
    // an EAbort, which ends the handler silently.
    void Dispatch(const TNotifyEvent& event, TObject* sender);
    // Shows the exception being handled (call inside a catch block).
    void HandleException();
    void ShowException(const char* message);

private:
    std::vector<std::unique_ptr<TForm>> forms_;
    TForm* mainForm_ = nullptr;
};

class TScreen {
public:
    // The whole primary screen, in pixels.
    int Width() const;
    int Height() const;
};

extern TApplication* const Application;
extern TScreen* const Screen;

// Ends the process at once.
[[noreturn]] void Halt(unsigned exitCode = 0);

}  // namespace vcl
