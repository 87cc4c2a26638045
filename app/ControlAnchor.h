#pragma once

#include "app/DeviceRowLayout.h"

namespace corvane {

// How a control of a resizable dialog follows the dialog's size: with dx, dy the growth of the
// dialog beyond its designed size, a control moves with the right edge (x + dx), with the bottom
// edge (y + dy), stretches in width (w + dx) or in height (h + dy), in any combination.
namespace anchor {
inline constexpr unsigned kFixed = 0;
inline constexpr unsigned kMoveRight = 1;
inline constexpr unsigned kMoveDown = 2;
inline constexpr unsigned kStretchWidth = 4;
inline constexpr unsigned kStretchHeight = 8;
}  // namespace anchor

//   (10, 10, 50, 30), kMoveRight, dx 20 -> (30, 10, 70, 30)
//   (10, 10, 50, 30), kStretchWidth | kStretchHeight, dx 20, dy 5 -> (10, 10, 70, 35)
constexpr PixelRect Anchored(PixelRect designed, unsigned anchors, int dx, int dy) {
    PixelRect r = designed;
    if (anchors & anchor::kMoveRight) {
        r.left += dx;
        r.right += dx;
    }
    if (anchors & anchor::kMoveDown) {
        r.top += dy;
        r.bottom += dy;
    }
    if (anchors & anchor::kStretchWidth) r.right += dx;
    if (anchors & anchor::kStretchHeight) r.bottom += dy;
    return r;
}

}  // namespace corvane
