// The art of every skin image. Each function draws one image (all its frames) on a canvas of the image's
// size; the generator turns the canvas into the image's pixels at each display scale.
#pragma once

#include "TArtCanvas.h"

#include "editor/SkinTable.h"

namespace quillon::skingen {

// Draws the image `image` of the skin table. Controls (knobs, buttons, handles, the keyboard, ...) are in
// ControlArt.cpp, backgrounds (chassis, pages, time lines, the inspector) in PageArt.cpp.
void DrawSkinImage(const TSkinImage& image, TArtCanvas& canvas);

// False when the image is not one of theirs.
bool DrawControlArt(const TSkinImage& image, TArtCanvas& canvas);
bool DrawPageArt(const TSkinImage& image, TArtCanvas& canvas);

// A plain stand-in: every frame a framed panel with the image's index.
void DrawPlaceholder(const TSkinImage& image, TArtCanvas& canvas);

} // namespace quillon::skingen
