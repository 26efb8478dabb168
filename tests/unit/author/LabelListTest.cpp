#include "author/LabelList.hpp"

#include <gtest/gtest.h>

namespace
{
using Key = sf::Keyboard::Key;

// The choice opens on the first reachable label; Up / Down go round; Enter goes to a reached
// label only.
struct PressCase
{
    const char* what;
    std::vector<Key> keys;
    long target;       // what the last key asks for
    std::size_t choice; // afterwards
    bool open;          // afterwards
};

const PressCase PressCases[] = {
    {"enter goes to the first reachable label", {sf::Keyboard::Enter}, 60, 1, false},
    {"down twice then enter", {sf::Keyboard::Down, sf::Keyboard::Down, sf::Keyboard::Enter}, 600, 3, false},
    {"down onto an unreached label", {sf::Keyboard::Down}, -1, 2, true},
    {"enter on an unreached label does nothing", {sf::Keyboard::Down, sf::Keyboard::Enter}, -1, 2, true},
    {"up from the first reachable", {sf::Keyboard::Up}, -1, 0, true},
    {"up wraps to the last", {sf::Keyboard::Up, sf::Keyboard::Up, sf::Keyboard::Enter}, 600, 3, false},
    {"down wraps to the first", {sf::Keyboard::Down, sf::Keyboard::Down, sf::Keyboard::Down}, -1, 0, true},
    {"other keys do nothing", {sf::Keyboard::A}, -1, 1, true},
};

std::vector<LabelList::Entry> demoLabels()
{
    return {{"intro", 1, -1}, {"orbit", 4, 60}, {"never", 9, -1}, {"outro", 12, 600}};
}
} // namespace

TEST(LabelList, KeysChooseAndEnterGoesToAReachedLabel)
{
    for (const PressCase& c : PressCases)
    {
        LabelList list;
        list.open(demoLabels());
        long target = -2;
        for (Key key : c.keys)
            target = list.press(key);
        EXPECT_EQ(target, c.target) << c.what;
        EXPECT_EQ(list.choice(), c.choice) << c.what;
        EXPECT_EQ(list.isOpen(), c.open) << c.what;
    }
}

TEST(LabelList, LinesGiveEachLabelItsTimeOrThatItIsNotReached)
{
    LabelList list;
    list.open(demoLabels());
    const std::vector<std::string> expected = {
        "labels: Up / Down choose, Enter goes there, G closes",
        "  :intro\tnot reached   line 1",
        "> :orbit\t1.000 s (step 60)   line 4",
        "  :never\tnot reached   line 9",
        "  :outro\t10.000 s (step 600)   line 12",
    };
    EXPECT_EQ(list.lines(), expected);

    LabelList none;
    none.open({});
    EXPECT_EQ(none.press(sf::Keyboard::Enter), -1);
    EXPECT_EQ(none.lines(), std::vector<std::string>{"the main flow has no labels   (G closes)"});
    LabelList closed;
    EXPECT_EQ(closed.press(sf::Keyboard::Enter), -1) << "a closed list takes no keys";
}
