#include "vcl/Dialogs.h"

#include <commdlg.h>

#include "vcl/Mbcs.h"

namespace vcl {

void TOpenDialog::SetInitialDir(const std::string& folder) {
    ByteClasses classes = SystemByteClasses();
    auto isReal = [&](std::size_t i, char c) {
        return folder[i] == c && !classes.IsTrailByte(folder, i);
    };
    std::size_t length = folder.size();
    if (length > 1 && isReal(length - 1, '\\') && !isReal(length - 2, ':')) --length;
    initialDir_ = folder.substr(0, length);
}

bool TOpenDialog::Execute() {
    // "label|pattern|..." becomes the NUL-separated, doubly ended list.
    ByteClasses classes = SystemByteClasses();
    std::string filter = filter_;
    for (std::size_t i = 0; i < filter.size(); ++i) {
        if (filter[i] == '|' && !classes.IsTrailByte(filter, i)) filter[i] = '\0';
    }
    filter.push_back('\0');

    // Only the name part of the last confirmed name goes back in: given a
    // whole path, the dialog would open in that path's folder instead of
    // InitialDir.
    std::size_t nameStart = 0;
    for (std::size_t i = 0; i < fileName_.size(); ++i) {
        if ((fileName_[i] == '\\' || fileName_[i] == ':') && !classes.IsTrailByte(fileName_, i)) {
            nameStart = i + 1;
        }
    }
    char file[MAX_PATH] = {};
    fileName_.copy(file, sizeof file - 1, nameStart);
    TControl* owner = Owner() != nullptr ? Owner()->AsControl() : nullptr;

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner != nullptr ? owner->Handle() : nullptr;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrInitialDir = initialDir_.empty() ? nullptr : initialDir_.c_str();
    dialog.Flags = flags_ | OFN_EXPLORER;
    if (!GetOpenFileNameA(&dialog)) return false;
    fileName_ = file;
    return true;
}

bool TOpenDialog::Assign(const FormProperty& property, TForm&) {
    const std::string& name = property.name;
    if (name == "FileName") {
        fileName_ = TextValue(property);
    } else if (name == "Filter") {
        filter_ = TextValue(property);
    } else if (name == "InitialDir") {
        initialDir_ = TextValue(property);
    } else if (name == "Options") {
        flags_ = 0;
        for (const FormValue& value : property.values) {
            if (value.kind != FormValue::Kind::Name) PropertyFault(property, "takes names");
            if (value.text == "ofHideReadOnly") {
                flags_ |= OFN_HIDEREADONLY;
            } else if (value.text == "ofPathMustExist") {
                flags_ |= OFN_PATHMUSTEXIST;
            } else if (value.text == "ofFileMustExist") {
                flags_ |= OFN_FILEMUSTEXIST;
            } else if (value.text == "ofNoChangeDir") {
                flags_ |= OFN_NOCHANGEDIR;
            } else {
                PropertyFault(property, "has no option " + value.text);
            }
        }
    } else {
        return false;
    }
    return true;
}

}  // namespace vcl
