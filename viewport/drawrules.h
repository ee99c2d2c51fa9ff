#pragma once
// The rules by which the preview draws painted items: their order, and whether an item's model
// writes depth while the user paints or drags. Plain functions, so that they can be checked
// without a GL context; the viewport applies them.
#include <optional>
#include <vector>

namespace orovista {

/// The order in which items 0 … count − 1 are drawn: ascending, except that the selected item
/// (1-based; −1 or 0 for none) is taken out and drawn last, so that it shows over the others.
std::vector<int> itemDrawOrder(int count, int selected);

/// What an item's model does with the depth mask.
struct DepthWriteCase {
    int glMode = 3;            ///< 1 paint, 2 edit, 3 terrain, 4 sky
    bool leftButtonDown = false;
    bool selected = false;     ///< this item is the selected one
    bool customTerrain = false;
    bool itemStack = false;
};

/// Depth writes on or off for the item, or nothing when the mask stays as it is. An item that
/// writes no depth cannot catch the pointer: while it is dragged or painted over, picking sees
/// what lies beneath it.
std::optional<bool> itemDepthWrite(const DepthWriteCase &c);

}   // namespace orovista
