#include "search/stream_search.h"

#include "catalog/lib_file.h"
#include "catalog/lib_obj.h"
#include "files/input_file.h"
#include "search/entry_matcher.h"
#include "text/message_error.h"
#include "text/name_text.h"
#include "text/string_list.h"
#include "text/text_utils.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <numeric>
#include <optional>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

// Thrown when the stream cannot promise what the full load would give.
struct TGiveUp {};

// The smallest records, as the loader uses them to reject counts that run
// past the end: a count it rejects must be rejected here too.
constexpr int64_t kMinFolderRecord = 4 + 8 + 4 + 4 + 4 + 4 + 4 + 4 + 4 + 4 + 4;
constexpr int64_t kMinEntryRecord = 4 + 8 + 8 + 4 + 4 + 1;
constexpr int64_t kMinCollectionRecord = 4 + 4 + 4 + 4 + 4 + 4 + 4 + 4;
constexpr int64_t kMinCategoryRecord = 4;

constexpr size_t kString = 4 + kMaxStringLength;
// Small enough that what a read copies is still in the cache when it is
// parsed; a record longer than this grows the buffer.
constexpr size_t kBuffer = size_t{128} << 10;
static_assert(kBuffer >= kString);

// The file's fields are little-endian, read as the machine's own numbers.
static_assert(std::endian::native == std::endian::little);

// The file's little-endian fields, read through one buffer that is reused
// (a small buffer refilled costs far less than touching a mapping of the whole
// file). Each read makes its bytes available first; a view into the buffer
// stays valid until the next read, Reserve or More.
class TCursor {
public:
    explicit TCursor(const std::string& path) : buf_(new char[kBuffer]), cap_(kBuffer) {
        // Opened as every input is (a FIFO does not block it); what is not a
        // regular file is left to the full load, which names what it is.
        struct stat st {};
        try {
            fd_ = OpenInputFile(path, st);
        } catch (const EMessageError&) {
            throw TGiveUp{};
        }
        size_ = unread_ = st.st_size;
        p_ = end_ = buf_.get();
    }
    ~TCursor() {
        if (fd_ >= 0) ::close(fd_);
    }
    TCursor(const TCursor&) = delete;
    TCursor& operator=(const TCursor&) = delete;

    // Makes the next `n` bytes available, or the rest of the file when shorter.
    void Reserve(size_t n) {
        if (static_cast<size_t>(end_ - p_) < n && unread_ > 0) Refill(n);
    }
    // Makes more bytes available than now, for a record that runs past the
    // buffer; false at the end of the file.
    bool More() {
        if (unread_ == 0) return false;
        Refill(static_cast<size_t>(end_ - p_) + 1);
        return true;
    }
    // The bytes available: a record is parsed in place, then stepped over.
    const char* At() const { return p_; }
    const char* End() const { return end_; }
    void StepTo(const char* p) { p_ = p; }

    template <class T> T Number() {
        Reserve(sizeof(T));
        Need(sizeof(T));
        T v;
        std::memcpy(&v, p_, sizeof(T));
        p_ += sizeof(T);
        return v;
    }
    int32_t Int32() { return Number<int32_t>(); }
    // A String's bytes as stored (the caller cuts them at a zero byte).
    std::string_view Raw() {
        const int32_t n = Int32();
        if (n < 0 || n > kMaxStringLength) throw TGiveUp{};
        Reserve(static_cast<size_t>(n));
        Need(static_cast<size_t>(n));
        const char* s = p_;
        p_ += n;
        return {s, static_cast<size_t>(n)};
    }
    void Skip() { Raw(); }
    int64_t Remaining() const { return unread_ + (end_ - p_); }
    // Where the next byte to parse stands in the file.
    int64_t Offset() const { return size_ - Remaining(); }
    // The file's bytes between two offsets up to the one parsed next: from
    // the buffer while it still holds them, else read again into `into`.
    std::string_view Again(int64_t from, int64_t to, std::string& into) const {
        const int64_t held = Offset() - (p_ - buf_.get());
        const auto n = static_cast<size_t>(to - from);
        if (from >= held) return {buf_.get() + (from - held), n};
        into.resize(n);
        for (size_t got = 0; got < n;) {
            const ssize_t r = ::pread(fd_, into.data() + got, n - got,
                                      static_cast<off_t>(from + static_cast<int64_t>(got)));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) throw TGiveUp{};
            got += static_cast<size_t>(r);
        }
        return into;
    }
    // The loader's check of a record count against what is left of the file.
    void CheckCount(int64_t count, int64_t minRecord) const {
        if (count < 0 || count > Remaining() / minRecord + 1) throw TGiveUp{};
    }

