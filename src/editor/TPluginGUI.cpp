#include "editor/TPluginGUI.h"
#include "editor/TPluginGUIForm.h"

#include "core/ParameterTable.h"
#include "core/TCustomVSTMidiPlugin.h"
#include "editor/LayoutTable.h"
#include "editor/MenuTable.h"
#include "editor/SkinTable.h"
#include "editor/TEditorPrompt.h"
#include "files/LittleEndian.h"
#include "files/ParameterIndex.h"
#include "files/ProgramRecord.h"
#include "midi/TMidiHandler.h"
#include "platform/ISettingsStore.h"
#include "platform/ListFolder.h"
#include "toolkit/TBADIBQuillonKeyboard.h"
#include "toolkit/TBAListBox.h"
#include "toolkit/TDIBEnvelope.h"
#include "toolkit/TDIBImage.h"
#include "toolkit/TDIBRangeControl.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <functional>

namespace quillon {

using namespace form;

namespace {

using C = TControlClass;

// The handler a layout names for `event`, or empty.
std::string_view HandlerOf(const TControlLayout& layout, std::string_view event) {
    if (layout.settings.handlers == nullptr) return {};
    std::string_view list = layout.settings.handlers;
    while (!list.empty()) {
        const std::size_t end = list.find(' ');
        const std::string_view pair = list.substr(0, end);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == event) return pair.substr(equals + 1);
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + 1);
    }
    return {};
}

struct TSpinRange {
    int min, max;
};

TSpinRange RangeOf(const TBACustomDIBSpin& spin) {
    if (const auto* numeric = dynamic_cast<const TBADIBSpin*>(&spin)) return {numeric->Min(), numeric->Max()};
    if (dynamic_cast<const TBAMidiChSelector*>(&spin) != nullptr) return {0, 16};
    return {0, 127};
}

bool IsModulationSource(int index) {
    return index >= kPitchBendTarget && index <= kSoftPedalTarget && (index - kPitchBendTarget) % 2 == 0;
}

// Binds `handler` to the notification `event` ("OnChange", "OnClick", "OnMouseDown", "OnMouseUp") of a list;
// false for a control that is not one.
bool SetListNotify(TDIBControl& control, std::string_view event, TNotifyEvent handler) {
    auto* patches = dynamic_cast<TPatchListBox*>(&control);
    if (patches != nullptr && event == "OnChange")
        patches->OnChange = std::move(handler);
    else if (patches != nullptr && (event == "OnMouseDown" || event == "OnMouseUp"))
        (event == "OnMouseDown" ? patches->OnMouseDown : patches->OnMouseUp) =
            [handler = std::move(handler)](TDIBControl& sender, const TMouseEvent&) { handler(sender); };
    else if (auto* list = dynamic_cast<TBAListBox*>(&control); list != nullptr && event == "OnClick")
        list->OnClick = std::move(handler);
    else
        return dynamic_cast<TBAListBox*>(&control) != nullptr;
    return true;
}

void SetNotify(TDIBControl& control, TNotifyEvent handler) {
    if (auto* button = dynamic_cast<TBADIBButton*>(&control))
        button->OnChange = std::move(handler);
    else if (auto* knob = dynamic_cast<TBADIBKnob*>(&control))
        knob->OnChange = std::move(handler);
    else if (auto* spin = dynamic_cast<TBACustomDIBSpin*>(&control))
        spin->OnChange = std::move(handler);
    else if (auto* dropDown = dynamic_cast<TBADIBDropDownMenu*>(&control))
        dropDown->OnChange = std::move(handler);
    else if (auto* keyboard = dynamic_cast<TBADIBQuillonKeyboard*>(&control))
        keyboard->OnChange = std::move(handler);
    else if (auto* chart = dynamic_cast<TDIBChart*>(&control))
        chart->OnClick = std::move(handler);
    else if (auto* image = dynamic_cast<TDIBImage*>(&control))
        image->OnClick = std::move(handler);
}

// The layout's handlers of the events that carry more than the sender: point notifications, mouse
// notifications of envelope editors, charts and containers, and the two ends of a range bar.
void BindEventHandlers(TDIBControl& control, const TControlLayout& layout, const THandlerTable& table) {
    const auto bind = [&layout](auto& slot, const auto& handlers, std::string_view event) {
        if (const auto found = handlers.find(HandlerOf(layout, event)); found != handlers.end()) slot = found->second;
    };
    if (auto* envelope = dynamic_cast<TDIBEnvelope*>(&control)) {
        bind(envelope->OnPointAdded, table.points, "OnPointAdded");
        bind(envelope->OnPointMoved, table.points, "OnPointMoved");
        bind(envelope->OnPointRemoved, table.points, "OnPointRemoved");
        bind(envelope->OnSelectedPointChanged, table.points, "OnSelectedPointChanged");
        bind(envelope->OnMouseDown, table.mouse, "OnMouseDown");
        bind(envelope->OnMouseUp, table.mouse, "OnMouseUp");
    } else if (auto* range = dynamic_cast<TDIBRangeControl*>(&control)) {
        bind(range->OnLeftChange, table.controls, "OnLeftChange");
        bind(range->OnRightChange, table.controls, "OnRightChange");
    } else if (auto* chart = dynamic_cast<TDIBChart*>(&control)) {
        bind(chart->OnMouseDown, table.mouse, "OnMouseDown");
        bind(chart->OnMouseMove, table.mouse, "OnMouseMove");
        bind(chart->OnMouseUp, table.mouse, "OnMouseUp");
    } else if (auto* container = dynamic_cast<TDIBImageContainer*>(&control)) {
        bind(container->OnMouseDown, table.mouse, "OnMouseDown");
        bind(container->OnMouseMove, table.mouse, "OnMouseMove");
        bind(container->OnMouseUp, table.mouse, "OnMouseUp");
    }
}

} // namespace

