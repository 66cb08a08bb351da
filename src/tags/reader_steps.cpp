#include "tags/reader_steps.h"

#include "media/media_steps.h"
#include "tags/aac_file.h"
#include "tags/ape_tag.h"
#include "tags/cda_track.h"
#include "tags/file_tags.h"
#include "tags/flac_file.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/mp4_file.h"
#include "tags/mpeg_audio.h"
#include "tags/musepack_file.h"
#include "tags/ogg_vorbis.h"
#include "tags/optimfrog_file.h"
#include "tags/opus_file.h"
#include "tags/twinvq_file.h"
#include "tags/wav_file.h"
#include "tags/wavpack_file.h"
#include "tags/wma_file.h"

#include <cmath>
#include <exception>

namespace {

// Integer kbit/s from a real value, rounded to the nearest.
int64_t RoundKbs(double v) {
    if (!std::isfinite(v) || v <= 0 || v > 1e12) return 0;
    return static_cast<int64_t>(std::llround(v));
}

// One or two channels as a mode (id and name); more as a count.
void PutChannelMode(unsigned channels, const std::string& name, TTagInfo& info) {
    if (channels > 2) {
        info.SetValue("Channels", static_cast<uint32_t>(channels));
        return;
    }
    info.SetValue("ChannelModeid", static_cast<uint32_t>(channels));
    info.SetValue("ChannelModeName", name);
}

// The seven keys every tag format fills, in their fixed order.
void PutTagKeys(TTagInfo& info, const std::string& artist, const std::string& title,
                const std::string& album, const std::string& year, const std::string& genre,
                const std::string& comment, int64_t track) {
    info.SetValue("Artist", artist);
    info.SetValue("Title", title);
    info.SetValue("Album", album);
    info.SetValue("Year", year);
    info.SetValue("Genre", genre);
    info.SetValue("Comments", comment);
    info.SetValue("Track", track);
}

void PutID3v1(const TID3v1& t, TTagInfo& info) {
    PutTagKeys(info, t.Artist, t.Title, t.Album, t.Year, t.GenreName(), t.Comment, t.Track);
}

void PutID3v2(const TID3v2& t, TTagInfo& info) {
    PutTagKeys(info, t.Artist, t.Title, t.Album, t.Year, t.Genre, t.Comment, t.Track);
}

// The seven ID3 keys from an APE tag, merged between ID3v1 and ID3v2 as the
// tags of a file are: the later write wins where it has a value.
void PutAPE(const TAPEtag& t, TTagInfo& info) {
    PutTagKeys(info, t.Artist, t.Title, t.Album, t.Year, t.Genre, t.Comment, t.Track);
}

// ID3v1, then APE, then ID3v2: the later write wins where it has a value.
void PutFileTags(const TFileTags& t, TTagInfo& info) {
    PutID3v1(t.ID3v1, info);
    PutAPE(t.APEtag, info);
    PutID3v2(t.ID3v2, info);
}

void PutVorbisComment(const TVorbisComment& c, TTagInfo& info) {
    PutTagKeys(info, c.Artist, c.Title, c.Album, c.Date, c.Genre, c.Comment, c.Track);
}

void PutFLAC(const TFLACfile& r, TTagInfo& info) {
    PutID3v1(r.ID3v1, info);
    PutID3v2(r.ID3v2, info);
    PutVorbisComment(r.VorbisComment, info);
    info.SetValue("Channels", r.Channels);
    info.SetValue("SampleRateHZ", r.SampleRate);
    info.SetValue("BitsPerSample", r.BitsPerSample);
    info.SetValue("Samples", r.Samples);
    info.SetValue("DurationSec", r.Duration());
}

void PutOpus(const TOpusFile& r, TTagInfo& info) {
    PutVorbisComment(r.Comments, info);
    info.SetValue("Channels", r.Channels);
    info.SetValue("SampleRateHZ", TOpusFile::kRate);
    info.SetValue("BitRateKBS", r.BitRate());
    info.SetValue("DurationSec", r.Duration());
    info.SetValue("Vendor", r.Comments.Vendor);
}

bool StepMP3(const std::string& path, TTagInfo& info) {
    TFileTags t;
    t.ReadTags(path);
    PutFileTags(t, info);
    return t.AnyTagExists();
}

bool StepMPG(const std::string& path, TTagInfo& info) {
    TMPEGaudio r;
    if (!r.ReadFromFile(path) || !r.Frame.Found) return false;
    PutID3v2(r.ID3v2, info);
    PutID3v1(r.ID3v1, info);
    info.SetValue("MPEGLayerName", r.LayerName());
    info.SetValue("MPEGVersionName", r.VersionName());
    info.SetValue("SampleRateHZ", r.SampleRate());
    info.SetValue("BitRateKBS", r.BitRate());
    info.SetValue("ChannelModeName", r.ChannelModeName());
    info.SetValue("EmphasisName", r.EmphasisName());
    info.SetValue("TotalFrames", r.Frames());
    info.SetValue("DurationSec", r.Duration());
    info.SetValue("Encoderid", r.EncoderID());
    info.SetValue("EncoderName", r.EncoderName());
    return true;
}

bool StepWMA(const std::string& path, TTagInfo& info) {
    TWMAfile r;
    if (!r.ReadFromFile(path) || !r.Valid) return false;
    PutTagKeys(info, r.Artist, r.Title, r.Album, r.Year, r.Genre, r.Comment, r.Track);
    PutChannelMode(r.Channels, r.ChannelModeName(), info);
    info.SetValue("SampleRateHZ", r.SampleRate);
    info.SetValue("BitRateKBS", r.BitRate);
    info.SetValue("DurationSec", r.Duration);
    return true;
}

bool StepWPA(const std::string& path, TTagInfo& info) {
    TWAVPackfile r;
    if (!r.ReadFromFile(path)) return false;
    // APE is WavPack's own tag: it comes last and wins.
    PutID3v1(r.ID3v1, info);
    PutAPE(r.APEtag, info);
    if (!r.Valid) return r.ID3v1.Exists || r.APEtag.Exists;
    info.SetValue("Channels", r.Channels);
    info.SetValue("SampleRateHZ", r.SampleRate);
    info.SetValue("BitRateKBS", RoundKbs(r.BitRate));
    info.SetValue("DurationSec", r.Duration);
    return true;
}

bool StepWAV(const std::string& path, TTagInfo& info) {
    TWAVfile r;
    if (!r.ReadFromFile(path) || !r.Valid) return false;
    PutChannelMode(r.Channels, r.ChannelModeName(), info);
    info.SetValue("SampleRateHZ", r.SampleRate);
    info.SetValue("BitsPerSample", r.BitsPerSample);
    info.SetValue("DurationSec", r.Duration());
    return true;
}

bool StepOGG(const std::string& path, TTagInfo& info) {
    TOggVorbis r;
    if (!r.ReadFromFile(path)) return false;
    if (!r.Valid) {
        // Ogg also carries Opus and FLAC, under the same extensions.
        TOpusFile opus;
        if (opus.ReadFromFile(path) && opus.Valid) {
            PutOpus(opus, info);
            return true;
        }
        TFLACfile flac;
        if (!flac.ReadFromFile(path) || !flac.Ogg) return false;
        PutFLAC(flac, info);
        return true;
    }
    PutTagKeys(info, r.Artist, r.Title, r.Album, r.Date, r.Genre, r.Comment, r.Track);
    PutChannelMode(r.Channels, r.ChannelModeName(), info);
    info.SetValue("SampleRateHZ", r.SampleRate);
    info.SetValue("BitRateKBS", r.BitRate());
    info.SetValue("DurationSec", r.Duration());
    info.SetValue("Vendor", r.Vendor);
    return true;
}

bool StepAPE(const std::string& path, TTagInfo& info) {
    TAPEtag r;
    if (!r.ReadFromFile(path) || !r.Exists) return false;
    PutTagKeys(info, r.Artist, r.Title, r.Album, r.Year, r.Genre, r.Comment, r.Track);
    info.SetValue("Copyright", r.Copyright);
    return true;
}

bool StepVQF(const std::string& path, TTagInfo& info) {
    TTwinVQ r;
    if (!r.ReadFromFile(path) || !r.Valid) return false;
    info.SetValue("Artist", r.Author);
    info.SetValue("Title", r.Title);
    info.SetValue("Comments", r.Comment);
    info.SetValue("Copyright", r.Copyright);
    info.SetValue("ChannelModeid", r.ChannelModeID);
    info.SetValue("ChannelModeName", r.ChannelModeName());
    info.SetValue("SampleRateHZ", r.SampleRate);
    info.SetValue("BitRateKBS", r.BitRate);
    info.SetValue("DurationSec", r.Duration);
    info.SetValue("OriginalFilename", r.OriginalFile);
    return true;
}

bool StepAAC(const std::string& path, TTagInfo& info) {
    TAACfile r;
    if (!r.ReadFromFile(path)) return false;
    PutFileTags(r, info);
    if (r.HeaderTypeID == 0) return r.AnyTagExists();
    info.SetValue("MPEGVersionid", r.MPEGVersionID);
    info.SetValue("SampleRateHZ", r.SampleRate);
    info.SetValue("BitRateKBS", RoundKbs(r.BitRate / 1000.0));
    info.SetValue("MPEGVersionName", r.MPEGVersionName());
    info.SetValue("Profileid", r.ProfileID);
    info.SetValue("ProfileName", r.ProfileName());
    info.SetValue("Channels", r.Channels);
    info.SetValue("BitrateTypeid", r.BitrateTypeID);
    info.SetValue("BitrateTypeName", r.BitrateTypeName());
    info.SetValue("DurationSec", r.Duration());
    return true;
}

bool StepFLAC(const std::string& path, TTagInfo& info) {
    TFLACfile r;
    if (!r.ReadFromFile(path)) return false;
    PutFLAC(r, info);
    return true;
}

bool StepOFR(const std::string& path, TTagInfo& info) {
    TOptimFrog r;
    if (!r.ReadFromFile(path)) return false;
    PutID3v1(r.ID3v1, info);
    PutID3v2(r.ID3v2, info);
    info.SetValue("EncoderVersion", r.EncoderVersion());
    info.SetValue("BitsPerSample", r.BitsPerSample());
    info.SetValue("ChannelModeName", r.ChannelModeName());
    info.SetValue("Samples", r.Samples());
    info.SetValue("DurationSec", r.Duration());
    info.SetValue("SampleRateHZ", r.SampleRate());
    return true;
}

bool StepCDA(const std::string& path, TTagInfo& info) {
    TCDAtrack r;
    if (!r.ReadFromFile(path) || !r.Valid) return false;
    info.SetValue("Artist", r.Artist);
    info.SetValue("Title", r.Title);
    info.SetValue("Album", r.Album);
    info.SetValue("DurationSec", r.Duration);
    info.SetValue("Track", r.Track);
    info.SetValue("TrackPositionSec", r.Position);
    return true;
}

bool StepM4A(const std::string& path, TTagInfo& info) {
    TMP4file r;
    if (!r.ReadFromFile(path) || !r.Valid) return false;
    PutTagKeys(info, r.Artist, r.Title, r.Album, r.Year, r.Genre, r.Comment, r.Track);
    info.SetValue("Codec", r.Codec);
    info.SetValue("Channels", r.Channels);
    info.SetValue("SampleRateHZ", r.SampleRate);
    info.SetValue("BitRateKBS", r.BitRate);
    info.SetValue("DurationSec", r.Duration());
    return true;
}

bool StepOPUS(const std::string& path, TTagInfo& info) {
    TOpusFile r;
    if (!r.ReadFromFile(path) || !r.Valid) return false;
    PutOpus(r, info);
    return true;
}

bool StepMPP(const std::string& path, TTagInfo& info) {
    TMusepackFile r;
    if (!r.ReadFromFile(path)) return false;
    PutID3v1(r.ID3v1, info);
    PutAPE(r.APEtag, info);
    if (r.StreamVersion == 0) return r.ID3v1.Exists || r.APEtag.Exists;
    info.SetValue("StreamVersion", r.StreamVersion);
    info.SetValue("Channels", r.Channels);
    info.SetValue("SampleRateHZ", r.SampleRate);
    info.SetValue("BitRateKBS", r.BitRate());
    info.SetValue("DurationSec", r.Duration());
    return true;
}

struct TStep {
    std::string_view Title;
    bool (*Run)(const std::string&, TTagInfo&);
    // For a file of zeros only; null runs Run.
    bool (*RunOnHoles)(const std::string&, TTagInfo&) = nullptr;
};

const TStep kSteps[] = {{"MP3", StepMP3},
                        {"MPG", StepMPG},
                        {"WMA", StepWMA},
                        {"WPA", StepWPA},
                        {"WAV", StepWAV},
                        {"OGG", StepOGG},
                        {"APE", StepAPE},
                        {"VQF", StepVQF},
                        {"AAC", StepAAC},
                        {"FLAC", StepFLAC},
                        {"OFR", StepOFR},
                        {"CDA", StepCDA},
                        {"M4A", StepM4A},
                        {"OPUS", StepOPUS},
                        {"MPP", StepMPP},
                        {"VIDEO", StepVideo, StepVideoOfZeros},
                        {"PHOTO", StepPhoto, StepPhotoOfZeros}};

} // namespace

bool IsReaderTitle(std::string_view title, std::string_view upper) {
    if (title.size() != upper.size()) return false;
    for (size_t i = 0; i < title.size(); ++i) {
        char c = title[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

bool RunReaderStep(const std::string& title, const std::string& path, TTagInfo& info,
                   bool onlyHoles) {
    for (const TStep& s : kSteps) {
        if (!IsReaderTitle(title, s.Title)) continue;
        try {
            if (onlyHoles && s.RunOnHoles) return s.RunOnHoles(path, info);
            return s.Run(path, info);
        } catch (const std::exception&) {
            return false; // out of memory and the like: the file just gets no tags
        }
    }
    return false;
}