private:
    // Past the reserved bytes is past the end of the file.
    void Need(size_t n) const {
        if (static_cast<size_t>(end_ - p_) < n) throw TGiveUp{};
    }
    void Refill(size_t n) {
        const size_t left = static_cast<size_t>(end_ - p_);
        if (n > cap_) {
            const size_t cap = std::max(n, 2 * cap_);
            std::unique_ptr<char[]> bigger(new char[cap]);
            std::memcpy(bigger.get(), p_, left);
            buf_ = std::move(bigger);
            cap_ = cap;
        } else {
            std::memmove(buf_.get(), p_, left);
        }
        p_ = buf_.get();
        end_ = p_ + left;
        char* const limit = buf_.get() + cap_;
        while (unread_ > 0 && end_ < limit) {
            const ssize_t r = ::read(fd_, const_cast<char*>(end_),
                                     static_cast<size_t>(std::min<int64_t>(limit - end_, unread_)));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) throw TGiveUp{};
            end_ += r;
            unread_ -= r;
        }
    }

    std::unique_ptr<char[]> buf_;
    size_t cap_ = 0;
    int fd_ = -1;
    int64_t size_ = 0;
    int64_t unread_ = 0;
    const char* p_ = nullptr;
    const char* end_ = nullptr;
};

// One entry record's fields as stored.
struct TStoredEntry {
    std::string_view Caption, Category, Comments, Tags;
    double Date = 0;
    int64_t Size = 0;
    uint8_t IsFolder = 0;
};

// A name's test may read past it into the rest of its record (date, size,
// two lengths and the folder flag at least).
static_assert(TFoldedFinder::kSpare <= 8 + 8 + 4 + 4 + 1);

// Parses the entry record at p: where it ends, or null when it runs past
// `end` (more of the file is needed). A length the format forbids is damage.
const char* ParseEntryFull(const char* p, const char* end, bool withTags, TStoredEntry& e) {
    auto text = [&](std::string_view& into) {
        if (end - p < 4) return false;
        int32_t n;
        std::memcpy(&n, p, 4);
        if (n < 0 || n > kMaxStringLength) throw TGiveUp{};
        if (end - p - 4 < n) return false;
        into = {p + 4, static_cast<size_t>(n)};
        p += 4 + n;
        return true;
    };
    if (!text(e.Caption) || end - p < 16) return nullptr;
    std::memcpy(&e.Date, p, 8);
    std::memcpy(&e.Size, p + 8, 8);
    p += 16;
    if (!text(e.Category) || !text(e.Comments) || end - p < 1) return nullptr;
    e.IsFolder = static_cast<uint8_t>(*p++);
    if (withTags) {
        if (!text(e.Tags)) return nullptr;
    } else {
        e.Tags = {};
    }
    return p;
}

