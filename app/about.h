// The about box: product, version and maker.
#pragma once

#include "framework/forms/Forms.h"
#include "framework/forms/StdCtrls.h"

namespace app {

using namespace forms;

class TAboutForm : public TForm {
public:
    FORMS_CLASS(TAboutForm)
    explicit TAboutForm(TComponent* owner);

    TLabel* labProduct;
    TLabel* labVersion;
    TLabel* labDescription;
    TLabel* labNotice;
    TButton* btnOK;

private:
    void FormCreate(TObject* sender);
    void FormShow(TObject* sender);
};

extern TAboutForm* AboutForm;

}  // namespace app
