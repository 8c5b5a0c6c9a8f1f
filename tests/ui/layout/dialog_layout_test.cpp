#include "ui/layout/dialog_layout.h"

#include <gtest/gtest.h>

#include <map>

namespace zul {
namespace {

constexpr LayoutSize kDesigned{420, 300};

// The download dialog as designed, registered from its table, with the grip
// in the bottom-right corner as the dialog's initialisation puts it.
DialogLayout DownloadDialog() {
    const std::map<int, LayoutRect> designed = {
        {kApplicationListId, {18, 30, 300, 220}},
        {kApplicationFrameId, {10, 10, 310, 230}},
        {kDownloadButtonId, {320, 30, 400, 54}},
        {kCloseButtonId, {320, 60, 400, 84}},
        {kSetupComPortButtonId, {320, 196, 410, 220}},
        {kWarningIconId, {12, 244, 44, 276}},
        {kWarningLabelId, {52, 246, 120, 260}},
        {kWarningTextId, {52, 262, 330, 276}},
    };
    DialogLayout layout;
    layout.Initialise(kDesigned);
    layout.AddControl(kSizeGripId, {404, 284, 420, 300}, EdgeMode::Move, EdgeMode::Move, true);
    layout.SetResizable(true, true);
    for (const LayoutRegistration& r : kDownloadDialogLayout)
        layout.AddControl(r.controlId, designed.at(r.controlId), r.horizontal, r.vertical, r.excludeFromErase);
    return layout;
}

LayoutRect Offset(LayoutRect r, int dLeft, int dTop, int dRight, int dBottom) {
    return {r.left + dLeft, r.top + dTop, r.right + dRight, r.bottom + dBottom};
}

TEST(DialogLayout, EdgesFollowTheModes) {
    const LayoutRect r{10, 20, 110, 70};
    const struct {
        EdgeMode h, v;
        LayoutRect expected;
    } rows[] = {
        {EdgeMode::Stay, EdgeMode::Stay, r},
        {EdgeMode::Stretch, EdgeMode::Stay, {10, 20, 117, 70}},
        {EdgeMode::Move, EdgeMode::Stay, {17, 20, 117, 70}},
        {EdgeMode::Stay, EdgeMode::Stretch, {10, 20, 110, 75}},
        {EdgeMode::Stay, EdgeMode::Move, {10, 25, 110, 75}},
        {EdgeMode::Stretch, EdgeMode::Move, {10, 25, 117, 75}},
        {EdgeMode::Move, EdgeMode::Stretch, {17, 20, 117, 75}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FollowEdges(r, row.h, row.v, 7, 5), row.expected)
            << static_cast<int>(row.h) << "/" << static_cast<int>(row.v);
        // Shrinking is the same rule with negative deltas: back where it was.
        EXPECT_EQ(FollowEdges(row.expected, row.h, row.v, -7, -5), r);
    }
}

TEST(DialogLayout, DragFortyWiderThirtyTaller) {
    DialogLayout layout = DownloadDialog();
    std::map<int, LayoutRect> before;
    for (const LayoutEntry& e : layout.entries()) before[e.controlId] = e.rect;

    const std::vector<LayoutMove> moves = layout.Resize({kDesigned.width + 40, kDesigned.height + 30});

    const struct {
        int id;
        int dLeft, dTop, dRight, dBottom;
    } expected[] = {
        // In registration order: the grip first.
        {kSizeGripId, 40, 30, 40, 30},
        {kApplicationListId, 0, 0, 40, 30},
        {kApplicationFrameId, 0, 0, 40, 30},
        {kDownloadButtonId, 0, 30, 0, 30},
        {kCloseButtonId, 0, 30, 0, 30},
        {kSetupComPortButtonId, 0, 30, 0, 30},
        {kWarningIconId, 0, 30, 0, 30},
        {kWarningLabelId, 0, 30, 0, 30},
        {kWarningTextId, 0, 30, 0, 30},
    };
    ASSERT_EQ(moves.size(), std::size(expected));
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const auto& x = expected[i];
        const LayoutRect want = Offset(before.at(x.id), x.dLeft, x.dTop, x.dRight, x.dBottom);
        EXPECT_EQ(moves[i], (LayoutMove{x.id, want})) << x.id;
        EXPECT_EQ(layout.Find(x.id)->rect, want) << x.id;
    }
    EXPECT_EQ(layout.previousSize(), (LayoutSize{460, 330}));
    // The grip's bottom-right corner is still the dialog's.
    EXPECT_EQ(layout.Find(kSizeGripId)->rect.right, 460);
    EXPECT_EQ(layout.Find(kSizeGripId)->rect.bottom, 330);
}

TEST(DialogLayout, OnlyTheAxisThatChangedMoves) {
    // Wider only: the controls that follow the bottom edge stay where they are.
    DialogLayout layout = DownloadDialog();
    const std::vector<LayoutMove> moves = layout.Resize({kDesigned.width + 25, kDesigned.height});
    std::vector<int> moved;
    for (const LayoutMove& m : moves) moved.push_back(m.controlId);
    EXPECT_EQ(moved, (std::vector<int>{kSizeGripId, kApplicationListId, kApplicationFrameId}));
}

TEST(DialogLayout, SameSizeTwiceMovesNothing) {
    DialogLayout layout = DownloadDialog();
    EXPECT_TRUE(layout.Resize(kDesigned).empty());
    EXPECT_EQ(layout.Resize({460, 330}).size(), 9u);
    EXPECT_TRUE(layout.Resize({460, 330}).empty());
    // Back to the designed size: everything returns to where it was designed.
    const DialogLayout fresh = DownloadDialog();
    EXPECT_EQ(layout.Resize(kDesigned).size(), 9u);
    for (const LayoutEntry& e : fresh.entries()) EXPECT_EQ(layout.Find(e.controlId)->rect, e.rect) << e.controlId;
}

TEST(DialogLayout, NeverSmallerThanDesigned) {
    DialogLayout layout = DownloadDialog();
    const SizeLimits limits = layout.Limits();
    EXPECT_EQ(limits.minimum, kDesigned);
    EXPECT_EQ(limits.maximum, (LayoutSize{kUnlimited, kUnlimited}));

    const struct {
        LayoutSize requested, allowed;
    } rows[] = {
        {{380, 270}, kDesigned},
        {{419, 300}, kDesigned},
        {{0, 0}, kDesigned},
        {{-5, -5}, kDesigned},
        {{380, 400}, {420, 400}},
        {{500, 100}, {500, 300}},
        {{421, 301}, {421, 301}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(layout.Constrain(row.requested), row.allowed) << row.requested.width << "x" << row.requested.height;

    // A smaller size reported anyway changes nothing from the designed layout.
    EXPECT_TRUE(layout.Resize({380, 270}).empty());
    EXPECT_EQ(layout.previousSize(), kDesigned);

    // From a larger size, going below the minimum lays out the designed size.
    layout.Resize({460, 330});
    layout.Resize({300, 200});
    const DialogLayout fresh = DownloadDialog();
    for (const LayoutEntry& e : fresh.entries()) EXPECT_EQ(layout.Find(e.controlId)->rect, e.rect) << e.controlId;
}

TEST(DialogLayout, GrowthCanBeTurnedOffPerAxis) {
    const struct {
        bool h, v;
        LayoutSize maximum;
        LayoutSize laidOut;  // for a request of 460 x 330
    } rows[] = {
        {true, true, {kUnlimited, kUnlimited}, {460, 330}},
        {false, true, {420, kUnlimited}, {420, 330}},
        {true, false, {kUnlimited, 300}, {460, 300}},
        {false, false, {420, 300}, {420, 300}},
    };
    for (const auto& row : rows) {
        DialogLayout layout = DownloadDialog();
        layout.SetResizable(row.h, row.v);
        EXPECT_EQ(layout.Limits().maximum, row.maximum) << row.h << row.v;
        EXPECT_EQ(layout.Limits().minimum, kDesigned);
        layout.Resize({460, 330});
        EXPECT_EQ(layout.previousSize(), row.laidOut) << row.h << row.v;
        const LayoutEntry* list = layout.Find(kApplicationListId);
        EXPECT_EQ(list->rect.width(), 282 + row.laidOut.width - 420);
        EXPECT_EQ(list->rect.height(), 190 + row.laidOut.height - 300);
    }
}

TEST(DialogLayout, NothingBeforeInitialisation) {
    DialogLayout layout;
    layout.AddControl(1, {0, 0, 10, 10}, EdgeMode::Stretch, EdgeMode::Stretch, false);
    EXPECT_EQ(layout.Limits().minimum, (LayoutSize{0, 0}));
    EXPECT_EQ(layout.Limits().maximum, (LayoutSize{kUnlimited, kUnlimited}));
    EXPECT_TRUE(layout.Resize({500, 500}).empty());
    EXPECT_EQ(layout.Find(1)->rect, (LayoutRect{0, 0, 10, 10}));
    EXPECT_EQ(layout.Find(2), nullptr);
}

}  // namespace
}  // namespace zul