// Construction ------------------------------------------------------------------------------------------

TPluginGUI::TPluginGUI(TCustomVSTMidiPlugin& plugin, int scale)
    : TPluginGUI(plugin, TEditorSkin::Embedded(scale == 2 ? 2 : 1)) {}

TPluginGUI::TPluginGUI(TCustomVSTMidiPlugin& plugin, TEditorSkin skin)
    : plugin_(plugin), skin_(std::move(skin)), valueFont_{skin_.Font("Narrow 10"), kValueColour},
      shellOpen_(platform::MakeShellOpen()),
      root_(std::make_unique<TDIBImageContainer>(TRect::FromSize(0, 0, kWidth, kHeight))), router_(*root_) {
    root_->SetDirtyRegion(&dirty_);
    menuLayer_.Style.atlas = skin_.Font("Sans 10");
    root_->SetMenuLayer(&menuLayer_);
    modalLayer_.Style = PanelStyle(skin_);
    root_->SetModalLayer(&modalLayer_);
    hintLayer_.Style.atlas = skin_.Font("Sans 11");
    root_->SetHintLayer(&hintLayer_);
    prompt_ = std::make_shared<TEditorPrompt>(*this);
    const THandlerTable handlers = Handlers();
    BuildMenus(handlers);
    Build();
    BindHandlers(handlers);
    FormCreate();
}

TPluginGUI::~TPluginGUI() {
    // Nothing may react while the form is torn down; questions waiting here are dropped unanswered.
    prompt_->Detach();
    refreshGuard_ = true;
    root_->SetEnabled(false);
    menuLayer_.Close();
    modalLayer_.CloseAll(); // the callbacks' objects may be gone already
    root_->SetModalLayer(nullptr);
    root_->SetHintLayer(nullptr);
    for (const char* list : {"PatchListBank1", "PatchListBank2"})
        if (auto* patches = ControlAs<TPatchListBox>(list)) patches->SetEditBox(nullptr);
    for (const auto& control : controls_)
        router_.Forget(*control);
    while (!controls_.empty())
        controls_.pop_back();
}

void TPluginGUI::BuildMenus(const THandlerTable& table) {
    for (const TMenuLayout& layout : LayoutMenus()) {
        auto menu = BuildMenu(layout, [&table](const TMenuItemLayout& item) -> std::function<void(TMenuItem&)> {
            const auto found = table.menuItems.find(item.onClick);
            return found != table.menuItems.end() ? found->second : std::function<void(TMenuItem&)>{};
        });
        if (layout.onPopup != nullptr)
            if (const auto found = table.menuPopups.find(layout.onPopup); found != table.menuPopups.end())
                menu->OnPopup = found->second;
        menus_.emplace(layout.id, std::move(menu));
    }
}

void TPluginGUI::Build() {
    for (const TControlLayout& layout : LayoutControls()) {
        if (layout.parent == nullptr) {
            root_->SetDIBImageList(&skin_.Images());
            root_->SetIndexMain(layout.image);
            byId_.emplace(layout.id, root_.get());
            continue;
        }
        // A chart's series are part of the chart.
        if (layout.kind == C::TBarSeries || layout.kind == C::TFastLineSeries) continue;
        auto* parent = ControlAs<TDIBImageContainer>(layout.parent);
        TDIBControl* control = Create(layout);
        if (parent != nullptr) parent->Add(*control);
        byId_.emplace(layout.id, control);
    }
    // The in-place name editors come after the lists they serve.
    if (auto* list = ControlAs<TPatchListBox>("PatchListBank1")) list->SetEditBox(ControlAs<THookEdit>("HookEdit1"));
    if (auto* list = ControlAs<TPatchListBox>("PatchListBank2")) list->SetEditBox(ControlAs<THookEdit>("HookEdit2"));
    if (auto* learn = Control("MidiLearnButton")) learn->SetTag(0);
    if (auto* unlearn = Control("MidiUnLearnButton")) unlearn->SetTag(1);
    if (auto* reset = Control("MidiResetButton")) reset->SetTag(2);
}

