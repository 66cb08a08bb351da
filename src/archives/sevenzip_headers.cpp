#include "archives/sevenzip_headers.h"

#include "archives/archive_io.h"
#include "text/encodings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <lzma.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sevenzip {
namespace {

constexpr uint8_t kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr uint64_t kStartHeaderSize = 32;
// The largest header read, packed or unpacked: millions of members fit.
constexpr uint64_t kMaxHeaderSize = uint64_t{512} << 20;
// Names, sizes and times never shrink this much; a packed header that claims
// more is a bomb, not a member list.
constexpr uint64_t kMaxHeaderRatio = 1024;
constexpr int kMaxHeaderLevels = 4; // a packed header may describe another packed header
constexpr uint64_t kMaxFolderStreams = 64;
constexpr uint64_t kFileTimeTicks = 10000000;    // FILETIME counts 100 ns
constexpr int64_t kFileTimeToUnix = 11644473600; // seconds from 1601 to 1970
constexpr uint32_t kAttrReadOnly = 0x01;         // Windows attribute bits
constexpr uint32_t kAttrUnixMode = 0x8000;       // the high 16 bits hold st_mode

// Property ids of the header.
enum : uint64_t {
    kEnd = 0x00,
    kHeader = 0x01,
    kArchiveProperties = 0x02,
    kAdditionalStreamsInfo = 0x03,
    kMainStreamsInfo = 0x04,
    kFilesInfo = 0x05,
    kPackInfo = 0x06,
    kUnpackInfo = 0x07,
    kSubStreamsInfo = 0x08,
    kSize = 0x09,
    kCrc = 0x0A,
    kFolder = 0x0B,
    kCodersUnpackSize = 0x0C,
    kNumUnpackStream = 0x0D,
    kEmptyStream = 0x0E,
    kEmptyFile = 0x0F,
    kAnti = 0x10,
    kName = 0x11,
    kMTime = 0x14,
    kWinAttributes = 0x15,
    kEncodedHeader = 0x17,
};

// Coder ids, their bytes read as one big-endian number.
constexpr uint64_t kCopy = 0x00, kLzma = 0x030101, kLzma2 = 0x21, kAes = 0x06F10701;
constexpr uint64_t kUnknownCoder = ~uint64_t{0};

// Thrown while reading: the archive library may still make sense of the file.
struct TNotRead {
    std::string why;
};
struct THeaderEncrypted {};

[[noreturn]] void Damaged(const char* what) {
    throw TNotRead{what};
}

// A bounded cursor over header bytes: every read checks what is left.
class TBytes {
public:
    TBytes() = default;
    TBytes(const uint8_t* p, size_t n) : p_(p), end_(p + n) {}

    size_t Left() const { return static_cast<size_t>(end_ - p_); }
    const uint8_t* Data() const { return p_; }
    void Need(uint64_t n) const {
        if (n > Left()) Damaged("header cut short");
    }
    uint8_t Byte() {
        Need(1);
        return *p_++;
    }
    uint32_t U32() {
        Need(4);
        p_ += 4;
        return archiveio::U32(p_ - 4);
    }
    uint64_t U64() {
        Need(8);
        p_ += 8;
        return archiveio::U64(p_ - 8);
    }
    TBytes Take(uint64_t n) {
        Need(n);
        TBytes part(p_, static_cast<size_t>(n));
        p_ += n;
        return part;
    }
    // The format's variable-length number: the leading one bits of the first
    // byte count the bytes that follow, lowest first; its other bits go on top.
    uint64_t Number() {
        const uint8_t first = Byte();
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            const unsigned mask = 0x80u >> i;
            if ((first & mask) == 0) return value | (uint64_t{first & (mask - 1)} << (8 * i));
            value |= uint64_t{Byte()} << (8 * i);
        }
        return value;
    }
    // A count of items each stored in at least one of the bytes left.
    size_t Count() {
        const uint64_t n = Number();
        if (n > Left()) Damaged("count larger than the header");
        return static_cast<size_t>(n);
    }
    // A property this reader does not use, skipped by its stored size.
    void SkipProperty() { Take(Number()); }

private:
    const uint8_t* p_ = nullptr;
    const uint8_t* end_ = nullptr;
};

