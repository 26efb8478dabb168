#include "effects/ParticleManager.hpp"

#include "effects/EffectsTestSupport.hpp"

using namespace effectstest;

namespace
{
class ParticleManagerTest : public SpriteCatalogTest
{
protected:
    ParticleManager particles{sprites};
};
} // namespace

TEST_F(ParticleManagerTest, LoadsEntriesInKeyOrderWithDefaultPoolsAndReportsBadOnes)
{
    write("p.json", systemJson().dump());
    nlohmann::json unnamed = systemJson();
    unnamed.erase("name");
    write("unnamed.json", unnamed.dump());
    write("particles.json", R"({"particlesystems": {
        "z": {"file": "p.json"}, "b": {"file": "p.json", "instances": 2.9}, "c": {"file": "p.json", "instances": true},
        "d": {"instances": 3}, "e": "p.json", "f": {"file": "p.json", "instances": -3},
        "ff": {"file": "p.json", "instances": 2088888888}, "g": {"file": "gone.json"}, "h": {"file": "p.json", "instances": "5"}, "i": {"file": "p.json", "instances": 0},
        "j": {"file": 4}, "k": {"file": "unnamed.json"}}})");
    const std::string skip = ": [json.exception.type_error.302] ";
    const std::string loaded = "ParticleSystem: name=\"sparks\" numParticles=";
    EXPECT_EQ(captured([&] { EXPECT_TRUE(particles.load("particles.json")); }),
              Console({loaded + "2\n" + loaded + "1\n" + loaded + "0\n" + loaded + "100\n",
                       "ParticleManager: Missing FILE property for [d]\n"
                       "ParticleManager: Missing FILE property for [e]\n"
                       "ParticleManager: Skipping [f]: instances -3 is negative.\n"
                       "ParticleManager: Skipping [ff]: instances 2088888888 is more than 1000000.\n"
                       "ParticleSystem: Unable to open file gone.json.\n"
                       "ParticleManager: Skipping [h]" +
                           skip +
                           "type must be number, but is string\n"
                           "ParticleManager: Skipping [j]" +
                           skip +
                           "type must be string, but is number\n"
                           "validateJson: Missing prop: name.\n"
                           "ParticleSystem: Missing properties in jsonfile.\n"}));

    ParticleSystem* z = nullptr;
    EXPECT_EQ(captured([&] { z = particles.getParticleSystem("z"); }), Console());
    ASSERT_NE(z, nullptr);
    EXPECT_EQ((std::vector<std::int32_t>{z->numParticles, particles.getParticleSystem("i")->numParticles,
                                         particles.getParticleSystem("b")->numParticles}),
              (std::vector<std::int32_t>{100, 0, 2}));
    EXPECT_EQ(captured([&] { EXPECT_EQ(particles.getParticleSystem("g"), nullptr); }),
              errLines("ParticleManager: ParticleSystem with key g does not exist.\n"));
    EXPECT_EQ(particles.systems().size(), 4u);

    // A second load never replaces a system that users already point to.
    write("again.json", R"({"particlesystems": {"z": {"file": "p.json", "instances": 1}}})");
    EXPECT_EQ(captured([&] { particles.load("again.json"); }),
              errLines("ParticleManager: ParticleSystem with key z already exists.\n"));
    EXPECT_EQ(particles.getParticleSystem("z"), z);
    EXPECT_EQ(z->numParticles, 100);
}
