#include "app/Form1.h"

#include "app/Folders.h"
#include "app/Startup.h"
#include "install/Install.h"
#include "install/Messages.h"
#include "system/Win32System.h"

TForm1* Form1 = nullptr;

namespace {

// The process-wide state the handlers share.
sys::Win32System systemServices;
pkg::PackageIndex packageIndex;
install::FolderBuffers folderBuffers;
install::Installer installer(systemServices, packageIndex, folderBuffers);

// The progress bar and the Install button, as the installation run sees them.
class FormView final : public install::InstallView {
public:
    explicit FormView(TForm1& form) : form_(form) {}
    std::uint16_t Position() override { return form_.pgbStatus->Position(); }
    void SetPosition(std::uint16_t position) override { form_.pgbStatus->SetPosition(position); }
    void DisableStart() override { form_.btnStart->SetEnabled(false); }

private:
    TForm1& form_;
};

}  // namespace

std::span<const vcl::TForm::Field> TForm1::Fields() const {
    static const Field fields[] = {
        vcl::Publish<&TForm1::OpenDialog1>("OpenDialog1"),
        vcl::Publish<&TForm1::grbNotice>("grbNotice"),
        vcl::Publish<&TForm1::lblExpand>("lblExpand"),
        vcl::Publish<&TForm1::lblInstall>("lblInstall"),
        vcl::Publish<&TForm1::lblStatus>("lblStatus"),
        vcl::Publish<&TForm1::edtExpand>("edtExpand"),
        vcl::Publish<&TForm1::edtInstall>("edtInstall"),
        vcl::Publish<&TForm1::btnStart>("btnStart"),
        vcl::Publish<&TForm1::btnQuit>("btnQuit"),
        vcl::Publish<&TForm1::btnExpand>("btnExpand"),
        vcl::Publish<&TForm1::btnInstall>("btnInstall"),
        vcl::Publish<&TForm1::pgbStatus>("pgbStatus"),
        vcl::Publish<&TForm1::Memo1>("Memo1"),
    };
    return fields;
}

std::span<const vcl::TForm::Method> TForm1::Methods() const {
    static const Method methods[] = {
        vcl::Handler<&TForm1::btnStartClick>("btnStartClick"),
        vcl::Handler<&TForm1::btnQuitClick>("btnQuitClick"),
        vcl::Handler<&TForm1::FormCreate>("FormCreate"),
        vcl::Handler<&TForm1::btnExpandClick>("btnExpandClick"),
        vcl::Handler<&TForm1::btnInstallClick>("btnInstallClick"),
        vcl::Handler<&TForm1::edtExpandExit>("edtExpandExit"),
        vcl::Handler<&TForm1::edtInstallExit>("edtInstallExit"),
    };
    return methods;
}

void TForm1::FormCreate(vcl::TObject*) {
    // The window has not been shown yet, so ending here shows none.
    if (!app::LoadPackage(systemServices, packageIndex)) vcl::Halt(0);
    grbNotice->SetText(std::string(packageIndex.Notice()));
    app::ReadDefaultFolders(systemServices, folderBuffers);
    edtExpand->SetText(folderBuffers.expand);
    edtInstall->SetText(folderBuffers.install);
    Form1->SetLeft(app::Centre(vcl::Screen->Width(), Form1->Width()));
    Form1->SetTop(app::Centre(vcl::Screen->Height(), Form1->Height()));
}

void TForm1::btnStartClick(vcl::TObject*) {
    FormView view(*this);
    installer.StartClick(edtExpand->Text(), edtInstall->Text(), view);
}

void TForm1::btnQuitClick(vcl::TObject*) {
    Close();
}

void TForm1::btnExpandClick(vcl::TObject*) {
    Browse(*edtExpand);
}
void TForm1::btnInstallClick(vcl::TObject*) {
    Browse(*edtInstall);
}
void TForm1::edtExpandExit(vcl::TObject*) {
    CheckFolder(*edtExpand, folderBuffers.expand);
}
void TForm1::edtInstallExit(vcl::TObject*) {
    CheckFolder(*edtInstall, folderBuffers.install);
}

// The open-file dialog serves as a folder picker: only the folder of the
// confirmed name must exist, so confirming the placeholder name picks the
// folder shown.
void TForm1::Browse(vcl::TEdit& field) {
    OpenDialog1->SetInitialDir(field.Text());
    if (!OpenDialog1->Execute()) return;
    field.SetText(app::FolderPart(OpenDialog1->FileName(), vcl::SystemByteClasses()));
}

void TForm1::CheckFolder(vcl::TEdit& field, const char* folderBuffer) {
    if (app::FolderExists(systemServices, field.Text())) return;
    install::ShowFailure(systemServices, msg::FolderMissing);
    field.SetText(folderBuffer);
}
