#include "ui/dock_placement.h"

#include <cstdlib>

namespace vzrm::ui {
namespace {

bool IsZero(const DOCK_RECT& rect) {
    return rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0;
}

// The start and end of a rectangle on one axis.
struct SPAN {
    std::int32_t start;
    std::int32_t end;
};

// Places a span of `size` on the other axis by the alignment bits.
SPAN AlignOnWork(std::int32_t bits, SPAN stored, SPAN work) {
    const std::int32_t size = stored.end - stored.start;
    if ((bits & 1) != 0) {
        return {work.start, work.start + size};
    }
    if ((bits & 2) != 0) {
        return {work.end - size, work.end};
    }
    return stored;
}

SPAN AlignOnTarget(std::int32_t bits, SPAN stored, SPAN target) {
    const std::int32_t size = stored.end - stored.start;
    if ((bits & 3) == 3) {
        return target;
    }
    if ((bits & 1) != 0) {
        return {target.start, target.start + size};
    }
    if ((bits & 2) != 0) {
        return {target.end - size, target.end};
    }
    return {target.start - stored.start, target.start - stored.start + size};
}

// The stored span on the other axis of a frame docked to a target.
SPAN StoreAgainstTarget(std::int32_t bits, SPAN own, SPAN target) {
    const std::int32_t size = own.end - own.start;
    if ((bits & 3) == 3) {
        return {0, 0};
    }
    if ((bits & 3) != 0) {
        return {0, size};
    }
    const std::int32_t offset = target.start - own.start;
    return {offset, size + offset};
}

bool Overlap(std::int32_t start, std::int32_t end, std::int32_t otherStart, std::int32_t otherEnd) {
    return start <= otherEnd && end >= otherStart;  // touching counts
}

std::int32_t Bits(std::int32_t start, std::int32_t end, std::int32_t otherStart,
                  std::int32_t otherEnd) {
    return (start == otherStart ? 1 : 0) | (end == otherEnd ? 2 : 0);
}

std::optional<std::int32_t> RelationTo(const DOCK_RECT& own, const DOCK_RECT& f) {
    if (Overlap(own.top, own.bottom, f.top, f.bottom)) {
        const std::int32_t bits = Bits(own.top, own.bottom, f.top, f.bottom);
        if (own.left == f.right) {
            return DockCode(DOCK_TARGET_RIGHT, bits);
        }
        if (own.right == f.left) {
            return DockCode(DOCK_TARGET_LEFT, bits);
        }
    }
    if (Overlap(own.left, own.right, f.left, f.right)) {
        const std::int32_t bits = Bits(own.left, own.right, f.left, f.right);
        if (own.top == f.bottom) {
            return DockCode(DOCK_TARGET_BOTTOM, bits);
        }
        if (own.bottom == f.top) {
            return DockCode(DOCK_TARGET_TOP, bits);
        }
    }
    return std::nullopt;
}

// Moves one edge (sizing) or the whole rectangle along one axis.
void Shift(std::int32_t& edge, std::int32_t& other, std::int32_t by, bool sizing) {
    edge += by;
    if (!sizing) {
        other += by;
    }
}

// Snaps `edge` to `target` when it approaches it within the snap distance.
bool Attract(std::int32_t& edge, std::int32_t& other, std::int32_t previous, std::int32_t target,
             bool sizing) {
    const std::int32_t distance = std::abs(edge - target);
    if (distance > kSnapDistance || distance >= std::abs(previous - target)) {
        return false;
    }
    Shift(edge, other, target - edge, sizing);
    return true;
}

}  // namespace

bool FitsWorkArea(const std::optional<DOCK_RECT>& rect, const DOCK_RECT& work,
                  const DOCK_RECT& margins, std::int32_t caption) {
    if (!rect || rect->right < rect->left || rect->bottom < rect->top) {
        return false;
    }
    const DOCK_RECT& r = *rect;
    std::int32_t a = 2 * caption;
    std::int32_t b = 3 * caption + caption / 2;
    std::int32_t c = 3 * caption / 4;
    std::int32_t d = r.Height() - 2 * caption / 3;
    if (!IsZero(margins)) {
        a = margins.right;
        b = margins.left;
        c = margins.bottom;
        d = margins.top;
    }
    a = a < 0 ? r.Width() : a;
    b = b < 0 ? r.Width() : b;
    c = c < 0 ? r.Height() : c;
    d = d < 0 ? r.Height() : d;
    return r.Width() <= work.Width() && r.Height() <= work.Height() && r.left + a <= work.right &&
           r.right - b >= work.left && r.top + c <= work.bottom && r.bottom - d >= work.top;
}

DOCK_RECT ComputeInitialRect(const INITIAL_PLACEMENT& in) {
    const std::int32_t c = in.caption;
    std::optional<DOCK_RECT> rect;
    const bool fromProfile = !in.cascadeFrom;
    if (fromProfile) {
        rect = in.loaded;
        const DOCK_RECT& m = in.mainNormal;
        if (rect && !in.mainFrame && rect->left > m.left - c && rect->top > m.top - c &&
            rect->right < m.right + c && rect->bottom < m.bottom + c) {
            // Hidden behind the main frame: out to its lower right.
            rect = rect->MovedTo(m.right + c - rect->Width(), m.bottom + c - rect->Height());
        }
    } else {
        const std::int32_t step = c <= 0 || c > in.cascadeFrom->Height() ? std::int32_t{18} : c;
        rect = in.cascadeFrom->Moved(step, step);
    }
    if (FitsWorkArea(rect, in.work, in.margins, c)) {
        return *rect;
    }
    if (rect) {
        const DOCK_RECT& d = in.defaultRect;
        DOCK_RECT moved = rect->MovedTo(d.left, d.top);
        if (!in.mainFrame && fromProfile) {
            const std::int32_t x = d.left < in.mainNormal.left ? d.right - rect->Width() : d.left;
            const std::int32_t y = d.top < in.mainNormal.top ? d.bottom - rect->Height() : d.top;
            moved = rect->MovedTo(x, y);
        }
        if (FitsWorkArea(moved, in.work, in.margins, c)) {
            return moved;
        }
    }
    return in.defaultRect;
}

DOCK_RECT ToStoredRect(std::int32_t code, const DOCK_RECT& rect, const DOCK_RECT* target) {
    const std::int32_t kind = DockKindOf(code);
    const std::int32_t bits = DockBitsOf(code);
    const std::int32_t w = rect.Width();
    const std::int32_t h = rect.Height();
    if (kind == DOCK_WORK_LEFT || kind == DOCK_WORK_RIGHT) {
        const std::int32_t top = bits == 0 ? rect.top : 0;
        return {0, top, w, top + h};
    }
    if (kind == DOCK_WORK_TOP || kind == DOCK_WORK_BOTTOM) {
        const std::int32_t left = bits == 0 ? rect.left : 0;
        return {left, 0, left + w, h};
    }
    if (target != nullptr && (kind == DOCK_TARGET_RIGHT || kind == DOCK_TARGET_LEFT)) {
        const SPAN v =
            StoreAgainstTarget(bits, {rect.top, rect.bottom}, {target->top, target->bottom});
        return {0, v.start, w, v.end};
    }
    if (target != nullptr && (kind == DOCK_TARGET_BOTTOM || kind == DOCK_TARGET_TOP)) {
        const SPAN u =
            StoreAgainstTarget(bits, {rect.left, rect.right}, {target->left, target->right});
        return {u.start, 0, u.end, h};
    }
    return rect;
}

DOCK_RECT FromStoredRect(std::int32_t code, const DOCK_RECT& stored, const DOCK_RECT* target,
                         const DOCK_RECT& work) {
    const std::int32_t kind = DockKindOf(code);
    const std::int32_t bits = DockBitsOf(code);
    const std::int32_t w = stored.Width();
    const std::int32_t h = stored.Height();
    const SPAN sx{stored.left, stored.right};
    const SPAN sy{stored.top, stored.bottom};
    switch (kind) {
        case DOCK_WORK_LEFT:
        case DOCK_WORK_RIGHT: {
            const std::int32_t left = kind == DOCK_WORK_LEFT ? work.left : work.right - w;
            const SPAN v = AlignOnWork(bits, sy, {work.top, work.bottom});
            return {left, v.start, left + w, v.end};
        }
        case DOCK_WORK_TOP:
        case DOCK_WORK_BOTTOM: {
            const std::int32_t top = kind == DOCK_WORK_TOP ? work.top : work.bottom - h;
            const SPAN u = AlignOnWork(bits, sx, {work.left, work.right});
            return {u.start, top, u.end, top + h};
        }
        case DOCK_TARGET_RIGHT:
        case DOCK_TARGET_LEFT: {
            if (target == nullptr) {
                return stored;
            }
            const std::int32_t left = kind == DOCK_TARGET_RIGHT ? target->right : target->left - w;
            const SPAN v = AlignOnTarget(bits, sy, {target->top, target->bottom});
            return {left, v.start, left + w, v.end};
        }
        case DOCK_TARGET_BOTTOM:
        case DOCK_TARGET_TOP: {
            if (target == nullptr) {
                return stored;
            }
            const std::int32_t top = kind == DOCK_TARGET_BOTTOM ? target->bottom : target->top - h;
            const SPAN u = AlignOnTarget(bits, sx, {target->left, target->right});
            return {u.start, top, u.end, top + h};
        }
        default:
            return stored;
    }
}

DOCK_RELATION ClassifyDock(std::int32_t own, const std::array<std::optional<DOCK_RECT>, 9>& frames,
                           const DOCK_RECT& work) {
    if (own < 0 || own >= kGroupSlots || !frames[own]) {
        return {};
    }
    const DOCK_RECT& r = *frames[own];
    if (own != 0) {
        // The main frame first, then every slot in order.
        for (std::int32_t slot = 0; slot < kGroupSlots; ++slot) {
            if (slot == own || !frames[slot]) {
                continue;
            }
            if (const auto code = RelationTo(r, *frames[slot])) {
                return {*code, slot};
            }
        }
    }
    const std::int32_t edgeBits = r.top == work.top ? 1 : r.bottom == work.bottom ? 2 : 0;
    if (r.left == work.left) {
        return {DockCode(DOCK_WORK_LEFT, edgeBits), -1};
    }
    if (r.right == work.right) {
        return {DockCode(DOCK_WORK_RIGHT, edgeBits), -1};
    }
    if (r.top == work.top) {
        return {DockCode(DOCK_WORK_TOP, 0), -1};
    }
    if (r.bottom == work.bottom) {
        return {DockCode(DOCK_WORK_BOTTOM, 0), -1};
    }
    return {};
}

int SnapToWorkArea(DOCK_RECT& r, const DOCK_RECT& p, const DOCK_RECT& work, bool sizing) {
    int snaps = 0;
    if (Attract(r.left, r.right, p.left, work.left, sizing) ||
        Attract(r.right, r.left, p.right, work.right, sizing)) {
        ++snaps;
    }
    if (Attract(r.top, r.bottom, p.top, work.top, sizing) ||
        Attract(r.bottom, r.top, p.bottom, work.bottom, sizing)) {
        ++snaps;
    }
    return snaps;
}

int SnapToFrame(DOCK_RECT& r, const DOCK_RECT& p, const DOCK_RECT& f, bool sizing) {
    int snaps = 0;
    if (r.top < f.bottom + kSnapDistance && r.bottom > f.top - kSnapDistance &&
        (Attract(r.left, r.right, p.left, f.right, sizing) ||
         Attract(r.right, r.left, p.right, f.left, sizing))) {
        ++snaps;
    }
    if (r.left < f.right + kSnapDistance && r.right > f.left - kSnapDistance &&
        (Attract(r.top, r.bottom, p.top, f.bottom, sizing) ||
         Attract(r.bottom, r.top, p.bottom, f.top, sizing))) {
        ++snaps;
    }
    return snaps;
}

std::int32_t CEdgeStick::Apply(std::int32_t previous, std::int32_t proposed, std::int32_t target) {
    if (proposed == target) {
        pull_ = 0;
        return proposed;
    }
    const std::int32_t movement = proposed - previous;
    const bool away = std::abs(proposed - target) > std::abs(previous - target);
    if (!away || std::abs(movement) > kStickDistance || std::abs(pull_) >= kStickDistance) {
        return proposed;
    }
    pull_ += movement;
    if (std::abs(pull_) <= kStickDistance) {
        return target;
    }
    pull_ = kUntouched;  // free until it touches the target again
    return proposed;
}

CDragState::CDragState(const DOCK_RECT& start, const DOCK_RECT& work, std::vector<DOCK_RECT> others,
                       std::vector<FOLLOWER> followers)
    : start_(start),
      last_(start),
      work_(work),
      others_(std::move(others)),
      followers_(std::move(followers)) {}

DOCK_RECT CDragState::Stick(const DOCK_RECT& r) {
    DOCK_RECT out = r;
    std::int32_t dx = stick_[0].Apply(last_.left, r.left, work_.left) - r.left;
    if (dx == 0) {
        dx = stick_[1].Apply(last_.right, r.right, work_.right) - r.right;
    }
    std::int32_t dy = stick_[2].Apply(last_.top, r.top, work_.top) - r.top;
    if (dy == 0) {
        dy = stick_[3].Apply(last_.bottom, r.bottom, work_.bottom) - r.bottom;
    }
    return out.Moved(dx, dy);
}

DOCK_RECT CDragState::Move(std::int32_t dx, std::int32_t dy, bool shift, std::int32_t* cursorFix) {
    DOCK_RECT r = start_.Moved(dx + fixX_, dy + fixY_);
    const DOCK_RECT proposed = r;
    if (shift) {
        dissolved_ = true;
        followers_.clear();
    } else {
        if (SnapToWorkArea(r, last_, work_, false) == 0) {
            for (const DOCK_RECT& other : others_) {
                SnapToFrame(r, last_, other, false);
            }
        }
        r = Stick(r);
        for (FOLLOWER& follower : followers_) {
            follower.rect = FromStoredRect(follower.code, follower.stored, &r, work_);
        }
    }
    fixX_ += r.left - proposed.left;
    fixY_ += r.top - proposed.top;
    if (cursorFix != nullptr) {
        cursorFix[0] = r.left - proposed.left;
        cursorFix[1] = r.top - proposed.top;
    }
    last_ = r;
    return r;
}

}  // namespace vzrm::ui
