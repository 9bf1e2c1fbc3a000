// The skin's colours and measures, shared by every piece of art so that the controls and the pages they
// lie on belong together. Colours the form itself prescribes (label text, list rows, envelope fill, chart
// grid) are taken from it.
#pragma once

#include "TArtCanvas.h"

namespace quillon::skingen::theme {

// The chassis: dark graphite around the pages.
inline constexpr TColour kChassis = TColour::Hex(0x2B2D33);
inline constexpr TColour kChassisLight = TColour::Hex(0x3A3D45);
inline constexpr TColour kChassisEdge = TColour::Hex(0x17181C);
// The pages: warm light panels on which the value labels' dark violet reads well.
inline constexpr TColour kPanel = TColour::Hex(0xE4E0D6);
inline constexpr TColour kPanelShade = TColour::Hex(0xD3CEC2);
inline constexpr TColour kSectionFrame = TColour::Hex(0x9C968A);
// Text: the labels' colour (6100791 as the form stores it) for captions and section titles.
inline constexpr TColour kInk = TColour::Hex(0x37175D);
inline constexpr TColour kInkSoft = TColour::Hex(0x6B5A80);
// Accents: the envelope fill (8921424 as stored) and a lit state.
inline constexpr TColour kAccent = TColour::Hex(0x502088);
inline constexpr TColour kLit = TColour::Hex(0xF0A030);
inline constexpr TColour kLitGlow = TColour::Hex(0xFFD890);
// Display areas (time lines, inspector): dark glass with the chart grid (8293263 as stored).
inline constexpr TColour kDisplay = TColour::Hex(0x1E2026);
inline constexpr TColour kGrid = TColour::Hex(0x8F8B7E);
inline constexpr TColour kWhite = TColour::Hex(0xFFFFFF);
inline constexpr TColour kBlack = TColour::Hex(0x000000);

// The colour keyed images are composited over at their soft edges: the pages' panel.
inline constexpr TPixel kMatte = 0xE4E0D6;

} // namespace quillon::skingen::theme