TDIBControl* TPluginGUI::Create(const TControlLayout& layout) {
    const TRect bounds = layout.rect.ToRect();
    const TControlSettings& s = layout.settings;
    const TGlyphAtlas* sans = skin_.Font("Sans 10");
    std::unique_ptr<TDIBControl> made;
    switch (layout.kind) {
    case C::TDIBImageContainer:
    case C::TDIBContainer: {
        auto container = std::make_unique<TDIBImageContainer>(bounds);
        container->SetDIBImageList(&skin_.Images());
        container->SetIndexMain(layout.image);
        made = std::move(container);
        break;
    }
    case C::TImage:
    case C::TDIBImage: {
        auto image = std::make_unique<TDIBImage>(bounds);
        image->SetDIBImageList(&skin_.Images());
        if (layout.image >= 0)
            image->SetIndexMain(layout.image);
        else
            image->SetCursor(TCursor::Hand); // a link
        made = std::move(image);
        break;
    }
    case C::TLabel: {
        auto label = std::make_unique<TDIBLabel>(bounds);
        label->SetFont(valueFont_);
        if (layout.parameter >= 0) {
            label->SetAlignment(TTextAlign::Centre);
            label->SetCaption(kDesignText);
        }
        made = std::move(label);
        break;
    }
    case C::TBADIBKnob: {
        auto knob = std::make_unique<TBADIBKnob>(bounds);
        knob->SetDIBImageList(&skin_.Images());
        knob->SetFrames(ValidSkinImage(layout.image) ? SkinImage(layout.image).frames : 1);
        knob->SetIndexMain(layout.image);
        knob->BeginLoading();
        knob->SetMin(s.min);
        knob->SetMax(s.max);
        knob->EndLoading();
        knob->SetCoarse(s.coarse);
        knob->SetFine(s.fine);
        made = std::move(knob);
        break;
    }
    case C::TBADIBButton: {
        auto button = std::make_unique<TBADIBButton>(bounds);
        SetUpButton(*button, layout);
        made = std::move(button);
        break;
    }
    case C::TBADIBSpin:
    case C::TBAMidiChSelector:
    case C::TBADIBSpinNote: {
        std::unique_ptr<TBACustomDIBSpin> spin;
        if (layout.kind == C::TBADIBSpin) {
            auto numeric = std::make_unique<TBADIBSpin>(bounds);
            numeric->BeginLoading();
            numeric->SetMin(s.min);
            numeric->SetMax(s.max);
            numeric->EndLoading();
            spin = std::move(numeric);
        } else if (layout.kind == C::TBAMidiChSelector) {
            spin = std::make_unique<TBAMidiChSelector>(bounds);
        } else {
            spin = std::make_unique<TBADIBSpinNote>(bounds);
        }
        spin->SetDIBImageList(&skin_.Images());
        spin->SetArrows(layout.image);
        spin->SetVerticalPixelsPerPosition(s.pixelsPerStep);
        spin->SetAlignment(TSpinAlignment::taCenter);
        spin->Font = TDIBFont{sans, kValueColour};
        made = std::move(spin);
        break;
    }
    case C::TBADIBDropDownMenu: {
        auto dropDown = std::make_unique<TBADIBDropDownMenu>(bounds);
        SetUpDropDown(*dropDown, layout);
        made = std::move(dropDown);
        break;
    }
    case C::TDIBEnvelope: {
        auto envelope = std::make_unique<TDIBEnvelope>(bounds);
        envelope->SetDIBImageList(&skin_.Images());
        envelope->SetPointImage(layout.image);
        envelope->SetAnchorPoints(TEnvelopeAnchors::eaFirst);
        envelope->MaxPoints = kEnvelopeMaxPoints;
        envelope->DragDistanceBeforeAddPoint = 0; // a point follows the first move after a press
        envelope->SetLinePen(TPen{.visible = false});
        envelope->SetFillPen(TPen{.visible = false});
        if (std::string_view(layout.id) == "HarmonyEnv") {
            // The harmonies are points on a line: no curve.
            envelope->SetFillBrush(TBrush{.solid = false});
            envelope->DeletePointOnRightClick = false;
        } else {
            envelope->SetYOrigin(s.yOrigin);
            envelope->SetFillBrush(TBrush{kEnvelopeFill, true});
            envelope->SetFillOpacity(255);
        }
        made = std::move(envelope);
        break;
    }
    case C::TDIBRangeControl: {
        auto range = std::make_unique<TDIBRangeControl>(bounds);
        range->SetDIBImageList(&skin_.Images());
        range->SetLeftHandle(s.leftHandle);
        range->SetRightHandle(s.rightHandle);
        range->SetHandleAlign(THandleAlign::haTop);
        range->BeginLoading();
        range->SetMax(s.rangeMax > 0 ? s.rangeMax : kLoopScale);
        range->SetLeftPos(0);
        range->SetRightPos(kInitialLoopEnd);
        range->EndLoading();
        range->SetFillBrush(TBrush{kLoopFill, true});
        range->SetFillPen(TPen{.visible = false});
        range->SetFillOpacity(kLoopFillOpacity);
        made = std::move(range);
        break;
    }
    case C::TBADIBQuillonKeyboard: {
        auto keyboard = std::make_unique<TBADIBQuillonKeyboard>(bounds);
        keyboard->SetDIBImageList(&skin_.Images());
        keyboard->SetIndexMain(layout.image);
        made = std::move(keyboard);
        break;
    }
    case C::TBAListBox:
    case C::TPatchListBox: {
        std::unique_ptr<TBAListBox> list;
        if (layout.kind == C::TPatchListBox) {
            auto patches = std::make_unique<TPatchListBox>(bounds);
            patches->SetPrograms(kProgramRows);
            patches->SetColumns(kProgramColumns);
            patches->EditOffsetLeft = kEditOffsetLeft;
            patches->EditOffsetTop = 0;
            list = std::move(patches);
        } else {
            list = std::make_unique<TBAListBox>(bounds);
        }
        list->SetItemHeight(kRowHeight);
        list->Font = sans;
        list->FontColor = Rgb(0, 0, 0);
        list->LineColorOdd = kRowOdd;
        list->LineColorEven = kRowEven;
        list->LineColorSelected = kRowSelected;
        list->FontSelectedColor = Rgb(255, 255, 255); // the caption text's colour
        made = std::move(list);
        break;
    }
    case C::THookEdit: {
        auto edit = std::make_unique<THookEdit>(bounds);
        edit->Font = sans;
        edit->Color = Rgb(0, 0, 0);
        edit->FontColor = Rgb(255, 255, 255);
        edit->SetMaxLength(kNameLength);
        edit->SetVisible(false); // shown while a program is renamed
        made = std::move(edit);
        break;
    }
    case C::TChart: {
        if (std::string_view(layout.id) == "HarmonyInspector") {
            auto chart = std::make_unique<TDIBBarChart>(bounds);
            chart->SetDIBImageList(&skin_.Images());
            chart->SetIndexMain(kHarmonyInspectorBackground);
            chart->SetPlotArea(TRect::FromSize(11, 4, 500, 90));
            chart->GridColour = kGrid;
            // The scale under the plot is printed on the dark display glass, so it is light.
            chart->Font = TDIBFont{valueFont_.atlas, Rgb(0xB8, 0xB4, 0xA8)};
            made = std::move(chart);
        } else {
            auto scope = std::make_unique<TDIBLineChart>(bounds);
            scope->SetRange(0, kScopeLast, -1, 1);
            scope->LineColour = kEnvelopeFill;
            made = std::move(scope);
        }
        break;
    }
    case C::TBarSeries:
    case C::TFastLineSeries:
        break;
    }
    made->SetTag(s.tag);
    if (s.hint != nullptr) made->SetHint(s.hint);
    controls_.push_back(std::move(made));
    return controls_.back().get();
}

