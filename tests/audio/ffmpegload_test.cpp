// FFmpeg's libraries come into a process with the first file that needs them: a program that
// plays MP3 files never pays for loading them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "audio/audiolib.h"
#include "audio/decode/tags.h"
#include "audiotest.h"
#include "common/taggedmedia.h"

namespace {

using audiotest::TempDir;

bool mapped(const char* library) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find(library) != std::string::npos) return true;
    }
    return false;
}

bool ffmpegMapped() {
    return mapped("libavcodec.so");
}

// Opens the file for decoding and reads a little of it; the number of bytes read.
DWORD decodeSome(const std::string& path) {
    DWORD h = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    if (h == 0) return 0;
    int16_t buf[2048];
    DWORD got = BASS_ChannelGetData(h, buf, sizeof buf);
    BASS_StreamFree(h);
    return got == DWORD(-1) ? 0 : got;
}

}  // namespace

TEST(FfmpegLoad, AnMp3LeavesFfmpegUnloadedAndTheFirstWavLoadsIt) {
    // In a process of its own: another test in this one may have loaded FFmpeg already.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TempDir dir;
            const testmedia::Pcm tone = testmedia::sine(440, 0.5);
            const std::string mp3 = audiotest::writeMp3(dir, "a.mp3", tone);
            const std::string wav = dir.file("a.wav");
            testmedia::writeFile(wav, testmedia::wavBytes(tone));
            int code = 0;
            {
                audiotest::OfflineSession session;
                if (ffmpegMapped())
                    code = 1;
                else if (decodeSome(mp3) == 0)
                    code = 2;
                else if (ffmpegMapped())
                    code = 3;
                else if (decodeSome(wav) == 0)
                    code = 4;
                else if (!ffmpegMapped())
                    code = 5;
            }
            std::exit(code);
        },
        testing::ExitedWithCode(0), "")
        << "1: loaded at the start, 2: MP3 not decoded, 3: loaded by an MP3, 4: WAV not decoded, "
           "5: WAV decoded without FFmpeg";
}

// Neither FFmpeg nor libcurl (a station's, loaded with the first stream opened) comes in.
TEST(FfmpegLoad, TaggedMp3sAddedAndPlayedLeaveFfmpegAndCurlUnloaded) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TempDir dir;
            // A list as a user adds it: each line's tags read (as the list's tag cache does),
            // then each file played.
            std::vector<std::string> list;
            for (const char* name : {"one.mp3", "two.mp3", "three.mp3"}) {
                list.push_back(dir.file(name));
                if (!testmedia::makeTagged(QString::fromStdString(list.back()), 0.5,
                                           {QString("title=Song %1").arg(name), "artist=Band",
                                            "album=Record", "REPLAYGAIN_TRACK_GAIN=-4.00 dB"})
                         .isEmpty())
                    std::exit(1);
            }
            int code = 0;
            {
                audiotest::OfflineSession session;
                for (const std::string& path : list) {
                    const velorixa::audio::TrackTags t =
                        velorixa::audio::ReadTags(QString::fromStdString(path));
                    if (!t.media || !t.title.startsWith("Song") || !t.trackGainDb) code = 2;
                }
                if (code == 0 && ffmpegMapped()) code = 3;
                for (const std::string& path : list)
                    if (code == 0 && decodeSome(path) == 0) code = 4;
                if (code == 0 && ffmpegMapped()) code = 5;
                if (code == 0 && mapped("libcurl.so")) code = 6;
            }
            std::exit(code);
        },
        testing::ExitedWithCode(0), "")
        << "1: no ffmpeg to make the files, 2: tags not read, 3: loaded by reading tags, "
           "4: not played, 5: loaded by playing, 6: libcurl loaded";
}