// ParseEntryFull, with the common record first: a name, then no category,
// comments or tags, whole in the buffer. It runs for every entry of the file.
inline const char* ParseEntry(const char* p, const char* end, bool withTags, TStoredEntry& e) {
    // After the name: date, size, two lengths, the folder flag, and the tags' length.
    const size_t rest = 8 + 8 + 4 + 4 + 1 + (withTags ? 4 : 0);
    if (end - p >= 4) {
        uint32_t n;
        std::memcpy(&n, p, 4);
        if (n <= static_cast<uint32_t>(kMaxStringLength) &&
            static_cast<size_t>(end - p) >= 4 + n + rest) {
            const char* q = p + 4 + n;
            uint32_t texts[2], tags = 0;
            std::memcpy(texts, q + 16, 8);
            if (withTags) std::memcpy(&tags, q + 25, 4);
            if ((texts[0] | texts[1] | tags) == 0) {
                e.Caption = {p + 4, n};
                std::memcpy(&e.Date, q, 8);
                std::memcpy(&e.Size, q + 8, 8);
                e.Category = e.Comments = e.Tags = {};
                e.IsFolder = static_cast<uint8_t>(q[24]);
                return q + rest;
            }
        }
    }
    return ParseEntryFull(p, end, withTags, e);
}

// The order of two stored names by their bytes alone, where that is sure:
// they first differ after a run of plain ASCII, which decoding keeps as it
// is, at ASCII bytes that fold apart, at an ASCII byte against one beyond
// (which decodes to a byte above any ASCII, whatever the name's encoding), or
// at a zero byte (where the decoded name ends). 0 when only the decoded names
// can tell (two bytes beyond ASCII, a case difference, one name the start of
// the other).
int StoredOrder(std::string_view a, std::string_view b) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        // A zero byte or one above 0x7F (exact below the first zero byte).
        const uint64_t odd = (((x - kOnes) & ~x) | x) & kHighs;
        if (x == y) {
            if (odd) return 0;
            continue;
        }
        // Straight to the first byte that differs (the bytes are little-endian
        // in the word), after checking the ones before it.
        const int k = __builtin_ctzll(x ^ y) / 8;
        if (odd & ((uint64_t{1} << (8 * k)) - 1)) return 0;
        i += static_cast<size_t>(k);
        break;
    }
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x == y) {
            if (x == 0 || x >= 0x80) return 0;
            continue;
        }
        if (x == 0) return -1;
        if (y == 0) return 1;
        if (x >= 0x80 || y >= 0x80) return x >= 0x80 && y >= 0x80 ? 0 : x < y ? -1 : 1;
        const unsigned char fx = FoldChar(a[i]), fy = FoldChar(b[i]);
        return fx == fy ? 0 : fx < fy ? -1 : 1;
    }
    return 0;
}

// A String's text as the loader keeps it: cut at the first zero byte; UTF-8
// stays, anything else is read as Windows-1252 (into `scratch`). Names are
// looked at eight bytes at a time: this runs for every entry of the file.
std::string_view Decoded(std::string_view raw, std::string& scratch) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    const char* p = raw.data();
    const size_t n = raw.size();
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t v;
        std::memcpy(&v, p + i, 8);
        // Stop at a block with a zero byte or a byte above 0x7F.
        if ((((v - kOnes) & ~v) | v) & kHighs) break;
    }
    const void* zero = std::memchr(p + i, 0, n - i);
    const std::string_view s(p, zero ? static_cast<size_t>(static_cast<const char*>(zero) - p) : n);
    // What comes before i is ASCII: no sequence starts there.
    if (nametext::IsValidUtf8(s.substr(std::min(i, s.size())))) return s;
    scratch = nametext::Cp1252ToUtf8(s);
    return scratch;
}

bool UsesTags(const TSearchCriteria& c) {
    return c.DurationUse || c.TakenUse;
}

// One level of the folder path: what the folder's entries need of it.
struct TFrame {
    std::string Caption, Category, Comments;
    size_t PathEnd = 0; // where the folder's catalog path ends in the shared path
};

// A folder record's place, for collections that link to it.
struct TFolderIndex {
    int32_t AbsoluteIndex;
    int32_t Volume; // the volume's ordinal when the folder is a volume, else -1
};

