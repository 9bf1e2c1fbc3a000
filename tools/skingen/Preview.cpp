#include "Preview.h"

#include "TArtCanvas.h"

#include "editor/LayoutTable.h"
#include "editor/SkinTable.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillon::skingen {

namespace {

struct TPlacement {
    TLayoutRect rect; // on the form
    TLayoutRect clip; // the window it shows through (the form for most)
};

TPlacement PlaceOnForm(const TControlLayout& control) {
    TLayoutRect rect = control.rect;
    TLayoutRect clip{0, 0, FindControl(kPrimaryContainer)->rect.w, FindControl(kPrimaryContainer)->rect.h};
    const TControlLayout* window = nullptr;
    for (const TControlLayout* parent = control.parent ? FindControl(control.parent) : nullptr;
         parent != nullptr && parent->parent != nullptr; parent = FindControl(parent->parent)) {
        rect.x += parent->rect.x;
        rect.y += parent->rect.y;
        if (IsWindow(*parent) && window == nullptr) window = parent;
    }
    if (window != nullptr) clip = PlaceOnForm(*window).rect;
    return {rect, clip};
}

// Copies frame `frame` of the image to (x, y) of the picture (both in skin pixels), inside `clip` only,
// leaving the keyed pixels and blending the rest at `opacity` (0 … 1).
void Blit(TPixelBuffer& picture, const TSkinArchiveImage& image, int frame, const TPlacement& at, int scale,
          double opacity) {
    const TSkinImage& info = SkinImage(image.index);
    const int frameWidth = info.FrameWidth() * scale;
    const int width = std::min(frameWidth, at.rect.w * scale),
              height = std::min(image.pixels.Height(), at.rect.h * scale);
    const auto weight = static_cast<unsigned>(opacity * 256);
    for (int y = 0; y < height; ++y) {
        const int py = at.rect.y * scale + y;
        if (py < at.clip.y * scale || py >= at.clip.Bottom() * scale || py >= picture.Height()) continue;
        for (int x = 0; x < width; ++x) {
            const int px = at.rect.x * scale + x;
            if (px < at.clip.x * scale || px >= at.clip.Right() * scale || px >= picture.Width()) continue;
            const TPixel p = image.pixels.At(frame * frameWidth + x, y) & kRgbMask;
            if (image.key && p == *image.key) continue;
            if (weight >= 256) {
                picture.At(px, py) = p;
                continue;
            }
            const TPixel q = picture.At(px, py);
            auto mix = [&](unsigned a, unsigned b) {
                return static_cast<std::uint8_t>((a * weight + b * (256 - weight)) >> 8);
            };
            picture.At(px, py) = Rgb(mix(RedOf(p), RedOf(q)), mix(GreenOf(p), GreenOf(q)), mix(BlueOf(p), BlueOf(q)));
        }
    }
}

void Draw(TPixelBuffer& picture, const TSkinArchive& archive, const TControlLayout& control, int frame) {
    if (control.image < 0 || control.kind == TControlClass::TDIBEnvelope) return;
    const TPlacement at = PlaceOnForm(control);
    if (control.settings.effectLayer >= 0)
        Blit(picture, archive.images.at(control.settings.effectLayer), frame, at, archive.scale,
             control.settings.effectOpacity / 255.0);
    Blit(picture, archive.images.at(control.image), frame, at, archive.scale, 1.0);
}

} // namespace

void WritePreviews(const TSkinArchive& archive, const std::filesystem::path& dir) {
    const int scale = archive.scale;
    const TControlLayout& form = *FindControl(kPrimaryContainer);
    for (int number = 0; number < kPageCount; ++number) {
        const char* page = kPageIds[number];
        TPixelBuffer picture(form.rect.w * scale, form.rect.h * scale);
        Draw(picture, archive, form, 0);
        for (const TControlLayout* control : ControlsOf(kPrimaryContainer)) {
            const std::string_view id = control->id;
            if (id == "AnalyzingNowImage" || (IsPage(id) && id != page)) continue;
            const bool selected = control->settings.behavior == TButtonBehavior::bbRadio &&
                                  control->settings.group == 1 && control->settings.tag == number;
            Draw(picture, archive, *control, selected ? 2 : 0);
            if (id != page) continue;
            for (const TControlLayout* onPage : ControlsOf(page)) {
                const bool firstChoice =
                    onPage->settings.behavior == TButtonBehavior::bbRadio && onPage->settings.tag2 == 0;
                Draw(picture, archive, *onPage, firstChoice ? 2 : 0);
            }
        }
        std::string name = "page-";
        name.append(std::to_string(number)).append("-").append(page).append("@").append(std::to_string(scale));
        WritePng((dir / name.append("x.png")).string(), picture);
    }
}

} // namespace quillon::skingen
