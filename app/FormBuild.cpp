#include "app/FormBuild.h"

namespace app {

forms::TComboBox* ComboBox(forms::TComponent* owner, forms::TWinControl* parent, const char16_t* name, int left,
                           int top, int width, forms::TComboBoxStyle style) {
    auto* c = new forms::TComboBox(owner);
    c->SetName(name);
    c->SetStyle(style);
    c->SetBounds(left, top, width, 21);
    c->SetParent(parent);
    return c;
}

forms::TMenuItem* AddMenuItem(forms::TComponent* owner, forms::TMenuItem* parent, const char16_t* name,
                              const forms::String& caption) {
    auto* item = new forms::TMenuItem(owner);
    item->SetName(name);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
}

}  // namespace app