// One flag per item, the first in the top bit of the first byte; or all set.
class TBits {
public:
    static TBits Read(TBytes& in, size_t n) {
        TBits b;
        b.bytes_ = in.Take((uint64_t{n} + 7) / 8).Data();
        b.n_ = n;
        return b;
    }
    static TBits All(size_t n) {
        TBits b;
        b.all_ = true;
        b.n_ = n;
        return b;
    }
    // A "defined" vector: a byte saying all are, or the flags themselves.
    static TBits ReadDefined(TBytes& in, size_t n) { return in.Byte() ? All(n) : Read(in, n); }

    bool operator[](size_t i) const {
        if (i >= n_) return false;
        return all_ || (bytes_[i >> 3] & (0x80u >> (i & 7))) != 0;
    }
    size_t CountSet() const {
        size_t set = 0;
        for (size_t i = 0; i < n_; ++i)
            set += (*this)[i];
        return set;
    }

private:
    const uint8_t* bytes_ = nullptr;
    size_t n_ = 0;
    bool all_ = false;
};

struct TFolder {
    std::vector<uint64_t> coders; // ids
    TBytes firstProps;            // the first coder's properties
    size_t numOut = 0;            // output streams of all coders together
    size_t mainOut = 0;           // the one no other coder reads: the folder's data
    std::vector<uint64_t> unpackSizes;
    bool hasCrc = false;
    uint32_t crc = 0;
    uint64_t substreams = 1; // members whose data the folder holds
    bool encrypted = false;

    uint64_t UnpackSize() const { return unpackSizes[mainOut]; }
};

struct TStreams {
    uint64_t packPos = 0;
    std::vector<uint64_t> packSizes;
    std::vector<TFolder> folders;
    std::vector<uint64_t> sizes; // one per member with data, in member order
    bool haveSubstreams = false;
};

// Reads a digest list for `n` items, keeping them only when asked.
void ReadDigests(TBytes& in, size_t n, std::vector<TFolder>* folders) {
    const TBits defined = TBits::ReadDefined(in, n);
    for (size_t i = 0; i < n; ++i)
        if (defined[i]) {
            const uint32_t crc = in.U32();
            if (folders) {
                (*folders)[i].hasCrc = true;
                (*folders)[i].crc = crc;
            }
        }
}

// Skips properties until `id`; damage when the list ends first.
void WaitFor(TBytes& in, uint64_t id) {
    for (uint64_t type = in.Number(); type != id; type = in.Number()) {
        if (type == kEnd) Damaged("header property missing");
        in.SkipProperty();
    }
}

void ReadPackInfo(TBytes& in, TStreams& s) {
    s.packPos = in.Number();
    const size_t n = in.Count();
    for (uint64_t type = in.Number(); type != kEnd; type = in.Number()) {
        if (type == kSize) {
            s.packSizes.clear();
            for (size_t i = 0; i < n; ++i)
                s.packSizes.push_back(in.Number());
        } else if (type == kCrc) {
            ReadDigests(in, n, nullptr);
        } else {
            in.SkipProperty();
        }
    }
}

