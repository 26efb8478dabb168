#include "player/SnapshotStore.hpp"

#include "player/PlayState.hpp"

#include <malloc.h>

SnapshotStore::SnapshotStore() = default;

SnapshotStore::~SnapshotStore() = default;

void SnapshotStore::setBudget(std::size_t bytes)
{
    limit = bytes;
    if (limit == 0)
        clear();
    thin();
}

bool SnapshotStore::wants(long step, bool known) const
{
    if (!enabled() || step <= 0 || step % every != 0)
        return false;
    const auto found = states.find(step);
    return found == states.end() || (known && !found->second->fullyKnown());
}

void SnapshotStore::add(long step, std::unique_ptr<PlayState> state)
{
    if (!wants(step, state->fullyKnown()))
        return;
    auto found = states.find(step);
    if (found != states.end())
    {
        used -= found->second->bytes();
        states.erase(found);
    }
    used += state->bytes();
    states.emplace(step, std::move(state));
    thin();
}

const PlayState* SnapshotStore::atOrBefore(long step, bool known, long& at) const
{
    for (auto it = states.upper_bound(step); it != states.begin();)
    {
        --it;
        // A seek that lands on the snapshot's own step shows its picture: that must be known.
        const bool landing = it->first == step;
        if ((!known && !landing) || it->second->fullyKnown())
        {
            at = it->first;
            return it->second.get();
        }
    }
    return nullptr;
}

void SnapshotStore::keepBefore(long step, const ScriptEdit& edit, int lineCount)
{
    for (auto it = states.begin(); it != states.end();)
    {
        if ((step < 0 || it->first < step) && it->second->moveLines(edit, lineCount))
        {
            ++it;
            continue;
        }
        used -= it->second->bytes();
        it = states.erase(it);
    }
}

void SnapshotStore::clear()
{
    states.clear();
    used = 0;
    every = FirstSpacing;
}

void SnapshotStore::thin()
{
    if (used <= limit)
        return;
    while (used > limit && !states.empty())
    {
        every *= 2;
        for (auto it = states.begin(); it != states.end();)
        {
            if (it->first % every == 0)
            {
                ++it;
                continue;
            }
            used -= it->second->bytes();
            it = states.erase(it);
        }
    }
#ifdef __GLIBC__
    // What the snapshots that went held in small pieces goes back to the system too, not only
    // their mapped blocks: the budget is one of resident memory.
    malloc_trim(0);
#endif
}
