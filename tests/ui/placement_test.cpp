// The frame's placement: the fit test, the rectangle at creation, the stored
// form, docking, snapping and sticking, and the profile across two starts.
#include <gtest/gtest.h>

#include "support/scoped_registry.h"
#include "ui/dock_placement.h"
#include "ui/placement_store.h"

namespace vzrm::ui {
namespace {

constexpr DOCK_RECT kWork{0, 0, 1280, 1024};
constexpr DOCK_RECT kNoMargins{};
constexpr std::int32_t kCaption = 24;

INITIAL_PLACEMENT MainFrameAt(std::optional<DOCK_RECT> loaded, DOCK_RECT work = kWork) {
    INITIAL_PLACEMENT in;
    in.loaded = loaded;
    in.defaultRect = {100, 100, 0, 0};
    in.work = work;
    in.caption = kCaption;
    return in;
}

TEST(Placement, TheFitTestKeepsTheCaptionReachable) {
    EXPECT_TRUE(FitsWorkArea(DOCK_RECT{100, 100, 500, 300}, kWork, kNoMargins, kCaption));
    EXPECT_FALSE(FitsWorkArea(std::nullopt, kWork, kNoMargins, kCaption));
    EXPECT_FALSE(FitsWorkArea(DOCK_RECT{100, 100, 0, 0}, kWork, kNoMargins, kCaption));
    EXPECT_FALSE(FitsWorkArea(DOCK_RECT{0, 0, 1300, 200}, kWork, kNoMargins, kCaption))
        << "wider than the work area";
    // The left edge must stay 2 captions left of the work area's right.
    EXPECT_TRUE(FitsWorkArea(DOCK_RECT{1232, 10, 1532, 110}, kWork, kNoMargins, kCaption));
    EXPECT_FALSE(FitsWorkArea(DOCK_RECT{1233, 10, 1533, 110}, kWork, kNoMargins, kCaption));
    // The right edge 3.5 captions right of the left (84 pixels).
    EXPECT_TRUE(FitsWorkArea(DOCK_RECT{-216, 10, 84, 110}, kWork, kNoMargins, kCaption));
    EXPECT_FALSE(FitsWorkArea(DOCK_RECT{-217, 10, 83, 110}, kWork, kNoMargins, kCaption));
    // At most two thirds of a caption (16 pixels) above the top.
    EXPECT_TRUE(FitsWorkArea(DOCK_RECT{10, -16, 310, 184}, kWork, kNoMargins, kCaption));
    EXPECT_FALSE(FitsWorkArea(DOCK_RECT{10, -17, 310, 183}, kWork, kNoMargins, kCaption));
    // Margins that are set replace the caption's; a negative one means the whole size.
    const DOCK_RECT margins{-1, 0, 0, 0};
    EXPECT_FALSE(FitsWorkArea(DOCK_RECT{-1, 10, 299, 110}, kWork, margins, kCaption))
        << "the whole width must stay on the work area";
    EXPECT_TRUE(FitsWorkArea(DOCK_RECT{0, 10, 300, 110}, kWork, margins, kCaption));
}

TEST(Placement, TheRectangleAtCreation) {
    // Nothing saved: -100 by -100 fails twice, the default rectangle is used.
    EXPECT_EQ(ComputeInitialRect(MainFrameAt(DOCK_RECT{100, 100, 0, 0})),
              (DOCK_RECT{100, 100, 0, 0}));
    // A saved place that fits is kept.
    EXPECT_EQ(ComputeInitialRect(MainFrameAt(DOCK_RECT{300, 200, 800, 400})),
              (DOCK_RECT{300, 200, 800, 400}));
    // Saved 100 pixels off the right edge of a larger screen, restored on a
    // smaller one: moved to the default corner with its size.
    EXPECT_EQ(ComputeInitialRect(MainFrameAt(DOCK_RECT{1820, 300, 2320, 500})),
              (DOCK_RECT{100, 100, 600, 300}));
    // Larger than the smaller screen: the default rectangle.
    EXPECT_EQ(ComputeInitialRect(MainFrameAt(DOCK_RECT{0, 0, 1600, 300})),
              (DOCK_RECT{100, 100, 0, 0}));
    // Cascading: one caption below and right of the given rectangle, 18 when
    // the caption is taller than that rectangle.
    INITIAL_PLACEMENT cascade = MainFrameAt(std::nullopt);
    cascade.cascadeFrom = DOCK_RECT{50, 60, 350, 260};
    EXPECT_EQ(ComputeInitialRect(cascade), (DOCK_RECT{74, 84, 374, 284}));
    cascade.cascadeFrom = DOCK_RECT{50, 60, 350, 70};
    EXPECT_EQ(ComputeInitialRect(cascade), (DOCK_RECT{68, 78, 368, 88}));
    // Another frame hidden behind the main frame comes out to its lower right.
    INITIAL_PLACEMENT other = MainFrameAt(DOCK_RECT{210, 210, 310, 310});
    other.mainFrame = false;
    other.mainNormal = {200, 200, 600, 400};
    EXPECT_EQ(ComputeInitialRect(other), (DOCK_RECT{524, 324, 624, 424}));
}

TEST(Placement, StoredFormsRestoreOnTheWorkAreaAndAgainstTheirTarget) {
    // Kind 2 with bit 0: the right edge on the work area's right, top on its top.
    const std::int32_t rightTop = DockCode(DOCK_WORK_RIGHT, 1);
    const DOCK_RECT stored = ToStoredRect(rightTop, {700, 0, 1000, 200}, nullptr);
    EXPECT_EQ(stored, (DOCK_RECT{0, 0, 300, 200}));
    EXPECT_EQ(FromStoredRect(rightTop, stored, nullptr, kWork), (DOCK_RECT{980, 0, 1280, 200}));
    // Bit 1: the bottom on the bottom; no bits: the stored top kept.
    EXPECT_EQ(FromStoredRect(DockCode(DOCK_WORK_LEFT, 2), {0, 0, 300, 200}, nullptr, kWork),
              (DOCK_RECT{0, 824, 300, 1024}));
    const DOCK_RECT free = ToStoredRect(DockCode(DOCK_WORK_LEFT, 0), {0, 40, 300, 240}, nullptr);
    EXPECT_EQ(FromStoredRect(DockCode(DOCK_WORK_LEFT, 0), free, nullptr, {-1280, 0, 0, 1024}),
              (DOCK_RECT{-1280, 40, -980, 240}));
    EXPECT_EQ(
        FromStoredRect(DockCode(DOCK_WORK_BOTTOM, 0),
                       ToStoredRect(DockCode(DOCK_WORK_BOTTOM, 0), {50, 900, 150, 1024}, nullptr),
                       nullptr, {0, 0, 800, 600}),
        (DOCK_RECT{50, 476, 150, 600}));
    // Docked to a target: follows it, with the offset on the other axis.
    const DOCK_RECT target{100, 100, 400, 300};
    const DOCK_RECT beside{400, 130, 600, 230};
    const std::int32_t right = DockCode(DOCK_TARGET_RIGHT, 0);
    const DOCK_RECT relative = ToStoredRect(right, beside, &target);
    const DOCK_RECT moved = target.Moved(50, -20);
    EXPECT_EQ(FromStoredRect(right, relative, &moved, kWork), beside.Moved(50, -20));
    // Both bits: the target's extent; without a target the stored form stays.
    const std::int32_t below = DockCode(DOCK_TARGET_BOTTOM, 3);
    EXPECT_EQ(
        FromStoredRect(below, ToStoredRect(below, {100, 300, 400, 380}, &target), &moved, kWork),
        (DOCK_RECT{150, 280, 450, 360}));
    EXPECT_EQ(FromStoredRect(below, {1, 2, 3, 4}, nullptr, kWork), (DOCK_RECT{1, 2, 3, 4}));
}

TEST(Placement, DockingIsReadFromTheEdges) {
    std::array<std::optional<DOCK_RECT>, 9> frames;
    frames[0] = DOCK_RECT{980, 0, 1280, 200};
    EXPECT_EQ(ClassifyDock(0, frames, kWork).code, DockCode(DOCK_WORK_RIGHT, 1));
    frames[0] = DOCK_RECT{0, 824, 300, 1024};
    EXPECT_EQ(ClassifyDock(0, frames, kWork).code, DockCode(DOCK_WORK_LEFT, 2));
    frames[0] = DOCK_RECT{200, 0, 500, 100};
    EXPECT_EQ(ClassifyDock(0, frames, kWork).code, DockCode(DOCK_WORK_TOP, 0));
    frames[0] = DOCK_RECT{200, 100, 500, 300};
    EXPECT_EQ(ClassifyDock(0, frames, kWork).code, 0);
    // Another frame docks to the main frame before the work area; the main
    // frame never docks to another.
    frames[1] = DOCK_RECT{500, 100, 700, 300};
    const DOCK_RELATION beside = ClassifyDock(1, frames, kWork);
    EXPECT_EQ(beside.code, DockCode(DOCK_TARGET_RIGHT, 3));
    EXPECT_EQ(beside.target, 0);
    EXPECT_EQ(ClassifyDock(0, frames, kWork).code, 0);
    frames[1] = DOCK_RECT{250, 300, 400, 350};  // touching below, inside horizontally
    EXPECT_EQ(ClassifyDock(1, frames, kWork).code, DockCode(DOCK_TARGET_BOTTOM, 0));
}

TEST(Placement, EdgesSnapWithinFifteenPixelsAndStickForTen) {
    const DOCK_RECT start{300, 300, 600, 500};
    CDragState drag(start, kWork);
    // 16 pixels from the left edge: free; 12: pulled onto it.
    EXPECT_EQ(drag.Move(-284, 0, false).left, 16);
    EXPECT_EQ(drag.Move(-288, 0, false), (DOCK_RECT{0, 300, 300, 500}));
    // Sizing moves only the edge.
    DOCK_RECT sized{12, 300, 600, 500};
    EXPECT_EQ(SnapToWorkArea(sized, {40, 300, 600, 500}, kWork, true), 1);
    EXPECT_EQ(sized, (DOCK_RECT{0, 300, 600, 500}));
    // An edge moving away is not pulled back.
    DOCK_RECT leaving{12, 300, 312, 500};
    EXPECT_EQ(SnapToWorkArea(leaving, {5, 300, 305, 500}, kWork, false), 0);

    // On the edge, pulls adding up to 10 pixels are held; beyond, it follows.
    CDragState stuck({0, 300, 300, 500}, kWork);
    EXPECT_EQ(stuck.Move(0, 0, false).left, 0);
    EXPECT_EQ(stuck.Move(4, 0, false).left, 0);
    EXPECT_EQ(stuck.Move(10, 0, false).left, 0) << "10 pixels of pull in all";
    EXPECT_GT(stuck.Move(13, 0, false).left, 0) << "released";
    EXPECT_EQ(stuck.Move(14, 0, false).left, stuck.Move(14, 0, false).left);

    // A frame's edge snaps to another frame's opposite edge nearby.
    CDragState near({300, 300, 400, 400}, kWork, {{500, 320, 700, 420}});
    EXPECT_EQ(near.Move(88, 0, false), (DOCK_RECT{400, 300, 500, 400}));
}

TEST(Placement, ShiftLeavesTheFrameAtTheCursorAndTheGroupBehind) {
    const DOCK_RECT start{10, 300, 310, 500};
    const std::int32_t below = DockCode(DOCK_TARGET_BOTTOM, 1);
    const DOCK_RECT follower{10, 500, 210, 600};
    CDragState drag(start, kWork, {}, {{below, ToStoredRect(below, follower, &start), follower}});
    drag.Move(40, 20, false);
    ASSERT_EQ(drag.Followers().size(), 1u);
    EXPECT_EQ(drag.Followers()[0].rect, (DOCK_RECT{50, 520, 250, 620})) << "moves along";
    // With Shift: exactly at the cursor (no snap 5 pixels from the edge).
    EXPECT_EQ(drag.Move(-5, 0, true), (DOCK_RECT{5, 300, 305, 500}));
    EXPECT_TRUE(drag.GroupDissolved());
    EXPECT_TRUE(drag.Followers().empty());
    EXPECT_EQ(drag.Move(-8, 0, false).left, 0) << "snapping comes back without Shift";
    EXPECT_TRUE(drag.Followers().empty()) << "the group stays dissolved for the drag";
}

TEST(Placement, TheProfileKeepsThePlacementAcrossStarts) {
    test::ScopedRegistry registry;
    const std::string app = "Software\\Quorvix\\VelmoraZRMAuditor";
    const DOCK_RECT defaults{100, 100, 0, 0};
    // Nothing saved: the defaults, -100 by -100.
    const STORED_PLACEMENT first = LoadPlacement(app, "ListWnd\\Main", defaults);
    EXPECT_EQ(first.stored, (DOCK_RECT{100, 100, 0, 0}));
    EXPECT_FALSE(first.maximized);

    STORED_PLACEMENT saved;
    saved.dock = DockCode(DOCK_WORK_RIGHT, 1);
    saved.stored = {0, 0, 300, 200};
    saved.maximized = true;
    ASSERT_TRUE(SavePlacement(app, "ListWnd\\Main", saved));
    const STORED_PLACEMENT second = LoadPlacement(app, "ListWnd\\Main", defaults);
    EXPECT_EQ(second.dock, saved.dock);
    EXPECT_EQ(second.stored, saved.stored);
    EXPECT_TRUE(second.maximized);
    // Negative places survive the unsigned values of the profile.
    saved.stored = {-1200, -5, -900, 195};
    ASSERT_TRUE(SavePlacement(app, "ListWnd\\Main", saved));
    EXPECT_EQ(LoadPlacement(app, "ListWnd\\Main", defaults).stored, saved.stored);
    // Without a section nothing is kept.
    EXPECT_EQ(LoadPlacement(app, "", defaults).stored, (DOCK_RECT{100, 100, 0, 0}));
}

}  // namespace
}  // namespace vzrm::ui
