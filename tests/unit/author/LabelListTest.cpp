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

TEST(LabelList, ALongListScrollsToKeepTheChoiceInView)
{
    std::vector<LabelList::Entry> many;
    for (int i = 0; i < 80; ++i)
        many.push_back({"l" + std::to_string(i), 1 + 3 * i, 6L * i});
    LabelList list;
    list.open(many);
    EXPECT_EQ(list.lines().size(), 1 + LabelList::MostShown + 1) << "the title, 30 labels and the rest below";
    EXPECT_EQ(list.lines().back(), "  ... 50 more below");
    EXPECT_EQ(list.lines()[static_cast<std::size_t>(list.chosenLine())], "> :l0\t0.000 s (step 0)   line 1");
    // Up wraps to the last: the view follows it to the end.
    list.press(sf::Keyboard::Up);
    std::vector<std::string> lines = list.lines();
    EXPECT_EQ(lines[1], "  ... 50 more above");
    EXPECT_EQ(lines.size(), 2 + LabelList::MostShown);
    EXPECT_EQ(lines[static_cast<std::size_t>(list.chosenLine())], "> :l79\t7.900 s (step 474)   line 238");
    EXPECT_EQ(list.choiceText(), "label :l79 at 7.900 s (step 474), line 238");
    // Up to the view's top keeps it; one more moves it by one.
    for (int i = 0; i < 29; ++i)
        list.press(sf::Keyboard::Up);
    EXPECT_EQ(list.lines()[1], "  ... 50 more above");
    EXPECT_EQ(list.chosenLine(), 2);
    list.press(sf::Keyboard::Up);
    EXPECT_EQ(list.lines()[1], "  ... 49 more above");
    EXPECT_EQ(list.lines()[static_cast<std::size_t>(list.chosenLine())], "> :l49\t4.900 s (step 294)   line 148");
    EXPECT_EQ(list.lines().back(), "  ... 1 more below");

    LabelList unreached;
    unreached.open({{"never", 9, -1}});
    EXPECT_EQ(unreached.choiceText(), "label :never not reached, line 9");
}
