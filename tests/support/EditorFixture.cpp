#include "support/EditorFixture.h"

namespace quillon::test {

void TEditorFixture::SetUp() {
    Create();
    form = std::make_unique<TPluginGUI>(*plugin);
}

void TEditorFixture::TearDown() {
    form.reset();
    TPluginFixture::TearDown();
}

std::pair<int, int> TEditorFixture::CentreOf(std::string_view id, int dx, int dy) const {
    const TRect at = form->Control(id)->WindowRect();
    return {(at.left + at.right) / 2 + dx, (at.top + at.bottom) / 2 + dy};
}

void TEditorFixture::Click(std::string_view id, int dx, int dy) {
    const auto [x, y] = CentreOf(id, dx, dy);
    form->MouseDown(TMouseEvent{x, y});
    form->MouseUp(TMouseEvent{x, y});
}

void TEditorFixture::Drag(int x, int y, int toX, int toY, int steps, TMouseButton button) {
    TMouseEvent event{x, y};
    event.button = button;
    form->MouseDown(event);
    for (int i = 1; i <= steps; ++i) {
        event.x = x + (toX - x) * i / steps;
        event.y = y + (toY - y) * i / steps;
        form->MouseMove(event);
    }
    form->MouseUp(event);
}

void TEditorFixture::RefreshWith(const std::vector<std::pair<int, float>>& values) {
    std::vector<float> latest(TPluginGUI::kParameters, 0.0f);
    for (const auto& [index, value] : values)
        latest[static_cast<std::size_t>(index)] = value;
    form->SetParameterValues(latest.data(), TPluginGUI::kParameters);
    form->updateAll();
}

void TEditorFixture::RefreshFromPlugin() {
    form->ReadLatestValues();
    form->updateAll();
}

std::int32_t TEditorFixture::StoredInt(std::size_t offset) {
    const auto block = plugin->GetGlobalSettings();
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(block[offset + i]) << (8 * i);
    return static_cast<std::int32_t>(value);
}

} // namespace quillon::test
