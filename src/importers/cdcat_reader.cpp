#include "importers/cdcat_reader.h"

#include "importers/peer_values.h"
#include "importers/xml_byte_filter.h"
#include "text/message_error.h"
#include "text/name_text.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <expat.h>
#include <iconv.h>

namespace {

constexpr std::string_view kEncryptedMark = "__ENCRYTED_HCF__";
constexpr size_t kChunk = 256 * 1024;
constexpr int kMaxDepth = 4096;
constexpr size_t kMaxText = 4u << 20; // one comment, tag block or archive line

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    return out;
}

// The encoding named by the XML declaration at the start of `head`; empty when none.
std::string DeclaredEncoding(std::string_view head) {
    if (head.rfind("<?xml", 0) != 0) return {};
    std::string_view decl = head.substr(0, head.find("?>"));
    size_t k = decl.find("encoding");
    if (k == std::string_view::npos) return {};
    k = decl.find_first_of("\"'", k);
    if (k == std::string_view::npos) return {};
    size_t end = decl.find(decl[k], k + 1);
    if (end == std::string_view::npos) return {};
    return Lower(decl.substr(k + 1, end - k - 1));
}

// Offset of the first element's "<" after the prolog and its name; npos when
// the prefix does not show one (a declared internal subset included).
size_t FirstElement(std::string_view s, std::string& name) {
    size_t i = 0;
    for (;;) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n'))
            ++i;
        if (i >= s.size() || s[i] != '<') return std::string_view::npos;
        std::string_view rest = s.substr(i);
        size_t end;
        if (rest.rfind("<!--", 0) == 0) {
            end = s.find("-->", i + 4);
            if (end == std::string_view::npos) return end;
            i = end + 3;
        } else if (rest.rfind("<?", 0) == 0) {
            end = s.find("?>", i + 2);
            if (end == std::string_view::npos) return end;
            i = end + 2;
        } else if (rest.rfind("<!", 0) == 0) {
            end = s.find_first_of("[>", i);
            if (end == std::string_view::npos || s[end] == '[') return std::string_view::npos;
            i = end + 1;
        } else {
            size_t j = i + 1;
            while (j < s.size() && s[j] != ' ' && s[j] != '>' && s[j] != '/' && s[j] != '\t' &&
                   s[j] != '\r' && s[j] != '\n')
                ++j;
            name.assign(s.substr(i + 1, j - i - 1));
            return i;
        }
    }
}

// A single-byte character set as expat's byte map, through iconv; false when
// iconv does not know it or it is not ASCII-compatible single-byte.
bool SingleByteMap(const char* charset, int map[256]) {
    iconv_t cd = iconv_open("UTF-32LE", charset);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    bool ok = true;
    for (int b = 0; b < 256 && ok; ++b) {
        char in = static_cast<char>(b);
        unsigned char out[8];
        char* pin = &in;
        char* pout = reinterpret_cast<char*>(out);
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        size_t rc = iconv(cd, &pin, &inLeft, &pout, &outLeft);
        if (rc == static_cast<size_t>(-1) || inLeft != 0 || outLeft != 4) {
            if (b < 0x80) ok = false;
            map[b] = 0xFFFD;
            continue;
        }
        const int cp = out[0] | (out[1] << 8) | (out[2] << 16) | (out[3] << 24);
        if (b < 0x80 && cp != b) ok = false;
        map[b] = cp;
    }
    iconv_close(cd);
    return ok;
}

int XMLCALL UnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    int map[256];
    if (!SingleByteMap(name, map)) return XML_STATUS_ERROR;
    for (int i = 0; i < 256; ++i)
        info->map[i] = map[i];
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

class TCdcatParser {
public:
    TCdcatParser(TPeerBuilder& b, const std::string& shown) : b_(b), shown_(shown) {}