TFolder ReadFolder(TBytes& in) {
    TFolder f;
    const uint64_t numCoders = in.Number();
    if (numCoders == 0 || numCoders > kMaxFolderStreams) Damaged("bad coder count");
    uint64_t numIn = 0, numOut = 0;
    for (uint64_t c = 0; c < numCoders; ++c) {
        const uint8_t flags = in.Byte();
        if (flags & 0xC0) throw TNotRead{"coder with alternative methods"};
        TBytes id = in.Take(flags & 0x0F);
        uint64_t coder = 0;
        for (size_t i = 0; i < id.Left(); ++i)
            coder = coder << 8 | id.Data()[i];
        if (id.Left() > 8) coder = kUnknownCoder;
        uint64_t ins = 1, outs = 1;
        if (flags & 0x10) {
            ins = in.Number();
            outs = in.Number();
        }
        TBytes props;
        if (flags & 0x20) props = in.Take(in.Number());
        if (c == 0) f.firstProps = props;
        if (ins > kMaxFolderStreams || outs > kMaxFolderStreams) Damaged("bad stream count");
        numIn += ins;
        numOut += outs;
        f.coders.push_back(coder);
        f.encrypted |= coder == kAes;
    }
    // Every output but the last feeds another coder's input; one input at least is stored.
    if (numOut == 0 || numOut > kMaxFolderStreams || numIn > kMaxFolderStreams || numIn < numOut)
        Damaged("bad stream count");
    f.numOut = static_cast<size_t>(numOut);
    uint64_t bound = 0; // one bit per output stream another coder reads
    for (uint64_t pair = 0; pair + 1 < numOut; ++pair) {
        if (in.Number() >= numIn) Damaged("bad bind pair");
        const uint64_t out = in.Number();
        if (out >= numOut) Damaged("bad bind pair");
        bound |= uint64_t{1} << out;
    }
    const uint64_t numPacked = numIn - (numOut - 1);
    if (numPacked > 1)
        for (uint64_t i = 0; i < numPacked; ++i)
            if (in.Number() >= numIn) Damaged("bad packed stream");
    while (f.mainOut < f.numOut && (bound >> f.mainOut & 1))
        ++f.mainOut;
    if (f.mainOut == f.numOut) Damaged("folder without output");
    return f;
}

void ReadUnpackInfo(TBytes& in, TStreams& s) {
    WaitFor(in, kFolder);
    const size_t n = in.Count();
    if (in.Byte() != 0) throw TNotRead{"folders stored outside the header"};
    s.folders.clear();
    for (size_t i = 0; i < n; ++i)
        s.folders.push_back(ReadFolder(in));
    WaitFor(in, kCodersUnpackSize);
    for (TFolder& f : s.folders)
        for (size_t i = 0; i < f.numOut; ++i)
            f.unpackSizes.push_back(in.Number());
    for (uint64_t type = in.Number(); type != kEnd; type = in.Number()) {
        if (type == kCrc)
            ReadDigests(in, n, &s.folders);
        else
            in.SkipProperty();
    }
}

// `limit`: the header's size; each member with data takes some of it.
void ReadSubStreamsInfo(TBytes& in, TStreams& s, uint64_t limit) {
    s.haveSubstreams = true;
    uint64_t type = in.Number();
    if (type == kNumUnpackStream) {
        uint64_t total = 0;
        for (TFolder& f : s.folders) {
            f.substreams = in.Number();
            total += std::min(f.substreams, limit + 1);
            if (total > limit) Damaged("more streams than the header can name");
        }
        type = in.Number();
    }
    const bool haveSizes = type == kSize;
    s.sizes.clear();
    for (const TFolder& f : s.folders) {
        if (f.substreams == 0) continue;
        if (f.substreams > 1 && !haveSizes) Damaged("stream sizes missing");
        uint64_t sum = 0;
        for (uint64_t j = 1; j < f.substreams; ++j) {
            const uint64_t size = in.Number();
            if (size > kMaxMemberSize - sum) Damaged("member size out of range");
            sum += size;
            s.sizes.push_back(size);
        }
        if (f.UnpackSize() < sum) Damaged("stream sizes larger than their folder");
        s.sizes.push_back(f.UnpackSize() - sum);
    }
    if (haveSizes) type = in.Number();
    for (; type != kEnd; type = in.Number()) {
        if (type != kCrc) {
            in.SkipProperty();
            continue;
        }
        uint64_t unknown = 0; // streams whose checksum the folder does not give
        for (const TFolder& f : s.folders)
            if (f.substreams != 1 || !f.hasCrc) unknown += f.substreams;
        ReadDigests(in, static_cast<size_t>(unknown), nullptr);
    }
}

void ReadStreamsInfo(TBytes& in, TStreams& s, uint64_t limit) {
    for (uint64_t type = in.Number(); type != kEnd; type = in.Number()) {
        if (type == kPackInfo)
            ReadPackInfo(in, s);
        else if (type == kUnpackInfo)
            ReadUnpackInfo(in, s);
        else if (type == kSubStreamsInfo)
            ReadSubStreamsInfo(in, s, limit);
        else
            Damaged("unknown stream property");
    }
    if (!s.haveSubstreams)
        for (const TFolder& f : s.folders)
            s.sizes.push_back(f.UnpackSize());
    for (uint64_t size : s.sizes)
        if (size > kMaxMemberSize) Damaged("member size out of range");
}

