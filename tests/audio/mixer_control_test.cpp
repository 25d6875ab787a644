// The mixer on the machine's sound server (the default sink): volume, mute and the state put
// back at the end.
#include "audio/mixer_control.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kalder {
namespace {

TEST(MixerControl, VolumeAndMuteActOnTheDefaultSinkAndTheStartStateComesBack) {
    MixerControl mixer;
    if (!mixer.available())
        GTEST_SKIP() << "no sound server with a default sink";
    EXPECT_TRUE(detectSoundOutput());
    const int startVolume = mixer.startVolume();
    const bool startMute = mixer.startMute();

    ASSERT_TRUE(mixer.setVolume(40000));
    ASSERT_TRUE(mixer.volume());
    EXPECT_LE(std::abs(*mixer.volume() - 40000), 2);
    // Volume 0, then unmuting keeps it at 0.
    ASSERT_TRUE(mixer.setVolume(0));
    ASSERT_TRUE(mixer.setMute(true));
    EXPECT_EQ(mixer.muted(), true);
    ASSERT_TRUE(mixer.setMute(false));
    EXPECT_EQ(mixer.muted(), false);
    EXPECT_EQ(mixer.volume(), 0);

    mixer.restoreStart();
    ASSERT_TRUE(mixer.volume());
    EXPECT_LE(std::abs(*mixer.volume() - startVolume), 2);
    EXPECT_EQ(mixer.muted(), startMute);
}

TEST(MixerControl, WithoutAServerThereIsNoDevice) {
    const char* previous = std::getenv("PULSE_SERVER");
    const std::string saved = previous ? previous : "";
    ::setenv("PULSE_SERVER", "unix:/nonexistent/kalder-test-socket", 1);
    {
        MixerControl mixer;
        EXPECT_FALSE(mixer.available());
        EXPECT_FALSE(mixer.setVolume(100));
        EXPECT_FALSE(mixer.volume());
    }
    if (previous)
        ::setenv("PULSE_SERVER", saved.c_str(), 1);
    else
        ::unsetenv("PULSE_SERVER");
}

} // namespace
} // namespace kalder
