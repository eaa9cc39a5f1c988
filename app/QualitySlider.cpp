#include "app/QualitySlider.h"

#include "framework/forms/Rounding.h"

namespace app {

int ThumbLeftForQuality(int quality) { return static_cast<int>(forms::Round(quality * 1.4 + kThumbLeftMin)); }

int QualityForThumbLeft(int left) { return static_cast<int>(forms::Round((left - kThumbLeftMin) / 1.4)); }

int DragThumb(int left, int pressedX, int pointerX) {
    if ((left > kThumbLeftMin && pointerX < pressedX) || (left < kThumbLeftMax && pointerX > pressedX))
        left += pointerX - pressedX;
    if (left < kThumbLeftMin) left = kThumbLeftMin;
    if (left > kThumbLeftMax) left = kThumbLeftMax;
    return left;
}

}  // namespace app
