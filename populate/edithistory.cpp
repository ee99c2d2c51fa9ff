#include "populate/edithistory.h"

#include <algorithm>

namespace orovista {

namespace {

/// Copies the rectangle @a r of the mesh's vertices into @a out (three floats a vertex, by rows).
std::vector<float> copyRegion(const TerrainArrays &mesh, const SculptRegion &r)
{
    std::vector<float> out;
    if (r.empty())
        return out;
    const std::size_t width = std::size_t(r.columnEnd - r.columnBegin);
    out.reserve(3 * width * std::size_t(r.rowEnd - r.rowBegin));
    for (int row = r.rowBegin; row < r.rowEnd; ++row) {
        const float *from = mesh.vertices.data() + 3 * (std::size_t(row) * std::size_t(mesh.gridSize) + std::size_t(r.columnBegin));
        out.insert(out.end(), from, from + 3 * width);
    }
    return out;
}

void writeRegion(TerrainArrays &mesh, const SculptRegion &r, const std::vector<float> &values)
{
    const std::size_t width = std::size_t(r.columnEnd - r.columnBegin);
    const float *from = values.data();
    for (int row = r.rowBegin; row < r.rowEnd; ++row, from += 3 * width)
        std::copy_n(from, 3 * width,
                    mesh.vertices.data() + 3 * (std::size_t(row) * std::size_t(mesh.gridSize) + std::size_t(r.columnBegin)));
}

bool fits(const TerrainArrays &mesh, const SculptRegion &r)
{
    const std::size_t n = std::size_t(std::max(mesh.gridSize, 0));
    return !r.empty() && r.rowBegin >= 0 && r.columnBegin >= 0 && std::size_t(r.rowEnd) <= n
           && std::size_t(r.columnEnd) <= n && mesh.vertices.size() >= 3 * n * n;
}

}   // namespace

std::size_t EditHistory::Step::bytes() const
{
    return sizeof(Step) + (before.size() + after.size()) * sizeof(PaintedItem)
           + (oldVertices.size() + newVertices.size()) * sizeof(float) + label.size();
}

void EditHistory::beginItems(const std::vector<PaintedItem> &items)
{
    m_itemsBefore = items;
    m_itemsBegun = true;
}

bool EditHistory::endItems(const std::vector<PaintedItem> &items, const std::string &label)
{
    if (!m_itemsBegun)
        return false;
    m_itemsBegun = false;
    std::vector<PaintedItem> before = std::move(m_itemsBefore);
    m_itemsBefore.clear();
    // The common head and tail stay out of the step.
    std::size_t head = 0;
    while (head < before.size() && head < items.size() && before[head] == items[head])
        ++head;
    std::size_t tail = 0;
    while (tail < before.size() - head && tail < items.size() - head
           && before[before.size() - 1 - tail] == items[items.size() - 1 - tail])
        ++tail;
    if (head == before.size() && head == items.size())
        return false;
    Step step;
    step.label = label;
    step.at = head;
    step.before.assign(before.begin() + std::ptrdiff_t(head), before.end() - std::ptrdiff_t(tail));
    step.after.assign(items.begin() + std::ptrdiff_t(head), items.end() - std::ptrdiff_t(tail));
    push(std::move(step));
    return true;
}

void EditHistory::beginStroke()
{
    m_strokeBegun = true;
    m_strokeRegion = SculptRegion();
    m_strokeOld.clear();
}

void EditHistory::sculptStepAt(const TerrainArrays &mesh, const SculptRegion &region)
{
    if (!m_strokeBegun || !fits(mesh, region))
        return;
    const SculptRegion &old = m_strokeRegion;
    if (!old.empty() && region.rowBegin >= old.rowBegin && region.rowEnd <= old.rowEnd
        && region.columnBegin >= old.columnBegin && region.columnEnd <= old.columnEnd)
        return;
    SculptRegion grown = region;
    if (!old.empty()) {
        grown.rowBegin = std::min(old.rowBegin, region.rowBegin);
        grown.rowEnd = std::max(old.rowEnd, region.rowEnd);
        grown.columnBegin = std::min(old.columnBegin, region.columnBegin);
        grown.columnEnd = std::max(old.columnEnd, region.columnEnd);
    }
    // Outside the old rectangle nothing has moved yet: the mesh holds the stroke's start there.
    std::vector<float> saved = copyRegion(mesh, grown);
    if (!old.empty()) {
        const std::size_t grownWidth = std::size_t(grown.columnEnd - grown.columnBegin);
        const std::size_t oldWidth = std::size_t(old.columnEnd - old.columnBegin);
        for (int row = old.rowBegin; row < old.rowEnd; ++row)
            std::copy_n(m_strokeOld.data() + 3 * std::size_t(row - old.rowBegin) * oldWidth, 3 * oldWidth,
                        saved.data() + 3 * (std::size_t(row - grown.rowBegin) * grownWidth
                                            + std::size_t(old.columnBegin - grown.columnBegin)));
    }
    m_strokeRegion = grown;
    m_strokeOld = std::move(saved);
}

bool EditHistory::endStroke(const TerrainArrays &mesh)
{
    if (!m_strokeBegun)
        return false;
    m_strokeBegun = false;
    if (!fits(mesh, m_strokeRegion))
        return false;
    Step step;
    step.label = "sculpt stroke";
    step.terrain = true;
    step.region = m_strokeRegion;
    step.newVertices = copyRegion(mesh, m_strokeRegion);
    step.oldVertices = std::move(m_strokeOld);
    m_strokeOld.clear();
    m_strokeRegion = SculptRegion();
    if (step.newVertices == step.oldVertices)
        return false;
    push(std::move(step));
    return true;
}

void EditHistory::push(Step step)
{
    while (m_steps.size() > m_done) {
        m_bytes -= m_steps.back().bytes();
        m_steps.pop_back();
    }
    m_bytes += step.bytes();
    m_steps.push_back(std::move(step));
    m_done = m_steps.size();
    while (m_steps.size() > 1 && (m_steps.size() > maxSteps || m_bytes > maxBytes)) {
        m_bytes -= m_steps.front().bytes();
        m_steps.pop_front();
        --m_done;
    }
}

void EditHistory::apply(const Step &step, bool forward, std::vector<PaintedItem> &items, TerrainArrays &mesh)
{
    if (step.terrain) {
        if (fits(mesh, step.region))
            writeRegion(mesh, step.region, forward ? step.newVertices : step.oldVertices);
        return;
    }
    const std::vector<PaintedItem> &from = forward ? step.before : step.after;
    const std::vector<PaintedItem> &to = forward ? step.after : step.before;
    const std::size_t at = std::min(step.at, items.size());
    const std::size_t end = std::min(items.size(), at + from.size());
    items.erase(items.begin() + std::ptrdiff_t(at), items.begin() + std::ptrdiff_t(end));
    items.insert(items.begin() + std::ptrdiff_t(at), to.begin(), to.end());
}

EditHistory::Change EditHistory::undo(std::vector<PaintedItem> &items, TerrainArrays &mesh, std::string *label)
{
    if (!canUndo())
        return Change::Nothing;
    const Step &step = m_steps[--m_done];
    apply(step, false, items, mesh);
    if (label)
        *label = step.label;
    return step.terrain ? Change::Terrain : Change::Items;
}

EditHistory::Change EditHistory::redo(std::vector<PaintedItem> &items, TerrainArrays &mesh, std::string *label)
{
    if (!canRedo())
        return Change::Nothing;
    const Step &step = m_steps[m_done++];
    apply(step, true, items, mesh);
    if (label)
        *label = step.label;
    return step.terrain ? Change::Terrain : Change::Items;
}

void EditHistory::clear()
{
    m_steps.clear();
    m_done = 0;
    m_bytes = 0;
    m_itemsBegun = false;
    m_itemsBefore.clear();
    m_strokeBegun = false;
    m_strokeRegion = SculptRegion();
    m_strokeOld.clear();
}

}   // namespace orovista
