// Building a window's components in its constructor, in place of a stored
// form description.
#pragma once

#include "framework/forms/Controls.h"
#include "framework/forms/Menus.h"
#include "framework/forms/StdCtrls.h"

namespace app {

// Creates a component of the form, names it, places it and gives it its
// caption.
template <class T>
T* Place(forms::TComponent* owner, forms::TWinControl* parent, const char16_t* name, int left, int top, int width,
         int height, const forms::String& caption = forms::String()) {
    T* c = new T(owner);
    c->SetName(name);
    c->SetBounds(left, top, width, height);
    if (!caption.empty()) c->SetCaption(caption);
    c->SetParent(parent);
    return c;
}

// A combo box of the form, named and placed (combo boxes keep their own
// height).
forms::TComboBox* ComboBox(forms::TComponent* owner, forms::TWinControl* parent, const char16_t* name, int left,
                           int top, int width,
                           forms::TComboBoxStyle style = forms::TComboBoxStyle::csDropDownList);

// A menu item with a caption under a parent item.
forms::TMenuItem* AddMenuItem(forms::TComponent* owner, forms::TMenuItem* parent, const char16_t* name,
                              const forms::String& caption);

}  // namespace app