class TStreamRun {
public:
    TStreamRun(const TSearchCriteria& c, const TStreamSearch::TOnHit& onHit, TSearchStats& stats)
        : matcher_(c), onHit_(onHit), stats_(stats), tags_(UsesTags(c)) {}

    void Run(TCursor& in) {
        std::string scratch;
        const std::string version(Decoded(in.Raw(), scratch));
        if (version != kCurrentVersion && version != kOldVersion) throw TGiveUp{};
        withTags_ = version != kOldVersion;
        in.Skip(); // comments
        const int32_t folders = in.Int32();
        const int32_t collections = in.Int32();
        in.Skip(); // category
        const int32_t categories = in.Int32();
        wantIndex_ = collections != 0;
        in.CheckCount(folders, kMinFolderRecord);
        for (int32_t i = 0; i < folders; ++i)
            ReadFolder(in);
        in.CheckCount(collections, kMinCollectionRecord);
        int32_t colDepth = 0;
        for (int32_t i = 0; i < collections; ++i)
            ReadCollection(in, colDepth);
        in.CheckCount(categories, kMinCategoryRecord);
        for (int32_t i = 0; i < categories; ++i)
            in.Skip();
        // Rows of linked volumes count as collection rows.
        for (const auto& [volume, rows] : rowsByVolume_)
            if (volume < static_cast<int32_t>(linkedVolume_.size()) &&
                linkedVolume_[static_cast<size_t>(volume)])
                stats_.Collections += rows;
    }

private:
    void ReadFolder(TCursor& in) {
        // Each text is copied at once, so that a refill between them moves nothing
        // they point to and the buffer need not hold the whole record.
        auto text = [&](std::string& into) {
            into.assign(Decoded(in.Raw(), scratch_[0]));
            return std::string_view(into);
        };
        const std::string_view caption = text(folder_[0]);
        in.Number<double>(); // date
        const std::string_view category = text(folder_[1]);
        const std::string_view comments = text(folder_[2]);
        const std::string_view location = text(folder_[3]);
        const int32_t level = in.Int32();
        const int32_t kind = in.Int32();
        const int32_t items = in.Int32();
        const int32_t absoluteIndex = in.Int32();
        in.Skip(); // serial
        in.Skip(); // source path
        // The loader's level rule: a volume record starts a new root, as does
        // the first record and one of level 0; any other goes under the
        // folder one level up, at most one level below the record before.
        if (level < 0) throw TGiveUp{};
        if (kind == 0) depth_ = 0;
        const bool root = depth_ == 0 || level == 0;
        if (!root && level > depth_) throw TGiveUp{};
        const size_t at = root ? 0 : static_cast<size_t>(level);
        // The load sorts volumes and sibling folders; the stream needs them in
        // that order already, and no two alike.
        if (root) {
            if (haveRoot_ && CompareNames(lastRoot_, caption) >= 0) throw TGiveUp{};
            lastRoot_.assign(caption);
            haveRoot_ = true;
        } else if (static_cast<size_t>(depth_) > at &&
                   CompareNames(frames_[at].Caption, caption) >= 0) {
            throw TGiveUp{};
        }
        depth_ = static_cast<int32_t>(at) + 1;
        if (frames_.size() < at + 1) frames_.resize(at + 1);
        TFrame& f = frames_[at];
        f.Caption.assign(caption);
        f.Category.assign(category);
        f.Comments.assign(comments);
        path_.resize(at ? frames_[at - 1].PathEnd : 0);
        if (root) {
            ++volume_;
            volumeLocation_.assign(location);
            // A volume titled "C:\" keeps one separator, not two.
            std::string_view part = caption;
            if (!part.empty() && part.find('\\') == part.size() - 1) part.remove_suffix(1);
            path_ += nametext::CaptionToPathPart(part);
        } else {
            path_ += nametext::CaptionToPathPart(caption);
        }
        path_ += '\\';
        f.PathEnd = path_.size();
        if (wantIndex_) index_.push_back({absoluteIndex, root ? volume_ : -1});
        in.CheckCount(items, kMinEntryRecord);
        const bool active =
            matcher_.EnterFolder(frames_[0].Caption, volumeLocation_, f.Category, f.Comments);
        ReadEntries(in, items, active);
    }

