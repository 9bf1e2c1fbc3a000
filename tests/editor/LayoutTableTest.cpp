// Checks the editor's layout and skin data against the rules a mistyped row would break: the control tree,
// the fit of each control in its parent and to its image, the frame counts each control class draws, the
// parameter binding and the captions placed from the controls.
#include "editor/LayoutTable.h"
#include "editor/SkinTable.h"

#include "core/ParameterTable.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace quillon {
namespace {

using C = TControlClass;

bool IsMask(const TControlLayout& control) {
    return IsWindow(control);
}

bool Overlap(const TLayoutRect& a, const TLayoutRect& b) {
    return a.Intersects(b);
}

// Where a control reacts to the mouse, relative to its parent.
TLayoutRect Reacting(const TControlLayout& control) {
    const TLayoutRect& active = control.settings.active;
    if (active.w == 0) return control.rect;
    return {control.rect.x + active.x, control.rect.y + active.y, active.w, active.h};
}

std::string Name(const TControlLayout& control) {
    return control.id;
}

TEST(LayoutTable, FormsOneTreeOfUniqueIdsWithParentsFirst) {
    std::set<std::string_view> seen;
    int roots = 0;
    for (const TControlLayout& control : LayoutControls()) {
        EXPECT_TRUE(seen.insert(control.id).second) << "duplicate id " << control.id;
        if (control.parent == nullptr) {
            ++roots;
            continue;
        }
        EXPECT_TRUE(seen.contains(control.parent)) << control.id << " comes before its parent " << control.parent;
        EXPECT_EQ(FindControl(control.id), &control);
    }
    EXPECT_EQ(roots, 1);
    EXPECT_EQ(FindControl("NoSuchControl"), nullptr);

    // Every control lies on exactly one page or on the chassis.
    std::size_t listed = ControlsOf(kPrimaryContainer).size() + 1;
    for (const char* page : kPageIds) {
        ASSERT_NE(FindControl(page), nullptr) << page;
        EXPECT_EQ(std::string_view(FindControl(page)->parent), kPrimaryContainer);
        EXPECT_FALSE(ControlsOf(page).empty()) << page;
        listed += ControlsOf(page).size();
    }
    EXPECT_EQ(listed, LayoutControls().size());
}

// A control lies inside its parent, except the scrolled contents of a window (a container without an
// image): they start at its origin, fill its height and are at least as wide as the window.
TEST(LayoutTable, ControlsLieInsideTheirParents) {
    for (const TControlLayout& control : LayoutControls()) {
        if (control.parent == nullptr) continue;
        const TControlLayout& parent = *FindControl(control.parent);
        if (IsMask(parent)) {
            EXPECT_EQ(control.rect.x, 0) << control.id;
            EXPECT_EQ(control.rect.y, 0) << control.id;
            EXPECT_EQ(control.rect.h, parent.rect.h) << control.id;
            EXPECT_GE(control.rect.w, parent.rect.w) << control.id;
        } else {
            EXPECT_TRUE(parent.rect.Contains(control.rect)) << control.id << " leaves " << parent.id;
        }
    }
}

// Controls of one parent do not cover each other where they react to the mouse, except those stacked on
// purpose: the six pages, the analysis notice over them, the two program lists of which one is brought to
// front, and each envelope over its loop bar.
TEST(LayoutTable, SiblingsDoNotOverlapExceptStackedOnes) {
    const std::set<std::string_view> stacked{"PatchListBank1", "PatchListBank2", "AnalyzingNowImage"};
    const auto controls = LayoutControls();
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const TControlLayout& a = controls[i];
            const TControlLayout& b = controls[j];
            if (a.parent == nullptr || b.parent == nullptr || std::string_view(a.parent) != b.parent) continue;
            if ((IsPage(a.id) || stacked.contains(a.id)) && (IsPage(b.id) || stacked.contains(b.id))) continue;
            if (a.kind == C::TDIBRangeControl && b.kind == C::TDIBEnvelope) continue;
            EXPECT_FALSE(Overlap(Reacting(a), Reacting(b))) << a.id << " overlaps " << b.id;
        }
}