void TPluginGUI::SetUpButton(TBADIBButton& button, const TControlLayout& layout) {
    const TControlSettings& s = layout.settings;
    button.SetDIBImageList(&skin_.Images());
    button.SetIndexMain(layout.image);
    if (s.effectLayer >= 0) {
        button.SetEffectLayer(s.effectLayer);
        button.SetEffectOpacity(static_cast<std::uint8_t>(s.effectOpacity));
    }
    button.ButtonBehavior = s.behavior.value_or(TButtonBehavior::bbAction);
    button.Tag2 = s.tag2;
    button.SetGroup(s.group);
    button.SetBlink(s.blink);
    if (s.active.w > 0 && s.active.h > 0) {
        button.ActiveLeft = s.active.x;
        button.ActiveTop = s.active.y;
        button.ActiveRight = s.active.Right();
        button.ActiveBottom = s.active.Bottom();
    }
}

void TPluginGUI::SetUpDropDown(TBADIBDropDownMenu& dropDown, const TControlLayout& layout) {
    const TControlSettings& s = layout.settings;
    dropDown.SetDIBImageList(&skin_.Images());
    dropDown.SetButton(layout.image);
    dropDown.SetMenu(s.menu != nullptr ? Menu(s.menu) : nullptr);
    dropDown.SetCaption(s.caption != nullptr ? s.caption : "");
    dropDown.SetAlignment(TSpinAlignment::taCenter);
    if (s.dropDown == TDropDownKind::Value) {
        dropDown.Font = TDIBFont{skin_.Font("Sans 10"), kValueColour};
        dropDown.SetAlignInFreeSpace(true);
        dropDown.ShowSelectedText = true;
        dropDown.OnChangeHandling = TOnChangeHandling::chLocal;
        return;
    }
    // The tool drop-downs: capitals in the pixel font, centred on the whole face, one pixel lower.
    dropDown.Font = TDIBFont{skin_.Font("Pixel 8"), Rgb(0, 0, 0)};
    dropDown.SetAlignInFreeSpace(false);
    dropDown.AllCaps = true;
    dropDown.SetYCorrection(1);
    dropDown.ShowSelectedText = s.dropDown == TDropDownKind::Mode;
    dropDown.OnChangeHandling =
        s.dropDown == TDropDownKind::Command ? TOnChangeHandling::chExternal : TOnChangeHandling::chLocal;
}

THandlerTable TPluginGUI::Handlers() {
    THandlerTable table;
    AddParameterHandlers(table);
    AddHarmonyHandlers(table);
    AddEnvelopeHandlers(table);
    AddProgramHandlers(table);
    AddDialogHandlers(table);
    return table;
}

void TPluginGUI::AddParameterHandlers(THandlerTable& table) {
    table.controls.insert({
        {"PageSelectorChange", [this](TDIBControl& c) { PageSelectorChange(c); }},
        {"MidiLearnButtonChange", [this](TDIBControl& c) { MidiLearnButtonChange(c); }},
        {"KeyboardControlChange", [this](TDIBControl& c) { KeyboardControlChange(c); }},
        {"KeyAssignChange", [this](TDIBControl& c) { KeyAssignChange(c); }},
        {"NoteOverlapChange", [this](TDIBControl& c) { NoteOverlapChange(c); }},
        {"Lfo1WaveformScopeClick", [this](TDIBControl&) { StepScopeWaveform(0); }},
        {"Lfo2WaveformScopeClick", [this](TDIBControl&) { StepScopeWaveform(1); }},
        {"LogoClick", [this](TDIBControl&) { LogoClick(); }},
        {"UsersManualClick", [this](TDIBControl&) { UsersManualClick(); }},
    });
}