std::vector<uint8_t> ReadAt(int fd, uint64_t pos, uint64_t size) {
    std::vector<uint8_t> buf(static_cast<size_t>(size));
    size_t done = 0;
    while (done < buf.size()) {
        const ssize_t got =
            pread(fd, buf.data() + done, buf.size() - done, static_cast<off_t>(pos + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw TNotRead{std::strerror(errno)};
        if (got == 0) Damaged("header beyond the end of the file");
        done += static_cast<size_t>(got);
    }
    return buf;
}

std::vector<uint8_t> Unlzma(const std::vector<uint8_t>& packed, TBytes props, bool lzma2,
                            uint64_t size) {
    lzma_filter filters[2] = {};
    filters[0].id = lzma2 ? LZMA_FILTER_LZMA2 : LZMA_FILTER_LZMA1;
    filters[1].id = LZMA_VLI_UNKNOWN;
    if (lzma_properties_decode(&filters[0], nullptr, props.Data(), props.Left()) != LZMA_OK)
        Damaged("bad header coder properties");
    std::unique_ptr<void, decltype(&std::free)> options(filters[0].options, &std::free);
    // The decoder never looks back further than what it unpacks: a larger
    // window from a damaged file would only cost memory.
    auto* lzma = static_cast<lzma_options_lzma*>(filters[0].options);
    lzma->dict_size = static_cast<uint32_t>(
        std::max<uint64_t>(LZMA_DICT_SIZE_MIN, std::min<uint64_t>(lzma->dict_size, size)));
    lzma_stream strm = LZMA_STREAM_INIT;
    std::unique_ptr<lzma_stream, decltype(&lzma_end)> end(&strm, &lzma_end);
    if (lzma_raw_decoder(&strm, filters) != LZMA_OK) Damaged("header coder refused");
    strm.next_in = packed.data();
    strm.avail_in = packed.size();
    // Grown as the output arrives: a claimed size costs only what the data gives.
    std::vector<uint8_t> out;
    while (out.size() < size) {
        const size_t have = out.size();
        const size_t step = static_cast<size_t>(
            std::min<uint64_t>(size - have, std::max<uint64_t>(have, uint64_t{1} << 20)));
        out.resize(have + step);
        strm.next_out = out.data() + have;
        strm.avail_out = step;
        const lzma_ret r = lzma_code(&strm, LZMA_FINISH);
        out.resize(have + step - strm.avail_out);
        if (r == LZMA_STREAM_END) break;
        if (r != LZMA_OK || strm.avail_out != 0) Damaged("header does not unpack");
    }
    if (out.size() != size) Damaged("header does not unpack");
    return out;
}

// Unpacks a header that the one folder of `s` holds.
std::vector<uint8_t> UnpackHeader(int fd, uint64_t fileSize, const TStreams& s) {
    if (s.folders.size() != 1 || s.packSizes.empty()) Damaged("bad packed header");
    const TFolder& f = s.folders[0];
    if (f.encrypted) throw THeaderEncrypted{};
    if (f.coders.size() != 1 || f.numOut != 1) throw TNotRead{"header packed by several coders"};
    const uint64_t packed = s.packSizes[0];
    const uint64_t size = f.UnpackSize();
    if (s.packPos > fileSize - kStartHeaderSize || packed > fileSize - kStartHeaderSize - s.packPos)
        Damaged("header beyond the end of the file");
    if (size > kMaxHeaderSize || packed > kMaxHeaderSize || size / kMaxHeaderRatio > packed)
        Damaged("header too large");
    std::vector<uint8_t> data = ReadAt(fd, kStartHeaderSize + s.packPos, packed);
    std::vector<uint8_t> out;
    switch (f.coders[0]) {
    case kCopy:
        if (packed < size) Damaged("header cut short");
        data.resize(static_cast<size_t>(size));
        out = std::move(data);
        break;
    case kLzma:
    case kLzma2:
        out = Unlzma(data, f.firstProps, f.coders[0] == kLzma2, size);
        break;
    default:
        throw TNotRead{"header packed by an unsupported method"};
    }
    if (f.hasCrc && archiveio::Crc32(out.data(), out.size()) != f.crc)
        Damaged("header checksum mismatch");
    return out;
}

// The header as its signature block finds it, unpacked: starts with kHeader.
// Empty for an archive without members.
std::vector<uint8_t> ReadHeader(int fd, uint64_t fileSize) {
    if (fileSize < kStartHeaderSize) throw TNotRead{"not a 7z archive"};
    const std::vector<uint8_t> start = ReadAt(fd, 0, kStartHeaderSize);
    if (std::memcmp(start.data(), kSignature, sizeof kSignature) != 0)
        throw TNotRead{"not a 7z archive"};
    if (start[6] != 0) throw TNotRead{"unknown 7z version"};
    if (archiveio::Crc32(&start[12], 20) != archiveio::U32(&start[8]))
        Damaged("start header checksum mismatch");
    const uint64_t offset = archiveio::U64(&start[12]);
    const uint64_t size = archiveio::U64(&start[20]);
    if (size == 0) return {};
    if (offset > fileSize - kStartHeaderSize || size > fileSize - kStartHeaderSize - offset)
        Damaged("header beyond the end of the file");
    if (size > kMaxHeaderSize) Damaged("header too large");
    std::vector<uint8_t> header = ReadAt(fd, kStartHeaderSize + offset, size);
    if (archiveio::Crc32(header.data(), header.size()) != archiveio::U32(&start[28]))
        Damaged("header checksum mismatch");
    for (int level = 0; level < kMaxHeaderLevels; ++level) {
        TBytes in(header.data(), header.size());
        const uint64_t type = in.Number();
        if (type == kHeader) return header;
        if (type != kEncodedHeader) Damaged("no header");
        TStreams packedHeader;
        ReadStreamsInfo(in, packedHeader, header.size());
        header = UnpackHeader(fd, fileSize, packedHeader);
    }
    Damaged("header packed too deep");
}

struct TFiles {
    size_t count = 0;
    TBits emptyStream, emptyFile, anti;
    TBytes names; // zero-terminated UTF-16LE, one per member
    bool haveNames = false;
    TBits timeDefined, attrDefined;
    TBytes times, attrs;
};

// Values of `width` bytes for the members `defined` marks, kept in `values`.
TBytes ReadValues(TBytes in, size_t count, unsigned width, TBits& defined) {
    defined = TBits::ReadDefined(in, count);
    if (in.Byte() != 0) throw TNotRead{"member details stored outside the header"};
    in.Need(uint64_t{width} * defined.CountSet());
    return in;
}

// The UTF-16LE units of the next name, without its terminating zero unit.
std::string_view NextName(TBytes& names) {
    const uint8_t* start = names.Data();
    for (;;) {
        const uint8_t lo = names.Byte();
        if ((lo | names.Byte()) == 0) break;
    }
    return {reinterpret_cast<const char*>(start), static_cast<size_t>(names.Data() - start - 2)};
}

TFiles ReadFilesInfo(TBytes& in) {
    TFiles f;
    f.count = in.Count();
    TBytes emptyFile, anti;
    for (uint64_t type = in.Number(); type != kEnd; type = in.Number()) {
        TBytes p = in.Take(in.Number());
        if (type == kEmptyStream) {
            f.emptyStream = TBits::Read(p, f.count);
        } else if (type == kEmptyFile) {
            emptyFile = p;
        } else if (type == kAnti) {
            anti = p;
        } else if (type == kName) {
            if (p.Byte() != 0) throw TNotRead{"names stored outside the header"};
            f.names = p;
            f.haveNames = true;
        } else if (type == kMTime) {
            f.times = ReadValues(p, f.count, 8, f.timeDefined);
        } else if (type == kWinAttributes) {
            f.attrs = ReadValues(p, f.count, 4, f.attrDefined);
        }
    }
    const size_t empty = f.emptyStream.CountSet();
    if (emptyFile.Data()) f.emptyFile = TBits::Read(emptyFile, empty);
    if (anti.Data()) f.anti = TBits::Read(anti, empty);
    if (!f.haveNames && f.count > 0) throw TNotRead{"members without names"};
    TBytes names = f.names;
    for (size_t i = 0; i < f.count; ++i)
        NextName(names);
    return f;
}

TDateTime FileTimeToDateTime(uint64_t ticks) {
    const int64_t seconds = static_cast<int64_t>(ticks / kFileTimeTicks) - kFileTimeToUnix;
    return UnixToDateTime(seconds, static_cast<int64_t>(ticks % kFileTimeTicks) * 100);
}

struct TArchive {
    std::vector<uint8_t> header; // what the spans below point into
    TStreams streams;
    TFiles files;
};

TArchive ReadArchive(int fd, uint64_t fileSize) {
    TArchive a;
    a.header = ReadHeader(fd, fileSize);
    if (a.header.empty()) return a;
    TBytes in(a.header.data() + 1, a.header.size() - 1);
    uint64_t type = in.Number();
    if (type == kArchiveProperties) {
        while (in.Number() != kEnd)
            in.SkipProperty();
        type = in.Number();
    }
    if (type == kAdditionalStreamsInfo) {
        TStreams unused;
        ReadStreamsInfo(in, unused, a.header.size());
        type = in.Number();
    }
    if (type == kMainStreamsInfo) {
        ReadStreamsInfo(in, a.streams, a.header.size());
        type = in.Number();
    }
    if (type == kFilesInfo) {
        a.files = ReadFilesInfo(in);
        type = in.Number();
    }
    if (type != kEnd) Damaged("unknown header property");
    if (a.files.count - a.files.emptyStream.CountSet() != a.streams.sizes.size())
        Damaged("members and streams do not match");
    return a;
}

void HandOver(const TArchive& a, const TMemberSink& onMember) {
    const TFiles& f = a.files;
    const std::vector<TFolder>& folders = a.streams.folders;
    TBytes names = f.names, times = f.times, attrs = f.attrs;
    size_t stream = 0, folder = 0, emptyIndex = 0;
    uint64_t inFolder = 0;
    for (size_t i = 0; i < f.count; ++i) {
        TArchiveMember m;
        m.FileName = Utf16ToUtf8(NextName(names), false, false);
        if (f.timeDefined[i]) m.Date = FileTimeToDateTime(times.U64());
        const bool haveAttr = f.attrDefined[i];
        const uint32_t attr = haveAttr ? attrs.U32() : 0;
        const bool hasData = !f.emptyStream[i];
        bool anti = false;
        if (hasData) {
            while (folder < folders.size() && inFolder >= folders[folder].substreams) {
                ++folder;
                inFolder = 0;
            }
            ++inFolder;
            m.Size = static_cast<int64_t>(a.streams.sizes[stream++]);
            m.Encrypted = folder < folders.size() && folders[folder].encrypted;
        } else {
            if (!f.emptyFile[emptyIndex]) m.Attributes |= faDirectory;
            anti = f.anti[emptyIndex++];
        }
        if (haveAttr && (attr & kAttrUnixMode)) {
            const auto mode = static_cast<mode_t>(attr >> 16);
            if (S_ISLNK(mode) && !m.IsFolder()) m.Attributes |= faSymLink;
            if ((mode & 0222) == 0) m.Attributes |= faReadOnly;
        } else if (attr & kAttrReadOnly) {
            m.Attributes |= faReadOnly;
        }
        // A deletion mark of an update archive, not a member.
        if (anti) continue;
        if (!onMember(m)) return;
    }
}

} // namespace

TListing ListMembers(int fd, uint64_t fileSize, const TMemberSink& onMember) {
    TArchive archive;
    try {
        archive = ReadArchive(fd, fileSize);
    } catch (const TNotRead& e) {
        return TListing{TOutcome::NotRead, e.why};
    } catch (const THeaderEncrypted&) {
        return TListing{TOutcome::HeaderEncrypted, {}};
    }
    HandOver(archive, onMember);
    return TListing{TOutcome::Listed, {}};
}

} // namespace sevenzip