    void Run(TPeerInput& input, IProgress& progress);

private:
    enum class TKind { Root, Media, Directory, File, Skip, Text, Other };
    enum class TText { None, Comment, Category, Borrow, Mp3Tag, FileInfo, Exif, Archive, Ignored };
    struct TElem {
        TKind Kind;
        TLibFolderItem* Entry = nullptr; // directory and file
        TLibFolder* Folder = nullptr;    // directory
    };
    struct TMedia {
        std::string Owner, Type, Number, Borrow, Comment, Category, FirstCategory;
        bool HasCategory = false;
        TDateTime Date = 0;
        TLibFolder* Volume = nullptr;
    };

    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** atts) {
        static_cast<TCdcatParser*>(self)->Guard([&](TCdcatParser& p) { p.Start(name, atts); });
    }
    static void XMLCALL OnEnd(void* self, const XML_Char*) {
        static_cast<TCdcatParser*>(self)->Guard([](TCdcatParser& p) { p.End(); });
    }
    static void XMLCALL OnText(void* self, const XML_Char* s, int len) {
        static_cast<TCdcatParser*>(self)->Guard(
            [&](TCdcatParser& p) { p.Text(std::string_view(s, static_cast<size_t>(len))); });
    }
    static void XMLCALL OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*,
                                  int hasInternalSubset) {
        if (hasInternalSubset)
            static_cast<TCdcatParser*>(self)->Guard([](TCdcatParser& p) {
                p.Fail("the file declares entities of its own, which a catalog never does");
            });
    }
    static void XMLCALL OnEntity(void* self, const XML_Char*, int, const XML_Char*, int,
                                 const XML_Char*, const XML_Char*, const XML_Char*,
                                 const XML_Char*) {
        static_cast<TCdcatParser*>(self)->Guard([](TCdcatParser& p) {
            p.Fail("the file declares entities of its own, which a catalog never does");
        });
    }

    // Exceptions must not cross expat's C frames: keep one and stop the parser.
    template <typename F> void Guard(F&& f) {
        if (error_) return;
        try {
            f(*this);
        } catch (...) {
            error_ = std::current_exception();
            XML_StopParser(parser_, XML_FALSE);
        }
    }
    [[noreturn]] void Fail(const std::string& why) const {
        throw EMessageError(
            "errPeerDamaged",
            shown_ + ": line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ", column " +
                std::to_string(XML_GetCurrentColumnNumber(parser_) + 1) + ": " + why);
    }

    void Start(const char* name, const char** atts);
    void End();
    void Text(std::string_view s);
    void StartMedia(const char** atts);
    void StartDirectory(const char** atts);
    void StartFile(const char** atts);
    void EndText();
    void EndMedia();
    void ArchiveLine(std::string_view line);
    void NoteCategory(const std::string& category);
    TElem* Owner();
    std::string WherePath() const;

    TPeerBuilder& b_;
    std::string shown_;
    XML_Parser parser_ = nullptr;
    std::exception_ptr error_;
    std::vector<TElem> stack_;
    int skip_ = 0;
    TText text_ = TText::None;
    std::string textBuf_;
    bool textCut_ = false;
    bool archiveOpen_ = false;
    TMedia media_;
    std::vector<std::pair<std::string, std::string>> mp3_;
    bool sawRoot_ = false;
    bool partial_ = false;
};

const char* Attr(const char** atts, const char* name) {
    for (; atts && atts[0]; atts += 2)
        if (std::strcmp(atts[0], name) == 0) return atts[1];
    return nullptr;
}

std::string AttrText(const char** atts, const char* name) {
    const char* v = Attr(atts, name);
    return v ? std::string(v) : std::string();
}

TCdcatParser::TElem* TCdcatParser::Owner() {
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it)
        if (it->Kind != TKind::Text && it->Kind != TKind::Other) return &*it;
    return nullptr;
}

std::string TCdcatParser::WherePath() const {
    TLibFolder* f = b_.CurrentFolder();
    return f ? GetCatalogPath(f) : shown_;
}

