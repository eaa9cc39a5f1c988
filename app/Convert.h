// The output-settings window: folder, format, compressors, profile, bit
// rates and frame size for the next batch; shown in place of the main
// window.
#pragma once

#include "framework/forms/Forms.h"

namespace app {

using namespace forms;

class TConvertForm : public TForm {
public:
    FORMS_CLASS(TConvertForm)
    explicit TConvertForm(TComponent* owner);

private:
    void FormCreate(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
};

extern TConvertForm* ConvertForm;

}  // namespace app
