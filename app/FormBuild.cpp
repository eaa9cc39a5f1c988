#include "app/FormBuild.h"

namespace app {

forms::TMenuItem* AddMenuItem(forms::TComponent* owner, forms::TMenuItem* parent, const char16_t* name,
                              const forms::String& caption) {
    auto* item = new forms::TMenuItem(owner);
    item->SetName(name);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
}

}  // namespace app
