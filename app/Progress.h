// The progress window: runs the batch on its conversion control, which
// fills the "Preview" page, and keeps the conversion log on the "Log" page.
#pragma once

#include "app/VantrexLib.h"
#include "framework/forms/ComCtrls.h"
#include "framework/forms/Forms.h"

namespace app {

using namespace forms;

class TProgressForm : public TForm {
public:
    FORMS_CLASS(TProgressForm)
    explicit TProgressForm(TComponent* owner);

    TPageControl* pgcLog;
    TTabSheet* tabLog;
    TTabSheet* tabPreview;
    // Lists the codecs and profiles and runs every conversion.
    TVantrex* Vantrex1;
};

extern TProgressForm* ProgressForm;

}  // namespace app
