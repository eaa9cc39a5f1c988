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

    TButton* btnOK;
};

extern TAboutForm* AboutForm;

}  // namespace app