void TCdcatParser::Start(const char* name, const char** atts) {
    if (stack_.size() >= kMaxDepth) Fail("elements nested too deeply");
    if (skip_ > 0) {
        ++skip_;
        stack_.push_back({TKind::Skip});
        return;
    }
    const std::string_view n(name);
    TElem* owner = Owner();
    const TKind ok = owner ? owner->Kind : TKind::Root;
    if (stack_.empty()) {
        if (n != (partial_ ? "xml" : "catalog")) throw EMessageError("errPeerUnknown", shown_);
        sawRoot_ = true;
        stack_.push_back({TKind::Root});
        return;
    }
    if (text_ != TText::None) { // markup inside a text element adds nothing
        stack_.push_back({TKind::Other});
        return;
    }
    auto skip = [&] {
        skip_ = 1;
        stack_.push_back({TKind::Skip});
    };
    if (n == "media") {
        if (ok != TKind::Root) return skip();
        StartMedia(atts);
    } else if (n == "directory") {
        if (ok != TKind::Media && ok != TKind::Directory) return skip();
        StartDirectory(atts);
    } else if (n == "file") {
        if (ok != TKind::Media && ok != TKind::Directory) return skip();
        StartFile(atts);
    } else if (n == "catlnk") {
        b_.Note("msgsPeerLink", AttrText(atts, "name") + " (" + AttrText(atts, "location") + ")");
        return skip();
    } else {
        TText t = TText::Ignored;
        if (n == "comment")
            t = TText::Comment;
        else if (n == "category")
            t = TText::Category;
        else if (n == "borrow")
            t = TText::Borrow;
        else if (n == "mp3tag")
            t = TText::Mp3Tag;
        else if (n == "fileinfo")
            t = TText::FileInfo;
        else if (n == "exif")
            t = TText::Exif;
        else if (n == "archivecontent")
            t = TText::Archive;
        else if (n != "content" && n != "thumb") {
            stack_.push_back({TKind::Other});
            return;
        }
        text_ = t;
        textBuf_.clear();
        textCut_ = false;
        if (t == TText::Mp3Tag) {
            mp3_.clear();
            for (const char* key : {"artist", "title", "album", "year", "tnum"})
                mp3_.emplace_back(key, peervalues::OneLine(AttrText(atts, key)));
        }
        stack_.push_back({TKind::Text});
    }
}

void TCdcatParser::StartMedia(const char** atts) {
    media_ = TMedia();
    media_.Owner = AttrText(atts, "owner");
    media_.Type = AttrText(atts, "type");
    media_.Number = AttrText(atts, "number");
    media_.Date = peervalues::ParseCdcatDate(AttrText(atts, "time"));
    media_.Volume = b_.BeginVolume(AttrText(atts, "name"), std::string());
    stack_.push_back({TKind::Media});
}

void TCdcatParser::StartDirectory(const char** atts) {
    TElem e{TKind::Directory};
    e.Entry =
        b_.EnterFolder(AttrText(atts, "name"), peervalues::ParseCdcatDate(AttrText(atts, "time")));
    e.Folder = e.Entry ? b_.CurrentFolder() : nullptr;
    stack_.push_back(e);
}

void TCdcatParser::StartFile(const char** atts) {
    const std::string name = AttrText(atts, "name");
    const char* sizeText = Attr(atts, "size");
    int64_t size = 0;
    if (sizeText && !peervalues::ParseCdcatSize(sizeText, size))
        b_.Note("msgsPeerSize", WherePath() + nametext::CaptionToPathPart(name) + " (" +
                                    std::string(sizeText) + ")");
    TElem e{TKind::File};
    e.Entry = b_.AddFile(name, size, peervalues::ParseCdcatDate(AttrText(atts, "time")));
    stack_.push_back(e);
}

void TCdcatParser::NoteCategory(const std::string& category) {
    if (media_.FirstCategory.empty()) media_.FirstCategory = category;
}

void TCdcatParser::Text(std::string_view s) {
    if (text_ == TText::None || text_ == TText::Ignored) return;
    if (text_ == TText::Archive) {
        // Member lines are taken as they come: an archive may list millions.
        size_t start = 0;
        for (size_t nl = s.find('\n'); nl != std::string_view::npos; nl = s.find('\n', start)) {
            if (textBuf_.size() + (nl - start) <= kMaxText)
                textBuf_.append(s.substr(start, nl - start));
            ArchiveLine(textBuf_);
            textBuf_.clear();
            start = nl + 1;
        }
        s.remove_prefix(start);
    }
    if (textBuf_.size() + s.size() > kMaxText) {
        textCut_ = true;
        s = s.substr(0, kMaxText - std::min(kMaxText, textBuf_.size()));
    }
    textBuf_.append(s);
}

void TCdcatParser::ArchiveLine(std::string_view line) {
    // CDCat skips lines of four visible characters or fewer.
    size_t visible = 0;
    for (char c : line)
        visible += static_cast<unsigned char>(c) > ' ';
    if (visible <= 4) return;
    TElem* owner = Owner();
    if (!owner || owner->Kind != TKind::File || !owner->Entry) return;
    peervalues::TCdcatMember m;
    if (!peervalues::ParseCdcatMemberLine(line, m)) {
        b_.Note("msgsPeerMember", GetEntryCatalogPath(owner->Entry) + ": " +
                                      peervalues::OneLine(line.substr(0, 200)));
        return;
    }
    if (!archiveOpen_) {
        b_.BeginArchive(owner->Entry);
        archiveOpen_ = true;
    }
    b_.AddMember(m.Path, m.Size, m.Date, m.IsFolder);
}