    // The load sorts a folder's entries and drops a repeated name, which
    // changes the rows only of a folder with a row: its order is proved from
    // its first row on as the entries come, and before that row by reading
    // those entries again. A folder without a row costs no comparison.
    void ReadEntries(TCursor& in, int32_t items, bool active) {
        std::string_view previous; // the stored name before, for the order
        bool checking = false;     // the order is proved up to `previous`
        const int64_t first = in.Offset();
        TStoredEntry r;
        TMatchEntry e;
        beforeDecoded_.reset();
        for (int32_t k = 0; k < items; ++k) {
            const char* next;
            while (!(next = ParseEntry(in.At(), in.End(), withTags_, r))) {
                // The name before is compared with the next: keep it over the refill.
                if (checking && previous.data() != previousCopy_.data()) {
                    previousCopy_.assign(previous);
                    previous = previousCopy_;
                }
                beforeDecoded_.reset(); // it may point into the buffer
                if (!in.More()) throw TGiveUp{};
            }
            in.StepTo(next);
            if (r.Size < 0) throw TGiveUp{};
            if (checking) CheckOrder(previous, r.Caption);
            previous = r.Caption;
            // Only a name that may match is decoded; the record is walked
            // whole all the same. The caption is followed by the rest of its
            // record, more than the spare bytes the test may read.
            if (!active || !matcher_.StoredNameMayMatch(r.Caption)) continue;
            e.Caption = Decoded(r.Caption, scratch_[0]);
            e.Date = r.Date;
            e.Size = r.Size;
            e.IsFolder = r.IsFolder != 0;
            e.Category = r.Category.empty() ? r.Category : Decoded(r.Category, scratch_[1]);
            e.Comments = r.Comments.empty() ? r.Comments : Decoded(r.Comments, scratch_[2]);
            e.Tags = {};
            if (tags_ && !r.Tags.empty()) {
                e.Tags = Decoded(r.Tags, scratch_[3]);
                // Any other form the load rewrites, which the stream does not try.
                if (!TTagInfo::IsStoredForm(e.Tags)) throw TGiveUp{};
            }
            if (!matcher_.Matches(e)) continue;
            if (!checking) {
                CheckOrderAgain(in, first, in.Offset());
                checking = true;
            }
            Hit(e);
        }
    }

    // Proves the order of the entry records between two offsets of the file.
    void CheckOrderAgain(const TCursor& in, int64_t from, int64_t to) {
        const std::string_view bytes = in.Again(from, to, again_);
        const char* p = bytes.data();
        const char* const end = p + bytes.size();
        std::string_view previous;
        TStoredEntry r;
        beforeDecoded_.reset();
        for (bool first = true; p < end; first = false) {
            p = ParseEntry(p, end, withTags_, r);
            if (!p) throw TGiveUp{};
            if (!first) CheckOrder(previous, r.Caption);
            previous = r.Caption;
        }
        beforeDecoded_.reset(); // it pointed into what was read again
    }

    // Gives up unless `name` sorts after `before` as the load sorts them.
    // Each name is decoded at most once here: as the later name of one pair,
    // then kept as the earlier name of the next.
    void CheckOrder(std::string_view before, std::string_view name) {
        int order = StoredOrder(before, name);
        if (order == 0) {
            const std::string_view a =
                beforeDecoded_ ? *beforeDecoded_ : Decoded(before, orderScratch_[slot_ ^ 1]);
            const std::string_view b = Decoded(name, orderScratch_[slot_]);
            order = CompareNames(a, b);
            beforeDecoded_ = b;
            slot_ ^= 1;
        } else {
            beforeDecoded_.reset();
        }
        if (order >= 0) throw TGiveUp{};
    }

