#pragma once
// EditHistory: undo and redo for what the user does by hand in the viewport: sculpt strokes,
// painted items, item edits and deletes.
//
// A step is one press of the mouse or of a tool: a sculpt stroke from press to release, the items
// a click or a drag trail placed, one edit, one delete. Steps keep only what changed:
//
// - an items step is a splice: at index `at`, the records `before` were replaced by `after`. It is
//   found by comparing the item list before and after the press (common head and tail left out),
//   so a click that adds one item keeps one record, and an edit keeps two.
// - a sculpt step keeps the rectangle of vertices the stroke moved, their positions before and
//   after. While the stroke runs, `sculptStepAt` is told each step's region before the step moves
//   it; the rectangle grows to take it in, and vertices new to the rectangle are saved as they
//   are then (nothing outside the rectangle was moved by this stroke yet).
//
// Memory is bounded: the oldest steps are dropped beyond `maxSteps` or `maxBytes` (the newest
// step is always kept). A new step drops everything that could have been redone. The history
// does not outlive the terrain: a new terrain or a new set of prop models clears it.
#include "populate/painteditem.h"
#include "terrain/sculpt.h"
#include "terrain/terrainarrays.h"

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace orovista {

class EditHistory {
public:
    /// What an undo or redo changed, for the caller to redraw.
    enum class Change { Nothing, Items, Terrain };

    std::size_t maxSteps = 200;
    std::size_t maxBytes = std::size_t(256) << 20;

    /// Starts an items step: keeps a copy of the list as it stands.
    void beginItems(const std::vector<PaintedItem> &items);
    /// Ends it: keeps the difference to the list begun with, named @a label, when there is one.
    /// Returns whether a step was kept. Without a begun step does nothing.
    bool endItems(const std::vector<PaintedItem> &items, const std::string &label);

    /// Starts a sculpt stroke.
    void beginStroke();
    /// Tells the stroke that the next sculpt step may move @a region of @a mesh.
    void sculptStepAt(const TerrainArrays &mesh, const SculptRegion &region);
    /// Ends the stroke, keeping the moved vertices as one step. Returns whether one was kept.
    bool endStroke(const TerrainArrays &mesh);

    /// Takes the newest step back (or does the newest undone step again). The label of the step
    /// is written to @a label. Terrain changes leave the normals for the caller to recompute.
    Change undo(std::vector<PaintedItem> &items, TerrainArrays &mesh, std::string *label = nullptr);
    Change redo(std::vector<PaintedItem> &items, TerrainArrays &mesh, std::string *label = nullptr);

    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_steps.size(); }
    /// Forgets every step, and any step begun.
    void clear();
    /// The memory the kept steps use, bytes.
    std::size_t bytes() const { return m_bytes; }
    std::size_t steps() const { return m_steps.size(); }

private:
    struct Step {
        std::string label;
        bool terrain = false;
        // Items: the records [at, at + before.size()) became `after`.
        std::size_t at = 0;
        std::vector<PaintedItem> before, after;
        // Terrain: the vertices of the rectangle, three floats each, row by row.
        SculptRegion region;
        std::vector<float> oldVertices, newVertices;
        std::size_t bytes() const;
    };
    void push(Step step);
    static void apply(const Step &step, bool forward, std::vector<PaintedItem> &items, TerrainArrays &mesh);

    std::deque<Step> m_steps;
    std::size_t m_done = 0;   ///< steps [0, m_done) are done, the rest undone
    std::size_t m_bytes = 0;

    bool m_itemsBegun = false;
    std::vector<PaintedItem> m_itemsBefore;
    bool m_strokeBegun = false;
    SculptRegion m_strokeRegion;
    std::vector<float> m_strokeOld;
};

}   // namespace orovista