void TPluginGUI::BindHandlers(const THandlerTable& table) {
    for (const TControlLayout& layout : LayoutControls()) {
        TDIBControl* control = Control(layout.id);
        if (control == nullptr || layout.parent == nullptr) continue;
        if (layout.parameter >= 0 && layout.kind != C::TLabel) {
            switch (layout.kind) {
            case C::TBADIBKnob:
                SetNotify(*control, [this](TDIBControl& c) { KnobControlChange(c); });
                break;
            case C::TBADIBButton:
                SetNotify(*control, [this](TDIBControl& c) { ButtonClick(c); });
                break;
            case C::TBADIBDropDownMenu:
                SetNotify(*control, [this](TDIBControl& c) { DropDownChanged(c); });
                break;
            default:
                SetNotify(*control, [this](TDIBControl& c) { SpinControlChange(c); });
                break;
            }
            continue;
        }
        for (const std::string_view event : {"OnChange", "OnClick", "OnMouseDown", "OnMouseUp"}) {
            const std::string_view name = HandlerOf(layout, event);
            if (const auto found = table.controls.find(name); found != table.controls.end())
                if (!SetListNotify(*control, event, found->second) && (event == "OnChange" || event == "OnClick"))
                    SetNotify(*control, found->second);
        }
        BindEventHandlers(*control, layout, table);
    }
    for (const THandling& handling : kHandling) {
        const std::size_t offset = handling.offset;
        const std::string_view envelope = handling.envelope;
        if (TDIBControl* selector = Control(handling.selector))
            SetNotify(*selector,
                      [this, offset, envelope](TDIBControl& c) { HandlingSelectorChange(c, offset, envelope); });
    }
}

void TPluginGUI::FormCreate() {
    refreshGuard_ = true;
    // The parameter controls and value labels by parameter index; each control's Tag is its index.
    for (const TControlLayout& layout : LayoutControls()) {
        if (layout.parameter < 0 || layout.parameter >= kParameters) continue;
        TDIBControl* control = Control(layout.id);
        const auto index = static_cast<std::size_t>(layout.parameter);
        if (layout.kind == C::TLabel) {
            valueLabels_[index] = dynamic_cast<TDIBLabel*>(control);
        } else {
            parameterControls_[index] = control;
            control->SetTag(layout.parameter);
        }
    }
    if (auto* inspector = ControlAs<TDIBBarChart>("HarmonyInspector")) {
        inspector->SetEnabled(false);
        SetInspectorView(false);
        SetInspectorRange(0);
        for (int bar = 0; bar < kInspectorBars; ++bar)
            inspector->AddBar(0.0);
    }
    if (auto* label = ControlAs<TDIBLabel>("HarmInfoLabel")) label->SetCaption("");
    inspectorDragging_ = false;
    envelopeScrolling_ = false;
    visibleProgramList_ = ControlAs<TPatchListBox>("PatchListBank1");
    programListMouse_ = false;
    shownValues_.fill(-1.0f);
    latestValues_.fill(0.0f);
    if (TDIBControl* analyzing = Control("AnalyzingNowImage")) analyzing->SetVisible(false);
    SetPresetLoadingIndicator(0);
    ShowPage(kPresetsPage);
    refreshGuard_ = false;
}

// Lookups -----------------------------------------------------------------------------------------------

TDIBControl* TPluginGUI::Control(std::string_view id) const {
    const auto found = byId_.find(id);
    return found == byId_.end() ? nullptr : found->second;
}

TDIBControl* TPluginGUI::ParameterControl(int index) const {
    return index >= 0 && index < kParameters ? parameterControls_[static_cast<std::size_t>(index)] : nullptr;
}

TDIBLabel* TPluginGUI::ValueLabel(int index) const {
    return index >= 0 && index < kParameters ? valueLabels_[static_cast<std::size_t>(index)] : nullptr;
}

TPopupMenu* TPluginGUI::Menu(std::string_view id) const {
    const auto found = menus_.find(id);
    return found == menus_.end() ? nullptr : found->second.get();
}

// Pages -------------------------------------------------------------------------------------------------

void TPluginGUI::SetFront(TDIBControl& control) {
    if (TDIBImageContainer* parent = control.Parent()) {
        parent->Remove(control);
        parent->Add(control);
    }
}

void TPluginGUI::ShowPage(int page) {
    page_ = std::clamp(page, 0, kPresetsPage);
    for (int i = 0; i < kPageCount; ++i)
        if (TDIBControl* container = Control(kPageIds[i])) container->SetVisible(i == page_);
    if (TDIBControl* front = Control(kPageIds[page_])) SetFront(*front);
    if (auto* selector = ControlAs<TBADIBButton>(kPageSelectors[page_])) selector->SetActive(true);
}

