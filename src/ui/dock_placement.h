// Where a frame window goes: its stored form in the profile, the test that it
// is still visible on the work area, the rectangle it takes at creation, its
// docking to the work area's edges and to other frames, and the snapping and
// sticking of its edges while it is dragged. Integer rectangles only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace vzrm::ui {

// Screen pixels; right and bottom exclusive.
struct DOCK_RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
    DOCK_RECT Moved(std::int32_t dx, std::int32_t dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
    DOCK_RECT MovedTo(std::int32_t x, std::int32_t y) const {
        return {x, y, x + Width(), y + Height()};
    }
    bool operator==(const DOCK_RECT&) const = default;
};

inline constexpr int kSnapDistance = 15;
inline constexpr int kStickDistance = 10;
inline constexpr int kGroupSlots = 9;

// Dock code: the kind in the high 16 bits, the alignment on the other axis in
// the low ones (bit 0 start edges equal, bit 1 end edges equal).
enum DockKind : std::int32_t {
    DOCK_FREE = 0,
    DOCK_WORK_LEFT = 1,
    DOCK_WORK_RIGHT = 2,
    DOCK_WORK_TOP = 3,
    DOCK_WORK_BOTTOM = 4,
    DOCK_TARGET_RIGHT = 5,  // own left on the target's right
    DOCK_TARGET_LEFT = 6,
    DOCK_TARGET_BOTTOM = 7,
    DOCK_TARGET_TOP = 8,
};
inline constexpr std::int32_t DockCode(std::int32_t kind, std::int32_t bits) {
    return (kind << 16) | bits;
}
inline constexpr std::int32_t DockKindOf(std::int32_t code) {
    return code >> 16;
}
inline constexpr std::int32_t DockBitsOf(std::int32_t code) {
    return code & 0xFFFF;
}

// All four zero: the margins follow from the caption height.
bool FitsWorkArea(const std::optional<DOCK_RECT>& rect, const DOCK_RECT& work,
                  const DOCK_RECT& margins, std::int32_t caption);

struct INITIAL_PLACEMENT {
    std::optional<DOCK_RECT> cascadeFrom;  // when set, the profile is not read
    std::optional<DOCK_RECT> loaded;       // from the profile
    bool mainFrame = true;
    DOCK_RECT mainNormal;  // the main frame's normal rectangle, for other frames
    DOCK_RECT defaultRect;
    DOCK_RECT margins;
    DOCK_RECT work;
    std::int32_t caption = 0;
};
DOCK_RECT ComputeInitialRect(const INITIAL_PLACEMENT& in);

DOCK_RECT ToStoredRect(std::int32_t code, const DOCK_RECT& rect, const DOCK_RECT* target);
DOCK_RECT FromStoredRect(std::int32_t code, const DOCK_RECT& stored, const DOCK_RECT* target,
                         const DOCK_RECT& work);

struct DOCK_RELATION {
    std::int32_t code = 0;
    std::int32_t target = -1;  // slot, or -1 for the work area or none
};
// `frames` holds the slots' visible rectangles (none for an empty slot);
// `own` is the frame's slot. The main frame (slot 0) docks only to the work area.
DOCK_RELATION ClassifyDock(std::int32_t own, const std::array<std::optional<DOCK_RECT>, 9>& frames,
                           const DOCK_RECT& work);

// Pulls an approaching edge onto a target edge within the snap distance.
// `sizing` moves only the edge; otherwise the rectangle keeps its size.
// Returns the number of snaps (each moves the cursor by the same amount).
int SnapToWorkArea(DOCK_RECT& rect, const DOCK_RECT& previous, const DOCK_RECT& work, bool sizing);
int SnapToFrame(DOCK_RECT& rect, const DOCK_RECT& previous, const DOCK_RECT& frame, bool sizing);

// One edge held on a target edge against a pull of up to the stick distance.
class CEdgeStick {
  public:
    // The edge's place after the move from `previous` to `proposed`.
    std::int32_t Apply(std::int32_t previous, std::int32_t proposed, std::int32_t target);
    void Reset() { pull_ = kUntouched; }

  private:
    static constexpr std::int32_t kUntouched = 0xFFFF;
    std::int32_t pull_ = kUntouched;
};

// The drag of one frame: the cursor's travel moves the start rectangle, the
// edges snap to the work area (else to the other frames) and stick to it;
// the frames docked to the dragged one follow unless Shift dissolved the group.
class CDragState {
  public:
    struct FOLLOWER {
        std::int32_t code = 0;
        DOCK_RECT stored;  // relative to the dragged frame
        DOCK_RECT rect;
    };

    CDragState(const DOCK_RECT& start, const DOCK_RECT& work, std::vector<DOCK_RECT> others = {},
               std::vector<FOLLOWER> followers = {});
    // The rectangle for the cursor's travel since the start. Snaps and sticks
    // move the cursor with the frame; `cursorFix` (two values, x and y)
    // receives this move's share, and later travel counts from there.
    DOCK_RECT Move(std::int32_t dx, std::int32_t dy, bool shift, std::int32_t* cursorFix = nullptr);
    const std::vector<FOLLOWER>& Followers() const { return followers_; }
    bool GroupDissolved() const { return dissolved_; }

  private:
    DOCK_RECT Stick(const DOCK_RECT& proposed);

    DOCK_RECT start_;
    DOCK_RECT last_;
    DOCK_RECT work_;
    std::vector<DOCK_RECT> others_;
    std::vector<FOLLOWER> followers_;
    std::array<CEdgeStick, 4> stick_;
    // What snaps and sticks moved the cursor by, so far.
    std::int32_t fixX_ = 0;
    std::int32_t fixY_ = 0;
    bool dissolved_ = false;
};

}  // namespace vzrm::ui
