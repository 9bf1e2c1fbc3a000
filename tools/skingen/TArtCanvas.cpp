#include "TArtCanvas.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace quillon::skingen {

namespace {

// The faces, loaded once for the generator's run and never freed (the process ends right after).
cairo_font_face_t* CairoFace(TFace face) {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) throw std::runtime_error("FreeType did not start");
        return lib;
    }();
    static std::array<cairo_font_face_t*, 4> faces{};
    auto& slot = faces[static_cast<std::size_t>(face)];
    if (!slot) {
        FT_Face ft = nullptr;
        if (FT_New_Face(library, FontPath(face), 0, &ft) != 0)
            throw std::runtime_error(std::string("cannot open the font ") + FontPath(face));
        slot = cairo_ft_font_face_create_for_ft_face(ft, 0);
    }
    return slot;
}

} // namespace

const char* FontPath(TFace face) {
    switch (face) {
    case TFace::Sans:
        return QUILLON_FONT_SANS;
    case TFace::SansBold:
        return QUILLON_FONT_SANS_BOLD;
    case TFace::Narrow:
        return QUILLON_FONT_NARROW;
    case TFace::NarrowBold:
        return QUILLON_FONT_NARROW_BOLD;
    }
    return QUILLON_FONT_SANS;
}

TColour TColour::Shade(double amount) const {
    const double target = amount > 0 ? 1.0 : 0.0;
    const double t = std::fabs(amount);
    return {r + (target - r) * t, g + (target - g) * t, b + (target - b) * t, a};
}

TArtCanvas::TArtCanvas(int width, int height, int scale) : width_(width), height_(height), scale_(scale) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width * scale, height * scale);
    cr_ = cairo_create(surface_);
    cairo_scale(cr_, scale, scale);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_set_font_options(cr_, options);
    cairo_font_options_destroy(options);
}

TArtCanvas::~TArtCanvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

void TArtCanvas::SetColour(const TColour& colour) const {
    cairo_set_source_rgba(cr_, colour.r, colour.g, colour.b, colour.a);
}

void TArtCanvas::RoundedRect(double x, double y, double w, double h, double r) const {
    r = std::min({r, w / 2, h / 2});
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr_, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr_, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr_, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr_);
}

void TArtCanvas::FillRect(double x, double y, double w, double h, const TColour& colour) const {
    cairo_rectangle(cr_, x, y, w, h);
    SetColour(colour);
    cairo_fill(cr_);
}

void TArtCanvas::FillVertical(double y0, double y1, const TColour& top, const TColour& bottom) const {
    cairo_pattern_t* pattern = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(pattern, 0, top.r, top.g, top.b, top.a);
    cairo_pattern_add_color_stop_rgba(pattern, 1, bottom.r, bottom.g, bottom.b, bottom.a);
    cairo_set_source(cr_, pattern);
    cairo_fill(cr_);
    cairo_pattern_destroy(pattern);
}

void TArtCanvas::Line(double x0, double y0, double x1, double y1, const TColour& colour, double width) const {
    // Centre the stroke on the pixel row or column so that a one-pixel line covers whole pixels.
    const double half = width / 2;
    if (y0 == y1) {
        y0 += half;
        y1 += half;
    }
    if (x0 == x1) {
        x0 += half;
        x1 += half;
    }
    cairo_move_to(cr_, x0, y0);
    cairo_line_to(cr_, x1, y1);
    cairo_set_line_width(cr_, width);
    SetColour(colour);
    cairo_stroke(cr_);
}

void TArtCanvas::SelectFace(TFace face, double size) const {
    cairo_set_font_face(cr_, CairoFace(face));
    cairo_set_font_size(cr_, size);
}

double TArtCanvas::TextWidth(const std::string& utf8, TFace face, double size) const {
    SelectFace(face, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, utf8.c_str(), &extents);
    return extents.x_advance;
}

void TArtCanvas::Text(const std::string& utf8, double x, double y, TFace face, double size, const TColour& colour,
                      TAlign align) const {
    const double width = TextWidth(utf8, face, size);
    if (align == TAlign::Centre) x -= width / 2;
    if (align == TAlign::Right) x -= width;
    cairo_move_to(cr_, x, y);
    SetColour(colour);
    cairo_show_text(cr_, utf8.c_str());
}

TPixelBuffer TArtCanvas::ToPixels(std::optional<TPixel> key, TPixel matte) const {
    cairo_surface_flush(surface_);
    const int width = cairo_image_surface_get_width(surface_);
    const int height = cairo_image_surface_get_height(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    TPixelBuffer pixels(width, height);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t argb = row[x]; // premultiplied
            const unsigned a = argb >> 24;
            if (key && a < 128) {
                pixels.At(x, y) = *key;
                continue;
            }
            auto over = [&](unsigned premultiplied, unsigned background) {
                return static_cast<std::uint8_t>(std::min(255u, premultiplied + (background * (255 - a) + 127) / 255));
            };
            TPixel p = Rgb(over((argb >> 16) & 0xFF, RedOf(matte)), over((argb >> 8) & 0xFF, GreenOf(matte)),
                           over(argb & 0xFF, BlueOf(matte)));
            if (key && p == *key) p ^= 0x000100; // one step of green off the key
            pixels.At(x, y) = p;
        }
    }
    return pixels;
}

void WritePng(const std::string& path, const TPixelBuffer& pixels) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, pixels.Width(), pixels.Height());
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < pixels.Height(); ++y)
        std::memcpy(data + static_cast<std::ptrdiff_t>(y) * stride, pixels.Row(y),
                    static_cast<std::size_t>(pixels.Width()) * 4);
    cairo_surface_mark_dirty(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) throw std::runtime_error("cannot write " + path);
}

} // namespace quillon::skingen
