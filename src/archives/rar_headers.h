#pragma once

#include "archives/archive_io.h"
#include "archives/rar_reader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Reads the block headers of a RAR archive, formats 1.5 to 4.x and 5, one
// member header at a time. Listing needs no decompression: nothing is
// unpacked or decrypted, so solid archives list like any other. Every step
// moves forward in the file, so damaged input ends in a bounded number of
// steps.
class TRarHeaderReader {
public:
    enum class TStep {
        Member,  // a file or folder header was read into the record
        Damaged, // a header failed its check and was skipped
        End,     // the end of the archive
        Failed,  // nothing more can be read: see Error()
    };
    enum class TError {
        None,
        NotRar,         // no RAR signature
        BadArchive,     // a header's layout is impossible
        CorruptData,    // the archive ends inside a member's data or a header
        PasswordNeeded, // the headers themselves are encrypted
    };

    explicit TRarHeaderReader(archiveio::TPositionalReader& in) : in_(in) {}

    // Looks for the signature, also behind a self-extractor's program.
    bool Open();
    TStep Next(TDFRARHeaderData& out);
    TError Error() const { return error_; }

    int FormatVersion() const { return version_; } // 4 (1.5 to 4.x) or 5
    bool Solid() const { return solid_; }
    bool MultiVolume() const { return volume_; }

    // RAR 4 stored names: the Unicode form when the header carries one,
    // otherwise UTF-8 when the bytes are valid UTF-8, else code page 437.
    static std::string DecodeRar4Name(std::string_view field, bool unicodeFlag);

private:
    TStep Next4(TDFRARHeaderData& out);
    TStep Next5(TDFRARHeaderData& out);
    TStep Fail(TError e);
    bool ReadHeaderAt(uint64_t pos, size_t size);

    archiveio::TPositionalReader& in_;
    std::vector<uint8_t> hdr_;
    uint64_t pos_ = 0;
    int version_ = 0;
    bool solid_ = false;
    bool volume_ = false;
    bool cutShort_ = false; // the last member's data runs past the end of the file
    TError error_ = TError::None;
};