void TCdcatParser::EndText() {
    const TText t = text_;
    text_ = TText::None;
    TElem* owner = Owner();
    if (textCut_ && owner && owner->Kind != TKind::Root) b_.Note("msgsPeerTextCut", WherePath());
    if (t == TText::Archive) {
        ArchiveLine(textBuf_);
        if (archiveOpen_) b_.EndArchive();
        archiveOpen_ = false;
        textBuf_.clear();
        return;
    }
    if (!owner || t == TText::Ignored) return;
    std::string text = std::move(textBuf_);
    textBuf_.clear();
    switch (owner->Kind) {
    case TKind::Media:
        if (t == TText::Comment) media_.Comment = peervalues::CdcatComment(text);
        if (t == TText::Category) {
            media_.Category = peervalues::OneLine(text);
            media_.HasCategory = true;
        }
        if (t == TText::Borrow) media_.Borrow = peervalues::OneLine(text);
        break;
    case TKind::Directory:
        if (t == TText::Comment && owner->Folder) {
            owner->Folder->Comments = peervalues::CdcatComment(text);
            owner->Entry->Comments = owner->Folder->Comments;
        }
        if (t == TText::Category && owner->Folder) {
            owner->Folder->Category = peervalues::OneLine(text);
            owner->Entry->Category = owner->Folder->Category;
            NoteCategory(owner->Folder->Category);
        }
        break;
    case TKind::File: {
        TLibFolderItem* e = owner->Entry;
        if (!e) break;
        if (t == TText::Comment) e->Comments = peervalues::CdcatComment(text);
        if (t == TText::Category) {
            e->Category = peervalues::OneLine(text);
            NoteCategory(std::string(e->Category.view()));
        }
        if (t == TText::Mp3Tag) {
            static const char* const kKeys[] = {"Artist", "Title", "Album", "Year", "Track"};
            for (size_t k = 0; k < mp3_.size(); ++k)
                e->TagInfo.SetValue(kKeys[k], mp3_[k].second);
            e->TagInfo.SetValue("Comment", peervalues::OneLine(peervalues::TrimText(text)));
        }
        if (t == TText::FileInfo || t == TText::Exif)
            for (auto& [key, value] : peervalues::KeyValueLines(text, t == TText::FileInfo))
                e->TagInfo.SetValue(key, value);
        break;
    }
    default:
        break;
    }
}

void TCdcatParser::EndMedia() {
    TLibFolder* v = media_.Volume;
    if (!v) return;
    std::string comment = media_.Comment;
    std::string category = media_.Category;
    // A new media may hold the scan's category in its comment slot: the files
    // scanned with it carry the same text as their category.
    if (!media_.HasCategory && !comment.empty() && comment.find('\n') == std::string::npos &&
        comment == media_.FirstCategory) {
        category = comment;
        comment.clear();
    }
    auto line = [&](const char* key, const std::string& value) {
        if (value.empty()) return;
        if (!comment.empty()) comment += '\n';
        comment += std::string(key) + "=" + peervalues::OneLine(value);
    };
    line("Owner", media_.Owner);
    line("MediaType", media_.Type);
    line("Number", media_.Number);
    line("Borrowed", media_.Borrow);
    v->Comments = comment;
    v->Category = category;
    v->Date = media_.Date;
    media_ = TMedia();
}

void TCdcatParser::End() {
    if (stack_.empty()) return;
    const TElem e = stack_.back();
    stack_.pop_back();
    if (skip_ > 0) {
        --skip_;
        return;
    }
    switch (e.Kind) {
    case TKind::Text:
        EndText();
        break;
    case TKind::Media:
        EndMedia();
        break;
    case TKind::Directory:
        b_.LeaveFolder();
        break;
    default:
        break;
    }
}

