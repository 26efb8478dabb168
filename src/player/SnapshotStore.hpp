#pragma once

#include <cstddef>
#include <map>
#include <memory>

class PlayState;
class ScriptEdit;

// The snapshots a player keeps as playing and seeking pass through the demo: one every
// `spacing()` steps, within a memory budget. When the budget is passed, the spacing doubles and
// every other snapshot goes, so that they stay evenly spread over what is known of the demo.
class SnapshotStore
{
public:
    SnapshotStore();
    ~SnapshotStore();
    SnapshotStore(const SnapshotStore&) = delete;
    SnapshotStore& operator=(const SnapshotStore&) = delete;

    // Steps between snapshots before the budget thins them out: one second of demo time.
    static constexpr long FirstSpacing = 60;

    // 0 keeps none.
    void setBudget(std::size_t bytes);
    std::size_t budget() const { return limit; }
    bool enabled() const { return limit > 0; }

    // A snapshot at `step` would be kept: the step is on the spacing and none is kept there yet,
    // or (with `known`) only one whose content is partly unknown.
    bool wants(long step, bool known) const;
    // Keeps it when it is wanted (see wants), then thins out to the budget.
    void add(long step, std::unique_ptr<PlayState> state);
    // The snapshot at the latest step at or before `step` (with `known`: only fully known ones; one
    // at `step` itself only when it is fully known, since a seek there shows its picture); null
    // when there is none. Its step is written to `at`.
    const PlayState* atOrBefore(long step, bool known, long& at) const;
    void clear();
    // After a script save: the snapshots at steps before `step` stay (-1: all), moved to the new
    // version's lines; the others go.
    void keepBefore(long step, const ScriptEdit& edit, int lineCount);

    std::size_t bytes() const { return used; }
    std::size_t count() const { return states.size(); }
    long spacing() const { return every; }

private:
    void thin();

    std::map<long, std::unique_ptr<PlayState>> states;
    std::size_t limit = 0;
    std::size_t used = 0;
    long every = FirstSpacing;
};
