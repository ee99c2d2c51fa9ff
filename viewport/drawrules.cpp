#include "viewport/drawrules.h"

namespace orovista {

std::vector<int> itemDrawOrder(int count, int selected)
{
    std::vector<int> order;
    order.reserve(count > 0 ? std::size_t(count) : 0);
    const int last = selected >= 1 && selected <= count ? selected - 1 : -1;
    for (int i = 0; i < count; ++i)
        if (i != last)
            order.push_back(i);
    if (last >= 0)
        order.push_back(last);
    return order;
}

std::optional<bool> itemDepthWrite(const DepthWriteCase &c)
{
    constexpr int paint = 1, edit = 2;
    // On an imported mesh, while the button is down, only with item stack do the other items
    // catch the pointer.
    if (c.customTerrain && c.leftButtonDown && (c.glMode == paint || c.glMode == edit))
        return c.selected ? false : c.itemStack;
    if (c.glMode == paint && c.leftButtonDown && c.selected)
        return false;
    if (c.glMode == edit)
        return !(c.leftButtonDown && c.selected);
    return std::nullopt;
}

}   // namespace orovista