void TCdcatParser::Run(TPeerInput& input, IProgress& progress) {
    std::string_view head = input.Peek(64 * 1024);
    if (head.rfind(kEncryptedMark, 0) == 0) throw EMessageError("errPeerEncrypted", shown_);
    const bool bom8 = head.rfind("\xEF\xBB\xBF", 0) == 0;
    const bool utf16 = head.rfind("\xFE\xFF", 0) == 0 || head.rfind("\xFF\xFE", 0) == 0 ||
                       (head.size() >= 2 && (head[0] == 0 || head[1] == 0));
    std::string_view body = bom8 ? head.substr(3) : head;
    const std::string enc = utf16 ? std::string() : DeclaredEncoding(body);
    const char* forced = nullptr;
    bool filterUtf8 = !utf16;
    if (enc == "us-ascii" || enc == "ascii") {
        forced = "UTF-8"; // CDCat's ASCII files may still hold other bytes
    } else if (!enc.empty() && enc != "utf-8" && enc != "utf8" && !utf16) {
        int map[256];
        if (enc == "iso-8859-1" || enc == "latin1" || SingleByteMap(enc.c_str(), map)) {
            filterUtf8 = false;
        } else {
            forced = "UTF-8";
            b_.Note("msgsPeerCharset", enc);
        }
    }
    // The partial export holds media elements without a catalog root, and
    // ends in a stray "</xml>": a root of that name makes it whole.
    std::string firstName;
    size_t firstAt = utf16 ? std::string_view::npos : FirstElement(body, firstName);
    const bool partial =
        firstAt != std::string_view::npos && (firstName == "media" || firstName == "catlnk");
    if (partial) firstAt += bom8 ? 3 : 0;
    partial_ = partial;

    struct TParserFree {
        XML_Parser p;
        ~TParserFree() { XML_ParserFree(p); }
    } holder{XML_ParserCreate(forced)};
    parser_ = holder.p;
    if (!parser_) throw std::bad_alloc();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &OnStart, &OnEnd);
    XML_SetCharacterDataHandler(parser_, &OnText);
    XML_SetStartDoctypeDeclHandler(parser_, &OnDoctype);
    XML_SetEntityDeclHandler(parser_, &OnEntity);
    XML_SetUnknownEncodingHandler(parser_, &UnknownEncoding, nullptr);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);

    TXmlByteFilter filter(filterUtf8);
    std::string raw(kChunk, '\0'), out;
    auto parse = [&](const std::string& data, bool final) {
        if (XML_Parse(parser_, data.data(), static_cast<int>(data.size()), final) == XML_STATUS_OK)
            return;
        if (error_) std::rethrow_exception(error_);
        Fail(XML_ErrorString(XML_GetErrorCode(parser_)));
    };
    auto feed = [&](std::string_view bytes, bool last) {
        out.clear();
        if (utf16)
            out.assign(bytes);
        else
            filter.Feed(bytes, last, out);
        parse(out, false);
    };
    if (partial) {
        std::string prolog(firstAt, '\0');
        size_t got = 0;
        while (got < firstAt) {
            size_t k = input.Read(prolog.data() + got, firstAt - got);
            if (k == 0) break;
            got += k;
        }
        prolog.resize(got);
        feed(prolog, true);
        parse("<xml>", false);
    }
    for (;;) {
        if (progress.StopRequested()) throw EMessageError("infoCancel");
        size_t got = input.Read(raw.data(), raw.size());
        progress.StepProgress(std::string(), static_cast<int64_t>(input.FileOffset()));
        if (got == 0) break;
        feed(std::string_view(raw.data(), got), false);
    }
    feed(std::string_view(), true);
    if (partial && stack_.size() == 1) parse("</xml>", false);
    parse(std::string(), true);
    if (!sawRoot_) Fail("no catalog in the file");
}

} // namespace

bool LooksLikeCdcat(std::string_view head) {
    if (head.rfind(kEncryptedMark, 0) == 0) return true;
    if (head.rfind("\xEF\xBB\xBF", 0) == 0) head.remove_prefix(3);
    while (!head.empty() &&
           (head[0] == ' ' || head[0] == '\t' || head[0] == '\r' || head[0] == '\n'))
        head.remove_prefix(1);
    return !head.empty() && head[0] == '<';
}

void ReadCdcatCatalog(TPeerInput& input, TPeerBuilder& builder, IProgress& progress) {
    TCdcatParser parser(builder, nametext::ToDisplayPath(input.Path()));
    parser.Run(input, progress);
}
