// Checks the section frames and legends the page backgrounds print: a frame holds whole controls and whole
// texts or keeps clear of them, titles cover nothing, and every parameter control lies in a section.
#include "editor/LayoutTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

struct TPrinted {
    std::string name;
    TLayoutRect rect;
};

bool Inside(const TLayoutRect& outer, const TLayoutRect& inner) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.Right() <= outer.Right() &&
           inner.Bottom() <= outer.Bottom();
}

// What a frame must not cut: the controls of a page (a scrolled window stands for its contents), the
// captions and the legends.
std::vector<TPrinted> ThingsOn(const char* page) {
    std::vector<TPrinted> things;
    for (const TControlLayout* control : ControlsOf(page)) {
        const TControlLayout* parent = FindControl(control->parent);
        if (IsPage(control->id) || InsideWindow(*control) || parent->kind == TControlClass::TChart) continue;
        things.push_back({control->id, RectOnPage(*control)});
    }
    for (const TCaption& caption : CaptionsOf(page))
        things.push_back({"caption of " + std::string(caption.control), caption.rect});
    for (const TLegend& legend : LegendsOf(page))
        things.push_back({"legend " + std::string(legend.text), legend.rect});
    return things;
}

TEST(SectionLayout, FramesHoldWholeControlsAndTextsAndTitlesCoverNothing) {
    std::size_t sectionCount = 0;
    for (const char* page : kPageIds) {
        const TLayoutRect area{0, 0, FindControl(page)->rect.w, FindControl(page)->rect.h};
        const auto sections = SectionsOf(page);
        sectionCount += sections.size();
        const std::vector<TPrinted> things = ThingsOn(page);
        for (const TSection& section : sections) {
            EXPECT_STREQ(section.page, page);
            EXPECT_TRUE(area.Contains(section.rect)) << section.title;
            EXPECT_TRUE(area.Contains(section.titleRect)) << section.title;
            EXPECT_TRUE(Inside(section.rect, {section.titleRect.x, section.rect.y, section.titleRect.w, 1}))
                << section.title << ": the title does not sit on the top line";
            for (const TPrinted& thing : things) {
                EXPECT_TRUE(Inside(section.rect, thing.rect) || !section.rect.Intersects(thing.rect))
                    << section.title << " cuts through " << thing.name;
                EXPECT_FALSE(section.titleRect.Intersects(thing.rect)) << section.title << " covers " << thing.name;
            }
            for (const TSection& other : sections) {
                if (&other == &section) continue;
                EXPECT_FALSE(section.rect.Intersects(other.rect)) << section.title << " and " << other.title;
                EXPECT_FALSE(section.titleRect.Intersects(other.rect)) << section.title << " on " << other.title;
            }
        }
        // Every control that edits a parameter, and every list, lies in exactly one section.
        for (const TControlLayout* control : ControlsOf(page)) {
            const bool grouped = control->parameter >= 0 || control->kind == TControlClass::TPatchListBox;
            if (!grouped || InsideWindow(*control)) continue;
            int holders = 0;
            for (const TSection& section : sections)
                holders += Inside(section.rect, RectOnPage(*control)) ? 1 : 0;
            EXPECT_EQ(holders, 1) << control->id;
        }
    }
    EXPECT_GE(sectionCount, 30u);
    EXPECT_TRUE(SectionsOf(kPrimaryContainer).empty());
}

// The legends of the radio groups and the MIDI buttons lie beside their buttons, inside the page or the
// chassis, clear of every control and caption.
TEST(SectionLayout, LegendsSitBesideTheirButtonsOverNothing) {
    std::size_t count = 0;
    for (const char* page : {kPrimaryContainer, kPageIds[3]}) {
        const TLayoutRect area{0, 0, FindControl(page)->rect.w, FindControl(page)->rect.h};
        const std::vector<TPrinted> things = ThingsOn(page);
        for (const TLegend& legend : LegendsOf(page)) {
            ++count;
            const TLayoutRect button = RectOnPage(*FindControl(legend.control));
            EXPECT_TRUE(area.Contains(legend.rect)) << legend.text;
            EXPECT_TRUE(legend.rect.y > button.y && legend.rect.Bottom() < button.Bottom()) << legend.text;
            for (const TPrinted& thing : things)
                if (thing.name != "legend " + std::string(legend.text)) {
                    EXPECT_FALSE(legend.rect.Intersects(thing.rect)) << legend.text << " covers " << thing.name;
                }
        }
    }
    EXPECT_EQ(count, 8u);
}

} // namespace
} // namespace quillon
