// Review pictures of the skin: each page as the editor shows it, composed from the drawn images.
#pragma once

#include "editor/SkinArchive.h"

#include <filesystem>

namespace quillon::skingen {

// Writes DIR/page-N-NAME@Sx.png for each page: the chassis, the page's background and the first frame of
// every control image at its place (the selected page's selector and the first choice of each radio group
// shown on), keyed pixels left out and scrolled contents clipped to their windows.
void WritePreviews(const TSkinArchive& archive, const std::filesystem::path& dir);

} // namespace quillon::skingen