void TPluginGUI::SelectPage(int page) {
    ShowPage(page);
    WriteInt(plugin_.GetGlobalSettings(), kPageOffset, page_);
}

void TPluginGUI::PageSelectorChange(TDIBControl& sender) {
    SelectPage(sender.Tag());
}

// Opening -----------------------------------------------------------------------------------------------

void TPluginGUI::initNonAutomatedControls() {
    const std::span<std::uint8_t> settings = plugin_.GetGlobalSettings();
    FillBankList();
    const std::int32_t page = ReadInt(settings, kPageOffset);
    SelectPage(page >= 0 && page <= kPresetsPage ? page : kPresetsPage);
    for (const TScrolled& scrolled : kScrolled) {
        TDIBControl* container = Control(scrolled.container);
        if (container == nullptr || container->Parent() == nullptr) continue;
        const int lowest = std::min(0, container->Parent()->Width() - kTimeLineWidth);
        const int left = std::clamp(static_cast<int>(ReadInt(settings, scrolled.offset)), lowest, 0);
        const TRect& at = container->Bounds();
        container->SetBounds(TRect::FromSize(left, at.top, at.Width(), at.Height()));
    }
    for (const THandling& handling : kHandling) {
        const int mode = std::clamp(static_cast<int>(ReadInt(settings, handling.offset)), 0, 2);
        if (auto* selector = ControlAs<TBADIBDropDownMenu>(handling.selector)) selector->SetMenuTag(mode);
        if (auto* envelope = ControlAs<TDIBEnvelope>(handling.envelope))
            envelope->PointEditing = static_cast<TPointEditing>(mode);
    }
    const bool phase = settings[kPhaseViewOffset] != 0;
    if (auto* button = ControlAs<TBADIBButton>("ViewHarmonicsPhaseButton")) button->SetActive(phase);
    SetInspectorView(phase);
    const int range = std::clamp(static_cast<int>(ReadInt(settings, kInspectorRangeOffset)), 0, 7);
    if (auto* selector = ControlAs<TBADIBDropDownMenu>("HarmonyInspectorRangeSelector")) selector->SetMenuTag(range);
    SetInspectorRange(range);
    if (auto* selector = ControlAs<TBADIBDropDownMenu>("HarmonyInspectorEditTypeSelector"))
        selector->SetMenuTag(ReadInt(settings, kEditTypeOffset));
    if (auto* linked = ControlAs<TBADIBButton>("HarmonicsLinkedControl"))
        linked->SetActive(settings[kLinkedOffset] != 0);
    const bool deleteOnRightClick = settings[kDeleteOnRightClickOffset] != 0;
    if (TPopupMenu* menu = Menu("HarmonyEnvEditMenu"))
        for (int i = 0; i < menu->Items.Count(); ++i)
            if (menu->Items[i].Caption == "Delete On Right Click") menu->Items[i].SetChecked(deleteOnRightClick);
    if (auto* harmonies = ControlAs<TDIBEnvelope>("HarmonyEnv"))
        harmonies->DeletePointOnRightClick = deleteOnRightClick;
}

// User edits (step 1) -----------------------------------------------------------------------------------

void TPluginGUI::UserEdit(int index, float value, bool learn) {
    const auto i = static_cast<std::size_t>(index);
    shownValues_[i] = value;
    latestValues_[i] = value;
    if (dynamic_cast<TBADIBKnob*>(parameterControls_[i]) != nullptr) UpdateValueField(index);
    plugin_.setParameterAutomated(index, value);
    if (learn) plugin_.MidiHandler().SetLearnParameter(index);
    for (const TSyncLabel& synced : kSyncLabels)
        if (synced.sync == index) UpdateValueField(synced.label);
}

void TPluginGUI::KnobControlChange(TDIBControl& sender) {
    const auto& knob = static_cast<const TBADIBKnob&>(sender);
    UserEdit(knob.Tag(), static_cast<float>(knob.Position()) / static_cast<float>(knob.Max()));
}

void TPluginGUI::ButtonClick(TDIBControl& sender) {
    UserEdit(sender.Tag(), static_cast<const TBADIBButton&>(sender).Active() ? 1.0f : 0.0f);
}

void TPluginGUI::SpinControlChange(TDIBControl& sender) {
    const auto& spin = static_cast<const TBACustomDIBSpin&>(sender);
    const TSpinRange range = RangeOf(spin);
    const int span = std::max(range.max - range.min, 1);
    UserEdit(spin.Tag(), static_cast<float>(spin.Position() - range.min) / static_cast<float>(span));
}

float TPluginGUI::DropDownValue(int index, int menuTag) const {
    const ParameterSpec& row = ParameterTable::Spec(index);
    const double span = row.displayMax - row.displayMin;
    return span == 0.0 ? 0.0f : static_cast<float>((menuTag - row.displayMin) / span);
}

void TPluginGUI::DropDownChanged(TDIBControl& sender) {
    const auto& dropDown = static_cast<const TBADIBDropDownMenu&>(sender);
    const int index = dropDown.Tag();
    const int tag = dropDown.MenuTag();
    if (index == kLfo1Waveform || index == kLfo2Waveform) {
        const int lfo = index == kLfo1Waveform ? 0 : 1;
        plugin_.SetLfoWaveform(lfo, tag);
        RedrawScope(lfo);
    }
    if (IsModulationSource(index)) RescaleIntensityKnob(index, tag);
    UserEdit(index, DropDownValue(index, tag));
}

