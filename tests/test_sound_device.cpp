// The sound layer on SDL's dummy driver (which consumes in real time) and
// on the program's clock where no device opens.
#include "app/clock.h"
#include "app/sound/layer.h"
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

TEST(SoundDevice, ADeviceThatStopsTakingSoundIsReopenedWhileTheClockKeepsTime) {
    // The virtual clock times the watch and stands in for the device; the
    // dummy device takes sound in real time.
    platform::useBackends(testBackendsOnVirtualClock(1000));
    ASSERT_EQ(sound::init(nullptr, rate), 1) << sound::lastError();
    testfiles::WaveShape shape;
    shape.frames = 30 * rate;
    sound::Channel wave = sound::createStream(scratchFile("lost.wav", testfiles::makeWave(shape)).c_str());
    ASSERT_NE(wave, 0u);
    sound::playStream(wave, true);
    std::uint64_t last = 0;
    auto step = [&](int milliseconds) {
        SDL_Delay(static_cast<Uint32>(milliseconds));
        platform::advanceVirtualClock(milliseconds);
        sound::update();
        const std::uint64_t now = sound::position(wave);
        EXPECT_GE(now, last) << "the position went back";
        last = now;
    };
    for (int i = 0; i < 2000 && sound::secondsUntilHeard(wave) >= 0.0; ++i) step(10);
    ASSERT_LT(sound::secondsUntilHeard(wave), 0.0) << "the dummy device never took sound";

    // The device stops taking sound and says nothing, as SDL's PipeWire
    // driver does when its server restarts.
    const sound::detail::Output& output = sound::detail::layer.output;
    const SDL_AudioDeviceID first = output.device;
    testing::internal::CaptureStderr();
    SDL_PauseAudioDevice(first, 1);
    sound::update();
    platform::advanceVirtualClock(600);
    sound::update();
    ASSERT_EQ(output.kind, sound::detail::OutputKind::clock) << "a device taking no sound for 0.6 s is lost";
    // From then on the position follows the clock: 4 bytes a frame.
    const std::uint64_t lost = sound::position(wave);
    platform::advanceVirtualClock(1000);
    sound::update();
    EXPECT_EQ(sound::position(wave), lost + 44100u * 4);
    last = sound::position(wave);

    // A new device is opened on a thread of the layer's; once it takes sound
    // it carries the position on from where the clock had it.
    for (int i = 0; i < 2000 && output.kind != sound::detail::OutputKind::device; ++i) step(10);
    ASSERT_EQ(output.kind, sound::detail::OutputKind::device);
    const std::uint64_t back = sound::position(wave);
    for (int i = 0; i < 20; ++i) step(10);
    EXPECT_GT(sound::position(wave), back) << "the reopened device takes no sound";
    EXPECT_LT(sound::position(wave) - back, 44100u * 4) << "the position ran on";
    const std::string said = testing::internal::GetCapturedStderr();
    auto count = [&](const std::string& text) {
        std::size_t n = 0;
        for (std::size_t at = said.find(text); at != std::string::npos; at = said.find(text, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("stopped taking sound"), 1u) << said;
    EXPECT_EQ(count("goes on where the demo is"), 1u) << said;
    sound::shutdown();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}
