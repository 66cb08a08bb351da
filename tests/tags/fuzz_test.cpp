// Damaged input for every reader: truncated files, flipped bytes, size fields
// that lie and plain noise, made from the fixtures with a fixed seed.
#include "tag_test_util.h"
#include "tags/aac_file.h"
#include "tags/ape_tag.h"
#include "tags/cda_track.h"
#include "tags/flac_file.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/mpeg_audio.h"
#include "tags/ogg_vorbis.h"
#include "tags/optimfrog_file.h"
#include "tags/reader_steps.h"
#include "tags/twinvq_file.h"
#include "tags/wav_file.h"
#include "tags/wavpack_file.h"
#include "tags/wma_file.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

namespace {

const char* const kTitles[] = {"MP3", "MPG",  "WMA", "WPA", "WAV", "OGG",  "APE", "VQF",
                               "AAC", "FLAC", "OFR", "CDA", "M4A", "OPUS", "MPP"};

void RunAll(const std::string& path) {
    for (const char* t : kTitles) {
        TTagInfo info;
        RunReaderStep(t, path, info);
        // Whatever was stored must be one line per key.
        for (const auto& line : info.Values())
            ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos) << t;
    }
}

// Whether a reader of kind R, whatever its read returned, took the file for its format.
template <class R> bool FoundStream(const std::string& path) {
    R r;
    r.ReadFromFile(path);
    return r.Valid;
}

// A Musepack SV7 header: 100 frames at 44,100 Hz, gapless with 1000 samples in the last.
Bytes MusepackSV7() {
    return "MP+" + B("\x17") + Le32b(100) + Le32b(0) + Le32b(0) + Le32b(0) +
           Le32b(0x80000000u | 1000u << 20);
}

std::vector<Bytes> Seeds() {
    std::vector<Bytes> seeds;
    for (const char* name :
         {"mp3_cbr_id3v1.mp3", "mp3_vbr_v24_utf8.mp3", "mp3_v23_utf16.mp3", "mp3_v24_utf16be.mp3",
          "mpeg2_layer2.mp2", "apev2_tagged.mp3", "flac_id3.flac", "vorbis_tagged.ogg",
          "wavpack_tagged.wv", "asf_tagged.wma", "adts_id3.aac", "wav_8k_mono.wav",
          // The readers and layouts added since: each gets its thousands of cases too.
          "m4a_aac.m4a", "m4a_alac.m4a", "opus_tagged.opus", "mpc_sv8.mpc", "flac_vorbis.flac",
          "ogg_flac.oga", "wav_6ch_ext.wav", "wav_rf64.wav", "vorbis_6ch.ogg", "adts_ape.aac",
          "mp3_info_cbr.mp3"})
        seeds.push_back(ReadFile(Fixture(name)));
    // Formats no Debian tool writes.
    seeds.push_back("TWIN97012000" + Be32b(100) + "COMM" + Be32b(16) + Be32b(1) + Be32b(96) +
                    Be32b(44) + Be32b(0) + "NAME" + Be32b(5) + "Hello" + "DATA" + Be32b(0) +
                    Zeros(300));
    seeds.push_back("OFR " + Le32b(15) + Le32b(88200) + Le16b(0) + B("\x02\x01") + Le32b(44100) +
                    Le16b(320) + B("\x00") + Zeros(300));
    seeds.push_back("RIFF" + Le32b(36) + "CDDAfmt " + Le32b(24) + Le16b(1) + Le16b(3) +
                    Le32b(0x1234ABCD) + Le32b(150) + Le32b(13500) + Le32b(0) + Le32b(0));
    seeds.push_back(MusepackSV7() + Zeros(200));
    for (auto& s : seeds)
        EXPECT_FALSE(s.empty());
    return seeds;
}

Bytes Mutate(const Bytes& seed, std::mt19937& rng) {
    Bytes m = seed;
    auto pick = [&](size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(rng);
    };
    switch (pick(5)) {
    case 0: // truncated
        m.resize(pick(m.size() + 1));
        break;
    case 1: // a few flipped bytes
        for (size_t k = 0, n = 1 + pick(8); k < n && !m.empty(); ++k)
            m[pick(m.size())] = static_cast<char>(rng());
        break;
    case 2: { // a 32-bit field that lies, near the start or the end where headers are
        static const uint32_t lies[] = {0,          1,          0x7F7F7F7F, 0x7FFFFFFF,
                                        0x80000000, 0xFFFFFFFF, 0xFFFFFFF0, 0x10000};
        uint32_t v = lies[pick(8)];
        if (m.size() >= 4) {
            size_t at = pick(2) ? pick(std::min<size_t>(m.size() - 3, 256))
                                : m.size() - 4 - pick(std::min<size_t>(m.size() - 3, 256));
            Bytes le = Le32b(v), be = Be32b(v);
            m.replace(at, 4, pick(2) ? le : be);
        }
        break;
    }
    case 3: // the tail repeated or cut in the middle
        if (m.size() > 16) m.erase(pick(m.size() / 2) + 8, pick(m.size() / 2));
        break;
    default: // a block of noise
        if (!m.empty()) {
            size_t at = pick(m.size()), n = std::min<size_t>(m.size() - at, 1 + pick(64));
            for (size_t k = 0; k < n; ++k)
                m[at + k] = static_cast<char>(rng());
        }
    }
    return m;
}

} // namespace

