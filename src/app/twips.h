// Window geometry is designed in twips, the laboratory's unit, and laid out at 15 twips a
// pixel (96 dots an inch), so sizes can be compared with the original forms.
#pragma once

namespace app {

constexpr int kTwipsPerPixel = 15;

constexpr int Px(int twips) { return twips / kTwipsPerPixel; }

}  // namespace app