    void Hit(const TMatchEntry& e) {
        TStreamHit h;
        h.Caption = e.Caption;
        h.Category = e.Category;
        h.Comments = e.Comments;
        h.Date = e.Date;
        h.Size = e.Size;
        h.IsFolder = e.IsFolder;
        h.VolumeCaption = frames_[0].Caption;
        h.VolumeLocation = volumeLocation_;
        h.FolderPath = path_;
        // The same counts as the engine: volume changes between rows, and a
        // plain sum of sizes.
        if (rowsByVolume_.empty() || rowsByVolume_.back().first != volume_) {
            ++stats_.Volumes;
            rowsByVolume_.emplace_back(volume_, 0);
        }
        ++rowsByVolume_.back().second;
        if (e.IsFolder)
            ++stats_.Folders;
        else
            ++stats_.Files;
        stats_.AddSize(e.Size);
        onHit_(h);
    }

    void ReadCollection(TCursor& in, int32_t& depth) {
        in.Skip(); // caption
        int32_t kind = in.Int32();
        const int32_t level = in.Int32();
        in.Skip(); // memo
        in.Skip(); // URL
        const int32_t folderIndex = in.Int32();
        in.Skip();  // link path
        in.Int32(); // image
        if (kind < TLibColItem::kMemo || kind > TLibColItem::kArchiveLink)
            kind = TLibColItem::kMemo;
        if (level < 0 || (depth > 0 && level > depth)) throw TGiveUp{};
        depth = (depth == 0 ? 0 : level) + 1;
        if (folderIndex == -1 || kind == TLibColItem::kMemo) return;
        if (firstByIndex_.empty() && !index_.empty()) {
            // The loader links to the first folder of an index.
            firstByIndex_.reserve(index_.size());
            for (const auto& f : index_)
                firstByIndex_.emplace(f.AbsoluteIndex, f.Volume);
        }
        auto it = firstByIndex_.find(folderIndex);
        if (it == firstByIndex_.end()) return;
        // A link to an entry is found by its path; the stream leaves that to the load.
        if (kind == TLibColItem::kFileLink) throw TGiveUp{};
        if (it->second < 0) return; // a folder's link shows on no result row
        if (linkedVolume_.size() <= static_cast<size_t>(it->second))
            linkedVolume_.resize(static_cast<size_t>(it->second) + 1);
        linkedVolume_[static_cast<size_t>(it->second)] = true;
    }

    TEntryMatcher matcher_;
    const TStreamSearch::TOnHit& onHit_;
    TSearchStats& stats_;
    const bool tags_;
    bool withTags_ = true;

    std::vector<TFrame> frames_;
    int32_t depth_ = 0;
    std::string path_;
    std::string lastRoot_;
    bool haveRoot_ = false;
    int32_t volume_ = -1; // ordinal of the current volume
    std::string volumeLocation_;
    std::string scratch_[4];
    std::string orderScratch_[2];
    std::optional<std::string_view> beforeDecoded_; // the earlier name decoded, when it was
    int slot_ = 0;                                  // the scratch the later name is decoded into
    std::string previousCopy_;
    std::string again_;     // entries read again to prove their order
    std::string folder_[4]; // caption, category, comments, location of the folder read last

    std::vector<std::pair<int32_t, int32_t>> rowsByVolume_;
    bool wantIndex_ = false;
    std::vector<TFolderIndex> index_;
    std::unordered_map<int32_t, int32_t> firstByIndex_;
    std::vector<bool> linkedVolume_;
};

std::string EntryTypeText(std::string_view caption, bool isFolder) {
    if (isFolder) return {};
    auto dot = caption.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string_view ext = caption.substr(dot + 1);
    if (ext.find('/') != std::string_view::npos) return {};
    std::string out(ext);
    for (char& ch : out)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    return out;
}

} // namespace

