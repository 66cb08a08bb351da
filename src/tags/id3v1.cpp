#include "tags/id3v1.h"

#include "tags/binary_file.h"
#include "text/encodings.h"

#include <string_view>

namespace {

const char* const kGenres[kId3v1GenreCount] = {"Blues",
                                               "Classic Rock",
                                               "Country",
                                               "Dance",
                                               "Disco",
                                               "Funk",
                                               "Grunge",
                                               "Hip-Hop",
                                               "Jazz",
                                               "Metal",
                                               "New Age",
                                               "Oldies",
                                               "Other",
                                               "Pop",
                                               "R&B",
                                               "Rap",
                                               "Reggae",
                                               "Rock",
                                               "Techno",
                                               "Industrial",
                                               "Alternative",
                                               "Ska",
                                               "Death Metal",
                                               "Pranks",
                                               "Soundtrack",
                                               "Euro-Techno",
                                               "Ambient",
                                               "Trip-Hop",
                                               "Vocal",
                                               "Jazz+Funk",
                                               "Fusion",
                                               "Trance",
                                               "Classical",
                                               "Instrumental",
                                               "Acid",
                                               "House",
                                               "Game",
                                               "Sound Clip",
                                               "Gospel",
                                               "Noise",
                                               "AlternRock",
                                               "Bass",
                                               "Soul",
                                               "Punk",
                                               "Space",
                                               "Meditative",
                                               "Instrumental Pop",
                                               "Instrumental Rock",
                                               "Ethnic",
                                               "Gothic",
                                               "Darkwave",
                                               "Techno-Industrial",
                                               "Electronic",
                                               "Pop-Folk",
                                               "Eurodance",
                                               "Dream",
                                               "Southern Rock",
                                               "Comedy",
                                               "Cult",
                                               "Gangsta",
                                               "Top 40",
                                               "Christian Rap",
                                               "Pop/Funk",
                                               "Jungle",
                                               "Native American",
                                               "Cabaret",
                                               "New Wave",
                                               "Psychadelic",
                                               "Rave",
                                               "Showtunes",
                                               "Trailer",
                                               "Lo-Fi",
                                               "Tribal",
                                               "Acid Punk",
                                               "Acid Jazz",
                                               "Polka",
                                               "Retro",
                                               "Musical",
                                               "Rock & Roll",
                                               "Hard Rock",
                                               "Folk",
                                               "Folk-Rock",
                                               "National Folk",
                                               "Swing",
                                               "Fast Fusion",
                                               "Bebob",
                                               "Latin",
                                               "Revival",
                                               "Celtic",
                                               "Bluegrass",
                                               "Avantgarde",
                                               "Gothic Rock",
                                               "Progessive Rock",
                                               "Psychedelic Rock",
                                               "Symphonic Rock",
                                               "Slow Rock",
                                               "Big Band",
                                               "Chorus",
                                               "Easy Listening",
                                               "Acoustic",
                                               "Humour",
                                               "Speech",
                                               "Chanson",
                                               "Opera",
                                               "Chamber Music",
                                               "Sonata",
                                               "Symphony",
                                               "Booty Bass",
                                               "Primus",
                                               "Porn Groove",
                                               "Satire",
                                               "Slow Jam",
                                               "Club",
                                               "Tango",
                                               "Samba",
                                               "Folklore",
                                               "Ballad",
                                               "Power Ballad",
                                               "Rhythmic Soul",
                                               "Freestyle",
                                               "Duet",
                                               "Punk Rock",
                                               "Drum Solo",
                                               "A capella",
                                               "Euro-House",
                                               "Dance Hall",
                                               "Goa",
                                               "Drum & Bass",
                                               "Club-House",
                                               "Hardcore",
                                               "Terror",
                                               "Indie",
                                               "BritPop",
                                               "Negerpunk",
                                               "Polsk Punk",
                                               "Beat",
                                               "Christian Gangsta Rap",
                                               "Heavy Metal",
                                               "Black Metal",
                                               "Crossover",
                                               "Contemporary Christian",
                                               "Christian Rock",
                                               "Merengue",
                                               "Salsa",
                                               "Trash Metal",
                                               "Anime",
                                               "JPop",
                                               "Synthpop"};

// Fixed-width field: trailing padding and control characters go, inner bytes stay.
std::string Field(const unsigned char* p, size_t n) {
    return Id3Latin1Text(TrimRightControl(std::string_view(reinterpret_cast<const char*>(p), n)));
}

} // namespace

const char* Id3v1GenreName(unsigned code) {
    return code < kId3v1GenreCount ? kGenres[code] : "";
}

std::string TID3v1::GenreName() const {
    return Id3v1GenreName(GenreID);
}

bool TID3v1::ReadFromFile(const std::string& path) {
    ResetData();
    TBinaryFile f(path);
    if (!f.IsOpen() || f.Size() < 128) return false;
    unsigned char b[128];
    if (!f.ReadExact(f.Size() - 128, b, 128)) return false;
    if (b[0] != 'T' || b[1] != 'A' || b[2] != 'G') return true;
    Exists = true;
    VersionID = ((b[125] == 0 && b[126] != 0) || (b[125] == 32 && b[126] != 32)) ? 2 : 1;
    Title = Field(b + 3, 30);
    Artist = Field(b + 33, 30);
    Album = Field(b + 63, 30);
    Year = Field(b + 93, 4);
    if (VersionID == 1) {
        Comment = Field(b + 97, 30);
    } else {
        Comment = Field(b + 97, 28);
        Track = b[126];
    }
    GenreID = b[127];
    return true;
}