void TPluginGUI::KeyAssignChange(TDIBControl& sender) {
    UserEdit(kKeyAssign, static_cast<float>(static_cast<const TBADIBButton&>(sender).Tag2), false);
}

void TPluginGUI::NoteOverlapChange(TDIBControl& sender) {
    UserEdit(kOverlap, static_cast<float>(static_cast<const TBADIBButton&>(sender).Tag2) / 2.0f, false);
}

void TPluginGUI::RescaleIntensityKnob(int sourceIndex, int target) {
    auto* knob = dynamic_cast<TBADIBKnob*>(ParameterControl(sourceIndex + 1));
    const int range = TCustomVSTMidiPlugin::ModulationRange(target);
    if (knob == nullptr || range <= 0) return;
    const int oldPosition = knob->Position();
    const int oldMax = knob->Max();
    knob->SetMax(range);
    knob->SetPosition(Round(static_cast<double>(range) * oldPosition / std::max(oldMax, 1)));
}

void TPluginGUI::RedrawScope(int lfo) {
    auto* scope = ControlAs<TDIBLineChart>(lfo == 0 ? "Lfo1WaveformScope" : "Lfo2WaveformScope");
    if (scope == nullptr) return;
    scope->Clear();
    for (int x = 0; x <= kScopeLast; ++x)
        scope->AddPoint(x, plugin_.LfoWaveValue(lfo, static_cast<float>(x) / kScopeLast));
}

void TPluginGUI::StepScopeWaveform(int lfo) {
    const int index = lfo == 0 ? kLfo1Waveform : kLfo2Waveform;
    plugin_.NextLfoWaveform(lfo);
    const int waveform = plugin_.LfoWaveform(lfo);
    const float value = DropDownValue(index, waveform);
    shownValues_[static_cast<std::size_t>(index)] = value;
    latestValues_[static_cast<std::size_t>(index)] = value;
    RedrawScope(lfo);
    if (auto* selector = dynamic_cast<TBADIBDropDownMenu*>(ParameterControl(index))) selector->SetMenuTag(waveform);
    plugin_.setParameterAutomated(index, value);
    plugin_.MidiHandler().SetLearnParameter(index);
}

// Value labels (step 2) ---------------------------------------------------------------------------------

std::string TPluginGUI::ValueText(int index) const {
    const float value = latestValues_.at(static_cast<std::size_t>(index));
    for (const TSyncLabel& synced : kSyncLabels)
        if (synced.label == index && latestValues_[static_cast<std::size_t>(synced.sync)] >= 0.5f)
            return plugin_.TempoSyncText(index, value).substr(0, kValueLabelLength);
    for (const TAmountRow& amount : kAmountRows)
        if (amount.index == index) return plugin_.ModulationAmountText(amount.row, value).substr(0, kValueLabelLength);
    // The number alone, cut to eight characters, then its unit, and the whole cut again.
    const std::string text = ParameterTable::DisplayText(index, value) + " " + ParameterTable::Label(index);
    return text.substr(0, kValueLabelLength);
}

void TPluginGUI::UpdateValueField(int index) {
    if (TDIBLabel* label = ValueLabel(index)) label->SetCaption(ValueText(index));
}

// Refreshes (steps 3 and 4) -----------------------------------------------------------------------------

void TPluginGUI::SetParameterValues(const float* values, int count) {
    for (int i = 0; i < std::min(count, kParameters); ++i)
        latestValues_[static_cast<std::size_t>(i)] = values[i];
}

void TPluginGUI::ReadLatestValues() {
    for (int i = 0; i < kParameters; ++i)
        latestValues_[static_cast<std::size_t>(i)] = plugin_.getParameter(i);
}

void TPluginGUI::RefreshControl(int index, float value) {
    TDIBControl* control = ParameterControl(index);
    if (control == nullptr) {
        if (index == kKeyAssign) {
            const char* id = Round(value) == 0 ? "VoiceAssignmentButton1" : "VoiceAssignmentButton2";
            if (auto* button = ControlAs<TBADIBButton>(id)) button->SetActive(true);
        } else if (index == kOverlap) {
            static constexpr const char* kOverlapButtons[] = {"NoteOverlapButton1", "NoteOverlapButton2",
                                                              "NoteOverlapButton3"};
            if (auto* button = ControlAs<TBADIBButton>(kOverlapButtons[std::clamp(Round(2.0 * value), 0, 2)]))
                button->SetActive(true);
        }
        return;
    }
    if (auto* button = dynamic_cast<TBADIBButton*>(control)) {
        button->SetActive(value >= 0.5f);
    } else if (auto* knob = dynamic_cast<TBADIBKnob*>(control)) {
        knob->SetPosition(Round(knob->Max() * static_cast<double>(value)));
        UpdateValueField(index);
    } else if (auto* spin = dynamic_cast<TBACustomDIBSpin*>(control)) {
        const TSpinRange range = RangeOf(*spin);
        spin->SetPosition(Round(range.min + static_cast<double>(value) * (range.max - range.min)));
    } else if (auto* dropDown = dynamic_cast<TBADIBDropDownMenu*>(control)) {
        const ParameterSpec& row = ParameterTable::Spec(index);
        const int tag = Round(row.displayMin + static_cast<double>(value) * (row.displayMax - row.displayMin));
        dropDown->SetMenuTag(tag);
        if (index == kLfo1Waveform || index == kLfo2Waveform) {
            const int lfo = index == kLfo1Waveform ? 0 : 1;
            plugin_.SetLfoWaveform(lfo, tag);
            RedrawScope(lfo);
        }
        if (IsModulationSource(index)) RescaleIntensityKnob(index, tag);
    }
}

