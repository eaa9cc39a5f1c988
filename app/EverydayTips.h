// The tips window shown at start-up while Option.ini Advanced/EverydayTips
// is on.
#pragma once

#include "framework/forms/Forms.h"
#include "framework/forms/StdCtrls.h"

namespace app {

using namespace forms;

class TTipForm : public TForm {
public:
    FORMS_CLASS(TTipForm)
    explicit TTipForm(TComponent* owner);

    TButton* btnOK;
};

extern TTipForm* TipForm;

}  // namespace app
