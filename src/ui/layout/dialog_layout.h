#pragma once
// How the controls of a resizable dialog follow its size. Each registered
// control says, per axis, whether it stays, stretches with the right (bottom)
// edge or moves with it; a size change shifts those edges by the change in
// the dialog's size. The dialog never becomes smaller than designed, and a
// control whose rectangle comes out unchanged is not moved at all, so a
// window system is asked for exactly the moves that change something.
//
// Plain data and functions: the window class only reads rectangles from its
// widgets and applies the moves this returns.
#include <climits>
#include <cstddef>
#include <vector>

namespace zul {

// The values are those a dialog table writes (0, 1, 2).
enum class EdgeMode : int {
    Stay = 0,     // neither edge moves
    Stretch = 1,  // the right (bottom) edge follows the dialog's
    Move = 2,     // both edges follow, the width (height) stays
};

// Left, top, right and bottom in the dialog's client coordinates; right and
// bottom lie just outside the control.
struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const LayoutRect&, const LayoutRect&) = default;
};

struct LayoutSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const LayoutSize&, const LayoutSize&) = default;
};

struct LayoutEntry {
    int controlId = 0;
    EdgeMode horizontal = EdgeMode::Stay;
    EdgeMode vertical = EdgeMode::Stay;
    LayoutRect rect;  // where the control is now
    // The control paints its whole rectangle itself, so the dialog's
    // background need not be painted under it first.
    bool excludeFromErase = false;
};

// One control to move: its new rectangle.
struct LayoutMove {
    int controlId = 0;
    LayoutRect rect;
    friend bool operator==(const LayoutMove&, const LayoutMove&) = default;
};

// `rect` with its edges shifted by dx and dy as the modes say.
LayoutRect FollowEdges(const LayoutRect& rect, EdgeMode horizontal, EdgeMode vertical, int dx, int dy);

// Shifts every entry by dx and dy; returns the moves, in registration order,
// of the entries whose rectangle changed, and records the new rectangles.
std::vector<LayoutMove> ResizeEntries(std::vector<LayoutEntry>& entries, int dx, int dy);

// No upper limit on an axis that may grow.
inline constexpr int kUnlimited = INT_MAX;

struct SizeLimits {
    LayoutSize minimum;
    LayoutSize maximum{kUnlimited, kUnlimited};
};

// The entries of one dialog, its designed size and the size it was last laid
// out for.
class DialogLayout {
public:
    // The dialog as designed: the size it has now becomes both the minimum
    // and the size the next change is measured from. Entries added before
    // this keep their rectangles.
    void Initialise(LayoutSize designed);
    bool initialised() const { return initialised_; }

    // Whether the dialog may grow wider / taller than designed. Both may
    // until told otherwise.
    void SetResizable(bool horizontal, bool vertical);

    void AddControl(int controlId, const LayoutRect& rect, EdgeMode horizontal, EdgeMode vertical,
                    bool excludeFromErase);

    // What the window system is told about the dialog's size: nothing before
    // initialisation, afterwards at least the designed size, and exactly
    // the designed width (height) on an axis that may not grow.
    SizeLimits Limits() const;
    // `requested` brought within the limits.
    LayoutSize Constrain(LayoutSize requested) const;

    // The dialog now has `size`: the moves that follow, in registration
    // order. A size outside the limits is laid out as the nearest size
    // within them, so no control ever goes left of or above where it was
    // designed. Nothing moves before initialisation or when the size is the
    // one laid out last.
    std::vector<LayoutMove> Resize(LayoutSize size);

    const std::vector<LayoutEntry>& entries() const { return entries_; }
    const LayoutEntry* Find(int controlId) const;
    LayoutSize designedSize() const { return designed_; }
    LayoutSize previousSize() const { return previous_; }
    bool growsHorizontally() const { return growsHorizontally_; }
    bool growsVertically() const { return growsVertically_; }

private:
    std::vector<LayoutEntry> entries_;
    LayoutSize designed_;
    LayoutSize previous_;
    bool growsHorizontally_ = true;
    bool growsVertically_ = true;
    bool initialised_ = false;
};

// The download dialog's resizable controls, in the order they are
// registered: the list and its frame stretch, the buttons, the warning icon
// and the warning lines keep to the bottom edge.
struct LayoutRegistration {
    int controlId;
    EdgeMode horizontal;
    EdgeMode vertical;
    bool excludeFromErase;
};
inline constexpr int kSizeGripId = 17733;
inline constexpr int kApplicationListId = 104;
inline constexpr int kApplicationFrameId = 1014;
inline constexpr int kDownloadButtonId = 110;
inline constexpr int kCloseButtonId = 2;
inline constexpr int kSetupComPortButtonId = 105;
inline constexpr int kWarningIconId = 731;
inline constexpr int kWarningLabelId = 1012;
inline constexpr int kWarningTextId = 1013;
inline constexpr LayoutRegistration kDownloadDialogLayout[] = {
    {kApplicationListId, EdgeMode::Stretch, EdgeMode::Stretch, true},
    {kApplicationFrameId, EdgeMode::Stretch, EdgeMode::Stretch, false},
    {kDownloadButtonId, EdgeMode::Stay, EdgeMode::Move, false},
    {kCloseButtonId, EdgeMode::Stay, EdgeMode::Move, false},
    {kSetupComPortButtonId, EdgeMode::Stay, EdgeMode::Move, false},
    {kWarningIconId, EdgeMode::Stay, EdgeMode::Move, true},
    {kWarningLabelId, EdgeMode::Stay, EdgeMode::Move, true},
    {kWarningTextId, EdgeMode::Stay, EdgeMode::Move, true},
};

}  // namespace zul