void TPluginGUI::updateStandardControls() {
    for (int i = 0; i < kParameters; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (shownValues_[at] == latestValues_[at]) continue;
        shownValues_[at] = latestValues_[at];
        RefreshControl(i, latestValues_[at]);
    }
}

void TPluginGUI::updateAllControls() {
    refreshGuard_ = true;
    root_->SetEnabled(false);
    updateStandardControls();
    LoadHarmonyTimeLine();
    LoadEnvelopeEditors();
    FollowBankHalf();
    SelectCurrentProgram();
    root_->SetEnabled(true);
    refreshGuard_ = false;
    if (TDIBControl* analyzing = Control("AnalyzingNowImage")) analyzing->SetVisible(AnalysisRunning());
}

void TPluginGUI::updateAll() {
    updateAllControls();
    WriteProgramNames();
}

void TPluginGUI::SetPresetLoadingIndicator(std::uint8_t opacity) {
    if (TDIBControl* lamp = Control("PresetLoadingIndicator")) lamp->SetOpacity(opacity);
}

// Commands of the controls without a parameter ----------------------------------------------------------

void TPluginGUI::MidiLearnButtonChange(TDIBControl& sender) {
    auto* learn = ControlAs<TBADIBButton>("MidiLearnButton");
    auto* unlearn = ControlAs<TBADIBButton>("MidiUnLearnButton");
    TMidiHandler& midi = plugin_.MidiHandler();
    switch (sender.Tag()) {
    case 0:
        if (unlearn != nullptr) unlearn->SetActive(false);
        midi.SetLearnMode(learn != nullptr && learn->Active() ? TMidiHandler::kLearnBind : TMidiHandler::kLearnOff);
        break;
    case 1:
        if (learn != nullptr) learn->SetActive(false);
        midi.SetLearnMode(unlearn != nullptr && unlearn->Active() ? TMidiHandler::kLearnForget
                                                                  : TMidiHandler::kLearnOff);
        break;
    default:
        plugin_.ClearAssignments();
        break;
    }
}

void TPluginGUI::KeyboardControlChange(TDIBControl& sender) {
    plugin_.MidiHandler().SetEditorNote(static_cast<const TBADIBQuillonKeyboard&>(sender).Note());
}

void TPluginGUI::LogoClick() {
    OpenWithSystem(kWebSite);
}

void TPluginGUI::UsersManualClick() {
    const std::string manual = plugin_.Settings().ReadSetting(platform::kSettingManual).text;
    if (!manual.empty()) OpenWithSystem(manual);
}

void TPluginGUI::OpenWithSystem(const std::string& target) {
    if (!shellOpen_) return;
    const Status opened = shellOpen_->OpenWithSystem(target);
    if (!opened && !opened.message.empty()) ShowMessage("Quillon", opened.message);
}

// Painting and input ------------------------------------------------------------------------------------

void TPluginGUI::FormPaint() {
    fullPaint_ = true;
}

TRect TPluginGUI::Paint(TPixelBuffer& buffer, bool full) {
    TPainter painter(buffer, skin_.Scale());
    if (full || fullPaint_) {
        fullPaint_ = false;
        dirty_.Take();
        root_->Paint(painter);
        return TRect::FromSize(0, 0, kWidth, kHeight);
    }
    const TDirtyRegion::TList dirty = dirty_.Take();
    for (const TRect& area : dirty) {
        painter.PushClip(area);
        root_->Paint(painter);
        painter.PopClip();
    }
    return dirty.Empty() ? TRect{} : dirty.Bounds();
}

void TPluginGUI::MouseDown(const TMouseEvent& event) {
    router_.MouseDown(event);
}

void TPluginGUI::MouseMove(const TMouseEvent& event) {
    router_.MouseMove(event);
}

void TPluginGUI::MouseUp(const TMouseEvent& event) {
    router_.MouseUp(event);
}

bool TPluginGUI::KeyEvent(const TKeyEvent& event) {
    return modalLayer_.DispatchKey(event) || THookEdit::DispatchKey(event);
}

void TPluginGUI::AdvanceClock(int milliseconds) {
    PollAnalysis();
    root_->AdvanceClock(milliseconds);
}

// The factory -------------------------------------------------------------------------------------------

std::unique_ptr<IEditorForm> CreatePluginGUI(void* /*parentWindow*/, TVSTMidiPlugin& plugin, int scale) {
    auto* synthesizer = dynamic_cast<TCustomVSTMidiPlugin*>(&plugin);
    if (synthesizer == nullptr) return nullptr;
    try {
        return std::make_unique<TPluginGUI>(*synthesizer, scale);
    } catch (const std::exception&) {
        return nullptr;
    }
}

} // namespace quillon