// Every image of the list is used, and every control takes the size its image gives it: one frame for
// the controls that size themselves to it, the image's height for spins and drop-downs.
TEST(LayoutTable, ImagesExistAreUsedAndSizeTheirControls) {
    std::set<int> used;
    for (const TControlLayout& control : LayoutControls()) {
        for (int image :
             {control.image, control.settings.effectLayer, control.settings.leftHandle, control.settings.rightHandle}) {
            if (image < 0) continue;
            ASSERT_LT(image, kSkinListImageCount) << control.id;
            used.insert(image);
        }
        if (control.image < 0) continue;
        const TSkinImage& image = SkinImage(control.image);
        switch (control.kind) {
        case C::TBADIBSpin:
        case C::TBAMidiChSelector:
        case C::TBADIBSpinNote:
            EXPECT_EQ(control.rect.h, image.height) << control.id;
            EXPECT_GE(control.rect.w, image.width) << control.id << ": no room for the arrows";
            break;
        case C::TBADIBDropDownMenu:
            EXPECT_EQ(control.rect.h, image.height) << control.id;
            EXPECT_GE(control.rect.w, image.FrameWidth()) << control.id;
            break;
        case C::TDIBEnvelope: // the image is the point marker
            break;
        default:
            EXPECT_EQ(control.rect.w, image.FrameWidth()) << control.id << " and image " << image.name;
            EXPECT_EQ(control.rect.h, image.FrameHeight()) << control.id << " and image " << image.name;
        }
    }
    for (int i = 0; i < kSkinListImageCount; ++i)
        EXPECT_TRUE(used.contains(i)) << "image " << i << " \"" << SkinImage(i).name << "\" is used by no control";
    EXPECT_EQ(SkinImage(kHarmonyInspectorBackground).width, FindControl("HarmonyInspector")->rect.w);
    EXPECT_EQ(SkinImage(kHarmonyInspectorBackground).height, FindControl("HarmonyInspector")->rect.h);
    EXPECT_EQ(FindSkinImage("Big knob"), &SkinImage(15));
    EXPECT_EQ(FindSkinImage("big knob"), nullptr);
}

// The frame strips each control class draws.
TEST(LayoutTable, ImagesHoldTheFramesTheirControlsDraw) {
    const std::map<C, int> frames{{C::TBADIBKnob, 101},          {C::TBADIBButton, 4},   {C::TBADIBSpin, 3},
                                  {C::TBAMidiChSelector, 3},     {C::TBADIBSpinNote, 3}, {C::TBADIBDropDownMenu, 2},
                                  {C::TBADIBQuillonKeyboard, 2}, {C::TDIBEnvelope, 1},   {C::TDIBImage, 1},
                                  {C::TDIBImageContainer, 1}};
    for (const TControlLayout& control : LayoutControls()) {
        const TControlSettings& s = control.settings;
        if (control.image >= 0) {
            ASSERT_TRUE(frames.contains(control.kind)) << control.id << " is no class that draws an image";
            EXPECT_EQ(SkinImage(control.image).frames, frames.at(control.kind)) << control.id;
        }
        if (s.effectLayer >= 0) {
            EXPECT_EQ(SkinImage(s.effectLayer).frames, SkinImage(control.image).frames) << control.id;
            EXPECT_EQ(SkinImage(s.effectLayer).FrameWidth(), control.rect.w) << control.id;
        }
        if (control.kind == C::TDIBRangeControl) {
            EXPECT_EQ(SkinImage(s.leftHandle).frames, 1) << control.id;
            EXPECT_EQ(SkinImage(s.rightHandle).frames, 1) << control.id;
        }
        if (control.kind == C::TBADIBKnob) {
            EXPECT_EQ(s.max, control.parameter == 7 ? 18 : 1000) << control.id;
            EXPECT_EQ(s.min, 0);
        }
        if (control.kind == C::TBADIBButton) {
            EXPECT_TRUE(s.behavior.has_value()) << control.id;
            const TLayoutRect face{0, 0, control.rect.w, control.rect.h};
            EXPECT_TRUE(face.Contains(s.active)) << control.id;
        }
    }
}

