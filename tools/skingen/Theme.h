// The skin's colours and measures, shared by every piece of art so that the controls and the pages they
// lie on belong together. Colours the form itself prescribes (label text, list rows, envelope fill, chart
// grid) are taken from it.
#pragma once

#include "TArtCanvas.h"
#include "editor/SkinPalette.h"

namespace quillon::skingen::theme {

// The chassis: dark graphite around the pages.
inline constexpr TColour kChassis = TColour::Hex(palette::kChassis);
inline constexpr TColour kChassisLight = TColour::Hex(palette::kChassisLight);
inline constexpr TColour kChassisEdge = TColour::Hex(palette::kChassisEdge);
// The pages: warm light panels on which the value labels' dark violet reads well.
inline constexpr TColour kPanel = TColour::Hex(palette::kPanel);
inline constexpr TColour kPanelShade = TColour::Hex(palette::kPanelShade);
inline constexpr TColour kSectionFrame = TColour::Hex(palette::kSectionFrame);
// Text: the labels' colour (6100791 as the form stores it) for captions and section titles.
inline constexpr TColour kInk = TColour::Hex(palette::kInk);
inline constexpr TColour kInkSoft = TColour::Hex(palette::kInkSoft);
// Accents: the envelope fill (8921424 as stored) and a lit state.
inline constexpr TColour kAccent = TColour::Hex(palette::kAccent);
inline constexpr TColour kLit = TColour::Hex(palette::kLit);
inline constexpr TColour kLitGlow = TColour::Hex(palette::kLitGlow);
// Display areas (time lines, inspector): dark glass with the chart grid (8293263 as stored).
inline constexpr TColour kDisplay = TColour::Hex(palette::kDisplay);
inline constexpr TColour kGrid = TColour::Hex(palette::kGrid);
inline constexpr TColour kWhite = TColour::Hex(palette::kWhite);
inline constexpr TColour kBlack = TColour::Hex(palette::kBlack);

// The colour keyed images are composited over at their soft edges: the pages' panel.
inline constexpr TPixel kMatte = palette::kPanel;

} // namespace quillon::skingen::theme
