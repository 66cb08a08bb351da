#include "rar_writer.h"

#include "archives/archive_io.h"
#include "support/put_bytes.h"

namespace {

// The reader's CRC is checked against an outside value in the reader tests.
uint32_t Crc32(const std::string& s) {
    return archiveio::Crc32(s.data(), s.size());
}

void PutVint(std::string& s, uint64_t v) {
    do {
        uint8_t b = v & 0x7F;
        v >>= 7;
        if (v) b |= 0x80;
        s += static_cast<char>(b);
    } while (v);
}

// RAR 4 block: CRC16 (low half of the CRC-32 of the rest), type, flags, size, body.
std::string Block4(uint8_t type, uint16_t flags, const std::string& body) {
    std::string rest;
    rest += static_cast<char>(type);
    Put16(rest, flags);
    Put16(rest, static_cast<uint32_t>(2 + rest.size() + 2 + body.size()));
    rest += body;
    std::string out;
    Put16(out, Crc32(rest) & 0xFFFF);
    return out + rest;
}

// RAR 5 block: CRC-32 of (size vint + header), header size vint, header.
std::string Block5(const std::string& header) {
    std::string sized;
    PutVint(sized, header.size());
    sized += header;
    std::string out;
    Put32(out, Crc32(sized));
    return out + sized;
}

} // namespace

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    uint32_t time = static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return (date << 16) | time;
}

std::string MakeRar4(const std::vector<TRarTestMember>& members, const TRarTestOptions& o) {
    std::string out = o.Prefix + std::string("Rar!\x1A\x07\x00", 7);
    std::string mainBody(6, '\0');
    out += Block4(0x73, o.MainFlags, mainBody);
    if (o.MainFlags & 0x80) { // what follows is encrypted: random-looking bytes
        for (int i = 0; i < 64; ++i)
            out += static_cast<char>((i * 73 + 41) & 0xFF);
        return out;
    }
    for (const TRarTestMember& m : members) {
        std::string name = m.RawName.empty() ? m.Name : m.RawName;
        if (m.RawName.empty() && m.HostOS != 3)
            for (char& c : name)
                if (c == '/') c = '\\';
        uint64_t unp = m.UnpSize == ~0ull ? m.Data.size() : m.UnpSize;
        uint64_t pack = m.Data.size();
        bool high = unp > 0xFFFFFFFFu || pack > 0xFFFFFFFFu;
        uint16_t flags = 0x8000 | m.Flags; // data follows the header
        if (m.Folder) flags |= 0xE0;
        if (m.Utf8Name || m.UnicodeFlag) flags |= 0x200;
        if (high) flags |= 0x100;
        if (m.ExtTimeSecond >= 0) flags |= 0x1000;
        std::string body;
        Put32(body, static_cast<uint32_t>(pack));
        Put32(body, static_cast<uint32_t>(unp));
        body += static_cast<char>(m.HostOS);
        Put32(body, Crc32(m.Data));
        Put32(body, m.DosTime);
        body += static_cast<char>(29);   // unpack version 2.9
        body += static_cast<char>(0x30); // stored
        Put16(body, static_cast<uint32_t>(name.size()));
        uint32_t attr = m.Attributes;
        if (attr == 0 && m.HostOS == 3) attr = m.Folder ? 040755 : 0100644;
        if (attr == 0) attr = m.Folder ? 0x10 : 0x20;
        Put32(body, attr);
        if (high) {
            Put32(body, static_cast<uint32_t>(pack >> 32));
            Put32(body, static_cast<uint32_t>(unp >> 32));
        }
        body += name;
        if (m.ExtTimeSecond >= 0) // last change only, no fraction bytes
            Put16(body, (0x8u | (m.ExtTimeSecond ? 0x4u : 0u)) << 12);
        out += Block4(0x74, flags, body);
        out += m.Data;
    }
    if (o.EndBlock) out += Block4(0x7B, 0x4000, "");
    return out;
}

std::string MakeRar5(const std::vector<TRarTestMember>& members, const TRarTestOptions& o) {
    std::string out = o.Prefix + std::string("Rar!\x1A\x07\x01\x00", 8);
    if (o.EncryptedHeaders) {
        std::string crypt;
        PutVint(crypt, 4); // archive encryption header
        PutVint(crypt, 0);
        PutVint(crypt, 0); // version: AES-256
        PutVint(crypt, 0); // flags
        crypt += static_cast<char>(15);
        crypt += std::string(16, '\x5A'); // salt
        out += Block5(crypt);
        out += std::string(48, '\x3C'); // encrypted headers follow
        return out;
    }
    std::string mainHdr;
    PutVint(mainHdr, 1); // main archive header
    PutVint(mainHdr, 0); // header flags
    PutVint(mainHdr, o.ArchiveFlags);
    out += Block5(mainHdr);
    for (const TRarTestMember& m : members) {
        uint64_t unp = m.UnpSize == ~0ull ? m.Data.size() : m.UnpSize;
        std::string h;
        PutVint(h, 2); // file header
        // header flags: a data area follows (empty for folders); split before, after
        PutVint(h, 0x02 | ((m.Flags & 0x01) ? 0x08 : 0) | ((m.Flags & 0x02) ? 0x10 : 0));
        PutVint(h, m.Folder ? 0 : m.Data.size());
        PutVint(h, (m.Folder ? 0x01 : 0) | 0x02 | (m.Folder ? 0 : 0x04)); // dir, mtime, crc
        PutVint(h, m.Folder ? 0 : unp);
        PutVint(h, m.Folder ? 0x10 : 0x20); // attributes (Windows)
        Put32(h, m.UnixTime);
        if (!m.Folder) Put32(h, Crc32(m.Data));
        PutVint(h, 0); // compression: version 0, stored
        PutVint(h, 0); // host: Windows
        PutVint(h, m.Name.size() + m.NameLenExtra);
        h += m.Name;
        out += Block5(h);
        if (!m.Folder) out += m.Data;
    }
    if (!o.EndBlock) return out;
    std::string endHdr;
    PutVint(endHdr, 5);
    PutVint(endHdr, 0);
    PutVint(endHdr, 0);
    out += Block5(endHdr);
    return out;
}
