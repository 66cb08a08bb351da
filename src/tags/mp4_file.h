#pragma once

#include <cstdint>
#include <string>

// An MPEG-4 audio file (.m4a): the iTunes-style tag atoms and the audio
// track's values from the movie and sample description atoms. AAC and ALAC.
class TMP4file {
public:
    void ResetData() { *this = {}; }
    bool ReadFromFile(const std::string& path);
    double Duration() const;

    bool Valid = false; // a movie atom was found
    std::string Codec;  // "AAC", "ALAC" or the sample entry's four characters
    uint16_t Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t BitRate = 0;               // kbit/s
    uint64_t TimeScale = 0, Length = 0; // of the audio track, else of the movie
    std::string Title, Artist, Album, Year, Genre, Comment;
    int32_t Track = 0;

private:
    struct TWalk;
    void Walk(class TBinaryFile& f, int64_t pos, int64_t end, int depth, TWalk& w);
    void ReadSampleEntry(class TBinaryFile& f, int64_t pos, int64_t end);
    void ReadEdits(class TBinaryFile& f, int64_t body, int64_t end, TWalk& w);
    void ReadItem(class TBinaryFile& f, const char* type, int64_t pos, int64_t end);
};
