#include "media/thumb_exif.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kMaxIfds = 32;
constexpr unsigned kMaxEntries = 1024;

class TTiffReader {
public:
    TTiffReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Header(size_t& firstIfd) {
        if (size_ < 8) return false;
        if (data_[0] == 'I' && data_[1] == 'I')
            little_ = true;
        else if (data_[0] == 'M' && data_[1] == 'M')
            little_ = false;
        else
            return false;
        const uint16_t magic = U16(2);
        if (magic != 42 && magic != 0x4F52 && magic != 0x5352 && magic != 0x55) return false;
        firstIfd = U32(4);
        return true;
    }

    void Walk(size_t ifd, TTiffFacts& facts) {
        std::vector<size_t> todo{ifd};
        bool first = true;
        while (!todo.empty() && visited_.size() < kMaxIfds) {
            const size_t at = todo.back();
            todo.pop_back();
            if (at < 8 || at + 2 > size_ ||
                std::find(visited_.begin(), visited_.end(), at) != visited_.end())
                continue;
            visited_.push_back(at);
            ReadIfd(at, first, facts, todo);
            first = false;
        }
    }

private:
    uint16_t U16(size_t at) const {
        if (at + 2 > size_) return 0;
        const uint8_t* p = data_ + at;
        return little_ ? static_cast<uint16_t>(p[0] | p[1] << 8)
                       : static_cast<uint16_t>(p[0] << 8 | p[1]);
    }
    uint32_t U32(size_t at) const {
        if (at + 4 > size_) return 0;
        const uint8_t* p = data_ + at;
        return little_
                   ? static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24)
                   : static_cast<uint32_t>(uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]);
    }

    // The first value of an entry as a number (SHORT or LONG).
    uint32_t Value(size_t entry, uint16_t type) const {
        return type == 3 ? U16(entry + 8) : U32(entry + 8);
    }
    // Where the values of an entry lie; 0 when they do not fit in the bytes.
    size_t ValuesAt(size_t entry, uint16_t type, uint32_t count) const {
        const size_t unit = type == 3 ? 2 : type == 4 || type == 13 ? 4 : 1;
        if (count > size_ / unit) return 0;
        const size_t bytes = unit * count;
        const size_t at = bytes <= 4 ? entry + 8 : U32(entry + 8);
        return at + bytes <= size_ ? at : 0;
    }

    void AddPreview(size_t offset, size_t length, TTiffFacts& facts) const {
        if (length < 4 || offset >= size_ || length > size_ - offset) return;
        if (data_[offset] != 0xFF || data_[offset + 1] != 0xD8) return;
        facts.Previews.push_back({offset, length});
    }

    void ReadIfd(size_t at, bool first, TTiffFacts& facts, std::vector<size_t>& todo) {
        const unsigned count = std::min<unsigned>(U16(at), kMaxEntries);
        uint32_t jpegAt = 0, jpegLength = 0, stripAt = 0, stripLength = 0, compression = 0;
        for (unsigned i = 0; i < count; ++i) {
            const size_t e = at + 2 + size_t{i} * 12;
            if (e + 12 > size_) return;
            const uint16_t tag = U16(e), type = U16(e + 2);
            const uint32_t n = U32(e + 4);
            switch (tag) {
            case 0x0112: // Orientation
                if (first && type == 3) facts.Orientation = U16(e + 8);
                break;
            case 0x0103:
                compression = Value(e, type);
                break;
            case 0x0111: // StripOffsets: one strip only is a whole preview
                if (n == 1) stripAt = Value(e, type);
                break;
            case 0x0117:
                if (n == 1) stripLength = Value(e, type);
                break;
            case 0x0201:
                jpegAt = Value(e, type);
                break;
            case 0x0202:
                jpegLength = Value(e, type);
                break;
            case 0x002E: // a raw file's JPEG from the raw data, stored in the entry
                if (type == 7) AddPreview(ValuesAt(e, type, n), n, facts);
                break;
            case 0x014A: // SubIFDs
                if (type == 4 || type == 13) {
                    const size_t values = ValuesAt(e, type, n);
                    for (uint32_t k = 0; values && k < std::min<uint32_t>(n, kMaxIfds); ++k)
                        todo.push_back(U32(values + size_t{k} * 4));
                }
                break;
            default:
                break;
            }
        }
        if (jpegAt && jpegLength) AddPreview(jpegAt, jpegLength, facts);
        if ((compression == 6 || compression == 7) && stripAt && stripLength)
            AddPreview(stripAt, stripLength, facts);
        const size_t next = at + 2 + size_t{count} * 12;
        if (const uint32_t following = U32(next)) todo.push_back(following);
    }

    const uint8_t* data_;
    size_t size_;
    bool little_ = true;
    std::vector<size_t> visited_;
};

} // namespace

TTiffFacts ReadTiffFacts(const uint8_t* data, size_t size) {
    TTiffFacts facts;
    TTiffReader reader(data, size);
    size_t first = 0;
    if (reader.Header(first)) reader.Walk(first, facts);
    if (facts.Orientation < 1 || facts.Orientation > 8) facts.Orientation = 0;
    return facts;
}

bool FindJpegExif(const uint8_t* data, size_t size, size_t& start, size_t& length) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) return false;
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        // The picture data starts: no Exif comes after it.
        if (marker == 0xDA || marker == 0xD9) return false;
        const size_t segment = size_t{data[at + 2]} << 8 | data[at + 3];
        if (segment < 2 || at + 2 + segment > size) return false;
        if (marker == 0xE1 && segment >= 8 && std::memcmp(data + at + 4, "Exif\0\0", 6) == 0) {
            start = at + 10;
            length = segment - 8;
            return true;
        }
        at += 2 + segment;
    }
    return false;
}
