// The sound files the game ships, and the music stream that plays the tune over and over.
#include "audio/AudioDevice.h"
#include "audio/MusicStream.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

struct Decoded {
    int channels = 0;
    int rate = 0;
    std::vector<float> samples;
};

Decoded decode(const std::string& path)
{
    Decoded d;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return d;
    d.channels = info.channels;
    d.rate = info.samplerate;
    d.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    d.samples.resize(static_cast<std::size_t>(sf_readf_float(file, d.samples.data(), info.frames) * info.channels));
    sf_close(file);
    return d;
}

std::string soundPath(const std::string& name)
{
    return (testkit::repositoryAssets() / "sounds" / (name + ".ogg")).string();
}

TEST(SoundAssets, EverySoundDecodesAndTheOnesPlacedInTheWorldAreMono)
{
    // OpenAL places only mono sounds in the world: a stereo effect would play flat in both ears.
    for (const char* name : {"chime", "flap", "splash", "thud", "tick"}) {
        const Decoded d = decode(soundPath(name));
        EXPECT_EQ(d.channels, 1) << name;
        EXPECT_GT(d.samples.size(), 1000u) << name;
    }
    for (const char* name : {"hurt", "rain", "levelup", "died", "outoftime", "music"}) {
        const Decoded d = decode(soundPath(name));
        EXPECT_GE(d.channels, 1) << name;
        EXPECT_GT(d.samples.size(), 1000u) << name;
    }
    const Decoded music = decode(soundPath("music"));
    ASSERT_GT(music.rate, 0);
    const double seconds = static_cast<double>(music.samples.size()) / music.channels / music.rate;
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 90.0);
}

TEST(SoundAssets, TheLoopsEndWhereTheyBeginWithoutAFade)
{
    for (const char* name : {"music", "rain"}) {
        const Decoded d = decode(soundPath(name));
        ASSERT_EQ(d.channels, 2) << name;
        const std::size_t frames = d.samples.size() / 2;
        ASSERT_GT(frames, 44100u) << name;
        // The seam is one more step from sample to sample: no larger than the loop's own steps.
        std::vector<float> steps;
        for (std::size_t i = 1; i < frames; ++i)
            for (std::size_t c = 0; c < 2; ++c)
                steps.push_back(std::abs(d.samples[2 * i + c] - d.samples[2 * (i - 1) + c]));
        std::sort(steps.begin(), steps.end());
        const float usual = steps[steps.size() * 999 / 1000];
        for (std::size_t c = 0; c < 2; ++c)
            EXPECT_LE(std::abs(d.samples[c] - d.samples[2 * (frames - 1) + c]), usual) << name << " channel " << c;
        // Neither end fades out or in: the last and first 20 ms are as loud as the tune goes on.
        auto rms = [&](std::size_t from, std::size_t count) {
            double e = 0.0;
            for (std::size_t i = 2 * from; i < 2 * (from + count); ++i)
                e += static_cast<double>(d.samples[i]) * d.samples[i];
            return std::sqrt(e / static_cast<double>(2 * count));
        };
        const std::size_t window = 882;
        const double overall = rms(0, frames);
        EXPECT_GT(rms(frames - window, window), 0.25 * overall) << name << " fades out";
        EXPECT_GT(rms(0, window), 0.25 * overall) << name << " fades in";
    }
}

TEST(MusicStream, PlaysTheTuneOverAndOverSampleForSampleAcrossTheSeam)
{
    auto device = AudioDevice::openLoopback(44100);
    ASSERT_TRUE(device);
    MusicStream music(soundPath("music"), 1.0f);
    ASSERT_TRUE(music.isOpen());
    ASSERT_EQ(music.rate(), 44100);
    const std::size_t loop = static_cast<std::size_t>(music.length());

    // A frame of the game at a time: the stream is refilled between frames, as the game does.
    const int frame = 735;
    const std::size_t total = loop + 2 * 44100;
    std::vector<float> out(2 * (total + frame));
    for (std::size_t at = 0; at < total; at += frame) {
        music.update();
        device->render(out.data() + 2 * at, frame);
    }

    // The second time round is the first again: nothing lost, nothing added at the seam.
    float worst = 0.0f;
    for (std::size_t k = 2048; k < 2 * 44100 - 2048; ++k)
        for (std::size_t c = 0; c < 2; ++c)
            worst = std::max(worst, std::abs(out[2 * (loop + k) + c] - out[2 * k + c]));
    EXPECT_LT(worst, 1e-5f) << "the repeat does not line up with the first pass";

    // And no gap: every 10 ms around the seam carries the tune.
    double typical = 0.0;
    for (std::size_t i = 0; i < 2 * loop; ++i)
        typical += static_cast<double>(out[i]) * out[i];
    typical = std::sqrt(typical / static_cast<double>(2 * loop));
    for (std::size_t start = loop - 44100 / 4; start < loop + 44100 / 4; start += 441) {
        double e = 0.0;
        for (std::size_t i = 2 * start; i < 2 * (start + 441); ++i)
            e += static_cast<double>(out[i]) * out[i];
        EXPECT_GT(std::sqrt(e / 882.0), 0.1 * typical) << "a gap at " << start << " (seam at " << loop << ")";
    }
}

TEST(MusicStream, AMissingTuneIsReportedAndStaysSilent)
{
    auto device = AudioDevice::openLoopback(44100);
    ASSERT_TRUE(device);
    ::testing::internal::CaptureStdout();
    MusicStream music("../../assets/sounds/no-such-tune.ogg", 1.0f);
    music.update();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "ERROR - failed to load sound: ../../assets/sounds/no-such-tune.ogg\n");
    EXPECT_FALSE(music.isOpen());
    std::vector<float> out(2 * 4410, 1.0f);
    device->render(out.data(), 4410);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0.0f);
}

} // namespace