TEST(Fuzz, MutatedFixturesNeverCrashOrHang) {
    std::mt19937 rng(20240611);
    TTempFile file("");
    int cases = 0;
    for (const Bytes& seed : Seeds()) {
        for (int i = 0; i < 150; ++i, ++cases) {
            file.Write(Mutate(seed, rng));
            RunAll(file.Path());
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_EQ(cases, 150 * 27);
}

TEST(Fuzz, NewReadersTakeThousandsOfDamagedFilesEach) {
    // Each reader added lately on its own kind of file: 1,000 cases a reader, ten
    // times that with TAMBLIX_FUZZ_LONG set.
    const int perSeed = std::getenv("TAMBLIX_FUZZ_LONG") ? 5000 : 500;
    struct TSeed {
        const char* Title;
        Bytes Content;
    };
    const TSeed seeds[] = {{"M4A", ReadFile(Fixture("m4a_aac.m4a"))},
                           {"M4A", ReadFile(Fixture("m4a_alac.m4a"))},
                           {"OPUS", ReadFile(Fixture("opus_tagged.opus"))},
                           {"OPUS", ReadFile(Fixture("opus_tagged.opus"))},
                           {"MPP", ReadFile(Fixture("mpc_sv8.mpc"))},
                           {"MPP", MusepackSV7() + Zeros(200)},
                           {"FLAC", ReadFile(Fixture("flac_vorbis.flac"))},
                           {"OGG", ReadFile(Fixture("ogg_flac.oga"))},
                           {"WAV", ReadFile(Fixture("wav_6ch_ext.wav"))},
                           {"WAV", ReadFile(Fixture("wav_rf64.wav"))}};
    std::mt19937 rng(20261208);
    TTempFile file("");
    int cases = 0;
    for (const TSeed& seed : seeds) {
        ASSERT_FALSE(seed.Content.empty());
        for (int i = 0; i < perSeed; ++i, ++cases) {
            file.Write(Mutate(seed.Content, rng));
            TTagInfo info;
            RunReaderStep(seed.Title, file.Path(), info);
            for (const auto& line : info.Values())
                ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos) << seed.Title;
        }
    }
    EXPECT_EQ(cases, 10 * perSeed);
}

TEST(Fuzz, NoiseIsNotTakenForAudio) {
    std::mt19937 rng(7);
    TTempFile file("");
    for (int i = 0; i < 200; ++i) {
        Bytes noise(std::uniform_int_distribution<size_t>(0, 5000)(rng), '\0');
        for (char& c : noise)
            c = static_cast<char>(rng());
        file.Write(noise);
        // A step that recognised nothing writes nothing, not even "Unknown".
        for (const char* t : kTitles) {
            TTagInfo info;
            EXPECT_FALSE(RunReaderStep(t, file.Path(), info)) << t;
            EXPECT_TRUE(info.Empty()) << t << ": " << info.Text();
        }
        EXPECT_FALSE(TFLACfile().ReadFromFile(file.Path()));
        EXPECT_FALSE(TOptimFrog().ReadFromFile(file.Path()));
        EXPECT_FALSE(FoundStream<TWAVfile>(file.Path()));
        EXPECT_FALSE(FoundStream<TWMAfile>(file.Path()));
        EXPECT_FALSE(FoundStream<TOggVorbis>(file.Path()));
        EXPECT_FALSE(FoundStream<TTwinVQ>(file.Path()));
        EXPECT_FALSE(FoundStream<TCDAtrack>(file.Path()));
    }
}

TEST(Fuzz, FoldersAndMissingFilesFail) {
    TTagInfo info;
    for (const char* t : kTitles) {
        EXPECT_FALSE(RunReaderStep(t, "/nonexistent/file", info)) << t;
        EXPECT_FALSE(RunReaderStep(t, TAMBLIX_TEST_DATA, info)) << t;
    }
    EXPECT_TRUE(info.Empty());
}
