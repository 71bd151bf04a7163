// The sound layer on SDL's dummy driver (which consumes in real time) and
// on the program's clock where no device opens.
#include "app/clock.h"
#include "test_sound_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace soundtest;

TEST(SoundDevice, DummyDevicePlaysAndPositionsAdvanceWithoutGoingBack) {
    ASSERT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    ASSERT_EQ(sound::init(nullptr, rate), 1) << sound::lastError();
    EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    sound::setBufferLength(200);
    testfiles::ModuleShape shape;
    sound::Channel module = sound::loadModule(scratchFile("device.s3m", testfiles::makeModule(shape)).c_str());
    ASSERT_NE(module, 0u);
    sound::prebuffer(module);
    sound::playModule(module);
    std::uint64_t last = 0;
    // Liveness only: the dummy driver takes ~1 s of sound per second; wait
    // for two rows (0.24 s) for at most 20 s.
    for (int i = 0; i < 2000 && sound::position(module) < orderRow(0, 2); ++i) {
        sound::update();
        std::uint64_t now = sound::position(module);
        ASSERT_GE(now, last);
        last = now;
        SDL_Delay(10);
    }
    EXPECT_GE(sound::position(module), orderRow(0, 2));

    // A jump is read back at once, as is a restart of a wave.
    sound::setModuleOrder(module, 39);
    EXPECT_EQ(sound::position(module), orderRow(39, 0));
    sound::stop(module);
    EXPECT_EQ(sound::position(module), orderRow(39, 0));

    sound::shutdown();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    EXPECT_EQ(sound::position(module), 0u);
}

TEST(SoundDevice, WithoutADeviceTheMusicKeepsTimeOnTheClock) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    platform::useBackends(testBackendsOnVirtualClock(1000));
    EXPECT_EQ(sound::init(nullptr, rate), 0);
    EXPECT_NE(std::string(sound::lastError()).find("sound device"), std::string::npos) << sound::lastError();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

    testfiles::ModuleShape shape;
    sound::Channel module = sound::loadModule(scratchFile("clock.s3m", testfiles::makeModule(shape)).c_str());
    sound::Channel wave = sound::createStream(scratchFile("clock.wav", testfiles::makeWave()).c_str());
    ASSERT_NE(module, 0u);
    sound::playModule(module);
    sound::playStream(wave, true);
    sound::update();
    EXPECT_EQ(sound::position(module), orderRow(0, 0));
    platform::advanceVirtualClock(1000);
    sound::update();
    // 1 s = 44,100 frames: row 8 (rows of 5,292 frames); 4 bytes a frame.
    EXPECT_EQ(sound::position(module), orderRow(0, 8));
    EXPECT_EQ(sound::position(wave), 44100u * 4);
    sound::shutdown();
    platform::useBackends(testBackends());
    unsetenv("SDL_AUDIODRIVER");
}

TEST(SoundDevice, AStartIsHeardOnlyOnceTheDeviceHasPlayedItsBufferOfIt) {
    ASSERT_EQ(sound::init(nullptr, rate), 1) << sound::lastError();
    testfiles::ModuleShape shape;
    sound::Channel module = sound::loadModule(scratchFile("heard.s3m", testfiles::makeModule(shape)).c_str());
    ASSERT_NE(module, 0u);
    sound::playModule(module);
    // Before the device has taken anything, the start is at least its own
    // buffer (about 10 ms) away, however long that takes.
    const double first = sound::secondsUntilHeard(module);
    EXPECT_GT(first, 0.005);
    EXPECT_LT(first, 0.05);
    // The dummy driver takes sound in real time: within 20 s (a generous
    // bound, not a timing check) the start is behind the listener.
    double until = first;
    for (int i = 0; i < 2000 && until >= 0.0; ++i) {
        SDL_Delay(10);
        sound::update();
        until = sound::secondsUntilHeard(module);
    }
    EXPECT_LT(until, 0.0);
    sound::shutdown();
}
