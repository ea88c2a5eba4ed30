// The installer window.
#pragma once

#include <span>

#include "vcl/Dialogs.h"
#include "vcl/Forms.h"

class TForm1 : public vcl::TForm {
public:
    explicit TForm1(vcl::TComponent* owner) : vcl::TForm(owner) {}

    // Components, set from the stored description "TFORM1".
    vcl::TOpenDialog* OpenDialog1 = nullptr;
    vcl::TGroupBox* grbNotice = nullptr;
    vcl::TLabel* lblExpand = nullptr;
    vcl::TLabel* lblInstall = nullptr;
    vcl::TLabel* lblStatus = nullptr;
    vcl::TEdit* edtExpand = nullptr;
    vcl::TEdit* edtInstall = nullptr;
    vcl::TButton* btnStart = nullptr;
    vcl::TButton* btnQuit = nullptr;
    vcl::TButton* btnExpand = nullptr;
    vcl::TButton* btnInstall = nullptr;
    vcl::TProgressBar* pgbStatus = nullptr;
    vcl::TMemo* Memo1 = nullptr;

    void btnStartClick(vcl::TObject* sender);
    void btnQuitClick(vcl::TObject* sender);
    void FormCreate(vcl::TObject* sender);
    void btnExpandClick(vcl::TObject* sender);
    void btnInstallClick(vcl::TObject* sender);
    void edtExpandExit(vcl::TObject* sender);
    void edtInstallExit(vcl::TObject* sender);

private:
    const char* ClassName() const override { return "TForm1"; }
    std::span<const Field> Fields() const override;
    std::span<const Method> Methods() const override;

    void Browse(vcl::TEdit& field);
    void CheckFolder(vcl::TEdit& field, const char* folderBuffer);
};

// The one instance: set before the form is built, null if building failed.
extern TForm1* Form1;
