#pragma once

#include <SFML/Window/Keyboard.hpp>

#include <string>
#include <vector>

// The author's warp to a label: the labels of the main flow, each with the first step at which
// playing arrives there (what --start LABEL lands on), shown as a list to choose from with
// Up / Down and Enter. It only keeps the list and the choice; the application finds the steps
// and carries out the seek.
class LabelList
{
public:
    struct Entry
    {
        std::string name;
        int fileLine = 0;
        long step = -1; // -1: the main flow does not arrive there (in the first hour, or before the end)
    };

    // Opens the list on these entries, the choice on the first one that can be reached.
    void open(std::vector<Entry> labels);
    void close() { shown = false; }
    bool isOpen() const { return shown; }

    // A key while the list is open: Up / Down move the choice, Enter chooses. The step to seek
    // to when a reachable label was chosen (the list then closes), otherwise -1.
    long press(sf::Keyboard::Key key);

    // What the overlay shows: a title line, then one line per label, the choice marked.
    std::vector<std::string> lines() const;

    const std::vector<Entry>& entries() const { return labels; }
    std::size_t choice() const { return chosen; }

private:
    std::vector<Entry> labels;
    std::size_t chosen = 0;
    bool shown = false;
};
