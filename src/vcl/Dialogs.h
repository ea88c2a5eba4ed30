// The open-file dialog of our VCL layer.
#pragma once

#include <string>

#include "vcl/Controls.h"

namespace vcl {

class TOpenDialog : public TComponent {
public:
    static constexpr const char* ClassName = "TOpenDialog";
    using TComponent::TComponent;

    // Kept less one trailing backslash, except after a colon, so that a
    // drive root stays whole.
    void SetInitialDir(const std::string& folder);
    const std::string& InitialDir() const { return initialDir_; }
    // The last confirmed name, or the designed one before any.
    const std::string& FileName() const { return fileName_; }

    // Shows the dialog in InitialDir, modal to the form that owns it, with
    // the name part of FileName in its name box. True when the user
    // confirmed a name; false when they cancelled or the dialog failed.
    bool Execute();

protected:
    bool Assign(const FormProperty& property, TForm& form) override;

private:
    std::string initialDir_;
    std::string fileName_;
    std::string filter_;
    DWORD flags_ = 0;
};

}  // namespace vcl