// Each parameter with a control has exactly one (113 and 114 are radio groups, 118 to 123 have none); a
// value label names the parameter of the knob it sits above, and each small knob has one.
TEST(LayoutTable, EveryParameterHasOneControlAndEverySmallKnobOneValueLabel) {
    std::map<int, const TControlLayout*> controls;
    std::map<int, int> labels;
    for (const TControlLayout& control : LayoutControls()) {
        if (control.parameter < 0) continue;
        ASSERT_TRUE(ParameterTable::Valid(control.parameter)) << control.id;
        if (control.kind == C::TLabel) {
            ++labels[control.parameter];
            continue;
        }
        EXPECT_TRUE(controls.emplace(control.parameter, &control).second)
            << "parameter " << control.parameter << " on " << control.id << " and "
            << Name(*controls[control.parameter]);
    }
    for (int index = 0; index < 124; ++index) {
        const bool none = index == 113 || index == 114 || index >= 118;
        EXPECT_EQ(controls.contains(index), !none) << "parameter " << index;
    }
    for (const TControlLayout& label : LayoutControls()) {
        if (label.kind != C::TLabel || label.parameter < 0) continue;
        const TControlLayout& knob = *controls.at(label.parameter);
        EXPECT_EQ(knob.kind, C::TBADIBKnob) << label.id;
        EXPECT_STREQ(label.parent, knob.parent) << label.id;
        EXPECT_EQ(label.rect.Bottom() + 4, knob.rect.y) << label.id;
        EXPECT_EQ(label.rect.x * 2 + label.rect.w, knob.rect.x * 2 + knob.rect.w) << label.id << " is not centred";
    }
    for (const auto& [index, control] : controls)
        if (control->kind == C::TBADIBKnob) {
            EXPECT_EQ(labels[index], control->image == 2 ? 1 : 0) << control->id;
        }
}

// The radio groups: six page selectors numbered by page, two voice-assignment and three note-overlap
// buttons numbered from 0 in `Tag2`.
TEST(LayoutTable, RadioGroupsAreNumberedWithoutGaps) {
    std::map<int, std::set<int>> numbers;
    for (const TControlLayout& control : LayoutControls()) {
        if (control.settings.behavior != TButtonBehavior::bbRadio) continue;
        const int number = control.settings.group == 1 ? control.settings.tag : control.settings.tag2;
        EXPECT_TRUE(numbers[control.settings.group].insert(number).second) << control.id;
        if (control.settings.group == 1) {
            EXPECT_EQ(std::string_view(SkinImage(control.image).usedBy), control.id);
        }
    }
    const std::map<int, std::size_t> sizes{{1, 6}, {2, 2}, {3, 3}};
    for (const auto& [group, members] : numbers) {
        EXPECT_EQ(members.size(), sizes.at(group)) << "group " << group;
        EXPECT_EQ(*members.rbegin(), static_cast<int>(members.size()) - 1) << "group " << group;
    }
}

// Captions name the parameters, lie on their page next to their control and cover neither a control (a
// scrolled window stands for its contents) nor each other.
TEST(LayoutTable, CaptionsSitBesideTheirControlsWithoutCoveringAnything) {
    std::size_t count = 0;
    for (const char* page :
         {kPrimaryContainer, kPageIds[0], kPageIds[1], kPageIds[2], kPageIds[3], kPageIds[4], kPageIds[5]}) {
        const TLayoutRect area{0, 0, FindControl(page)->rect.w, FindControl(page)->rect.h};
        const auto captions = CaptionsOf(page);
        count += captions.size();
        for (std::size_t i = 0; i < captions.size(); ++i) {
            const TCaption& caption = captions[i];
            const TControlLayout& named = *FindControl(caption.control);
            // A word for the musician, short enough for the caption's room (about ten narrow characters).
            EXPECT_FALSE(caption.text.empty()) << caption.control;
            EXPECT_LE(caption.text.size(), 11u) << caption.control;
            EXPECT_STREQ(caption.page, page);
            EXPECT_TRUE(area.Contains(caption.rect)) << caption.control;
            const TLayoutRect at = RectOnPage(named);
            const TLayoutRect near{at.x - 3, at.y - 3, at.w + 6, at.h + 6};
            EXPECT_TRUE(near.Intersects(caption.rect)) << caption.control << ": caption far from its control";
            for (const TControlLayout* control : ControlsOf(page)) {
                const TControlLayout* parent = FindControl(control->parent);
                if (IsPage(control->id) || InsideWindow(*control) || parent->kind == C::TChart) continue;
                EXPECT_FALSE(caption.rect.Intersects(RectOnPage(*control)))
                    << "caption of " << caption.control << " covers " << control->id;
            }
            for (std::size_t j = i + 1; j < captions.size(); ++j)
                EXPECT_FALSE(caption.rect.Intersects(captions[j].rect))
                    << caption.control << " and " << captions[j].control;
        }
    }
    EXPECT_EQ(count, 104u); // 116 parameter controls less the 12 "Loop" and "Time Stretch" buttons
}

} // namespace
} // namespace quillon
