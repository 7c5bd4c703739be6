#pragma once

namespace zelk::app {

// The program's font: "SimSun" at 15 pixels, standing in for the Song face with AR PL UMing CN
// and then WenQuanYi Micro Hei, so Chinese text renders the same on every machine.
void setUpApplicationFont();

} // namespace zelk::app
