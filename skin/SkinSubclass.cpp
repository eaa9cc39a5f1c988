#include "skin/SkinSubclass.h"

namespace skin {

SkinControlHooks& ControlSkinning() {
    static SkinControlHooks hooks;
    return hooks;
}

}  // namespace skin
