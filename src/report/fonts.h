#pragma once

namespace zelk::report {

// Maps the font names templates use ("SimSun", "宋体") to the Song face shipped
// with the system (AR PL UMing CN), then WenQuanYi Micro Hei, then HanaMinB for
// CJK Extension B, so Chinese text
// renders the same everywhere and PDF text extracts correctly. Safe to call
// any number of times; the engine calls it before measuring or drawing.
void initFonts();

} // namespace zelk::report
