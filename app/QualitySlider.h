// The quality slider of the options and output-settings windows: a thumb
// button dragged along a bevel from x = 76 (quality 0) to x = 216 (100),
// 1.4 pixels per step, positions rounded halves to even.
#pragma once

namespace app {

constexpr int kThumbLeftMin = 76;
constexpr int kThumbLeftMax = 216;  // 76 + 1.4 x 100

// Where the thumb stands for a quality of 0..100.
int ThumbLeftForQuality(int quality);
// The quality a thumb position stands for.
int QualityForThumbLeft(int left);
// One mouse move with the button held: the thumb follows the pointer's
// movement since the press (pointer x in the thumb's own coordinates),
// unless it is already at the end it moves towards, and stays on the bevel.
int DragThumb(int left, int pressedX, int pointerX);

}  // namespace app
