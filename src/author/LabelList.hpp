#pragma once

#include <SFML/Window/Keyboard.hpp>

#include <string>
#include <vector>

// The author's warp to a label: the labels of the main flow, each with the first step at which
// playing arrives there (what --start LABEL lands on), shown as a list to choose from with
// Up / Down and Enter. It only keeps the list and the choice; the application finds the steps
// and carries out the seek. A long list shows a window of it that follows the choice.
class LabelList
{
public:
    // Labels shown at once: with the title and the "more" lines the list fits the window.
    static constexpr std::size_t MostShown = 30;

    struct Entry
    {
        std::string name;
        int fileLine = 0; // the line of the label itself
        long step = -1;   // -1: the main flow does not arrive there (in the first hour, or before the end)
    };

    // Opens the list on these entries, the choice on the first one that can be reached.
    void open(std::vector<Entry> labels);
    void close() { shown = false; }
    bool isOpen() const { return shown; }

    // A key while the list is open: Up / Down move the choice, Enter chooses. The step to seek
    // to when a reachable label was chosen (the list then closes), otherwise -1.
    long press(sf::Keyboard::Key key);

    // What the overlay shows: a title line, then one line per label in view, the choice marked,
    // with a line for those above and below the view.
    std::vector<std::string> lines() const;
    // The index in lines() of the choice's line; -1 when there is none.
    int chosenLine() const;
    // The choice, as the console says it: "label :orbit at 8.717 s (step 523), line 57".
    std::string choiceText() const;

    const std::vector<Entry>& entries() const { return labels; }
    std::size_t choice() const { return chosen; }

private:
    // Scrolls the view just enough to hold the choice.
    void follow();

    std::vector<Entry> labels;
    std::size_t chosen = 0;
    std::size_t top = 0; // the first label in view
    bool shown = false;
};
