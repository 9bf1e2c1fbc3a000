// The skin's colours as 0xRRGGBB, in one place for the art drawn at build time and for what the form draws
// itself at run time (message boxes, file dialogs), so that both belong together.
#pragma once

#include <cstdint>

namespace quillon::palette {

// The chassis: dark graphite around the pages.
inline constexpr std::uint32_t kChassis = 0x2B2D33;
inline constexpr std::uint32_t kChassisLight = 0x3A3D45;
inline constexpr std::uint32_t kChassisEdge = 0x17181C;
// The pages: warm light panels on which the value labels' dark violet reads well.
inline constexpr std::uint32_t kPanel = 0xE4E0D6;
inline constexpr std::uint32_t kPanelShade = 0xD3CEC2;
inline constexpr std::uint32_t kPanelLight = 0xF2EFE8;
inline constexpr std::uint32_t kSectionFrame = 0x9C968A;
// Paper: lists and text fields on a panel.
inline constexpr std::uint32_t kPaper = 0xF8F6F1;
inline constexpr std::uint32_t kPaperShade = 0xEEEAE1;
// Text: the labels' colour (6100791 as the form stores it) for captions and section titles.
inline constexpr std::uint32_t kInk = 0x37175D;
inline constexpr std::uint32_t kInkSoft = 0x6B5A80;
// Accents: the envelope fill (8921424 as stored) and a lit state.
inline constexpr std::uint32_t kAccent = 0x502088;
inline constexpr std::uint32_t kLit = 0xF0A030;
inline constexpr std::uint32_t kLitGlow = 0xFFD890;
// Display areas (time lines, inspector): dark glass with the chart grid (8293263 as stored).
inline constexpr std::uint32_t kDisplay = 0x1E2026;
inline constexpr std::uint32_t kGrid = 0x8F8B7E;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kBlack = 0x000000;

} // namespace quillon::palette