TStreamRow::TStreamRow(const TStreamHit& h)
    : Caption(h.Caption), Category(h.Category), Comments(h.Comments),
      VolumeCaption(h.VolumeCaption), VolumeLocation(h.VolumeLocation), FolderPath(h.FolderPath),
      Date(h.Date), Size(h.Size), IsFolder(h.IsFolder) {}

TStreamHit TStreamRow::View() const {
    TStreamHit h;
    h.Caption = Caption;
    h.Category = Category;
    h.Comments = Comments;
    h.Date = Date;
    h.Size = Size;
    h.IsFolder = IsFolder;
    h.VolumeCaption = VolumeCaption;
    h.VolumeLocation = VolumeLocation;
    h.FolderPath = FolderPath;
    return h;
}

void SortStreamRows(std::vector<TStreamRow>& rows, int column, bool descending) {
    const size_t n = rows.size();
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    auto sortBy = [&](const auto& keyOf) {
        using TKey = std::decay_t<decltype(keyOf(rows[0]))>;
        std::vector<TKey> keys;
        keys.reserve(n);
        for (const auto& r : rows)
            keys.push_back(keyOf(r));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return descending ? keys[b] < keys[a] : keys[a] < keys[b];
        });
    };
    auto view = [](const std::string& s) { return std::string_view(s); };
    switch (column) {
    case kColSize:
        sortBy([](const TStreamRow& r) { return r.Size; });
        break;
    case kColDate:
        sortBy([](const TStreamRow& r) { return r.Date; });
        break;
    case kColName:
        sortBy([&](const TStreamRow& r) { return view(r.Caption); });
        break;
    case kColCategory:
        sortBy([&](const TStreamRow& r) { return view(r.Category); });
        break;
    case kColComments:
        sortBy([&](const TStreamRow& r) { return view(r.Comments); });
        break;
    case kColVolume:
        sortBy([&](const TStreamRow& r) { return view(r.VolumeCaption); });
        break;
    case kColLocation:
        sortBy([&](const TStreamRow& r) { return view(r.VolumeLocation); });
        break;
    case kColType:
    case kColPath:
    case kColFullName:
        sortBy([&](const TStreamRow& r) { return StreamCellText(r.View(), column, {}); });
        break;
    default: // no column, or the duplicates cell, empty in every row
        return;
    }
    std::vector<TStreamRow> sorted;
    sorted.reserve(n);
    for (size_t i : order)
        sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
}

bool CanStreamSearch(const TSearchCriteria& c) {
    return (c.Mode == TSearchMode::Normal || c.Mode == TSearchMode::Anywhere) && !c.Duplicates &&
           !c.ReplaceCategory && !c.ReplaceComments;
}

bool TStreamSearch::Run(const std::string& path, const TOnHit& onHit) {
    stats_ = {};
    if (!CanStreamSearch(criteria_)) return false;
    try {
        TCursor in(path);
        TStreamRun run(criteria_, onHit, stats_);
        run.Run(in);
        return true;
    } catch (const TGiveUp&) {
        stats_ = {};
        return false;
    }
}

std::string StreamCellText(const TStreamHit& h, int column, const TCellFormat& fmt) {
    switch (column) {
    case kColName:
        return std::string(h.Caption);
    case kColType:
        return EntryTypeText(h.Caption, h.IsFolder);
    case kColVolume:
        return std::string(h.VolumeCaption);
    case kColPath:
        return std::string(h.FolderPath);
    case kColSize:
        return FormatSize(fmt.SizeUnit, static_cast<int64_t>(h.Size), fmt.KBText, fmt.MBText);
    case kColDate:
        return FormatDateTime(h.Date);
    case kColCategory:
        return std::string(h.Category);
    case kColComments:
        return OneLineText(h.Comments, fmt.NewLine);
    case kColFullName:
        return std::string(h.FolderPath) + nametext::CaptionToPathPart(h.Caption);
    case kColLocation:
        return std::string(h.VolumeLocation);
    default: // the duplicates cell, or no column
        return {};
    }
}
