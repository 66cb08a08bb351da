#include "catalog/archive_listing.h"

#include "archives/archive_io.h"
#include "archives/archive_lister.h"
#include "archives/rar_reader.h"
#include "archives/zip_reader.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "text/name_text.h"

std::string TArchiveNote::ShownArg(const std::string& given, const std::string& shown) const {
    if (AfterName) return shown + Arg;
    // Readers name the path they were given; the user is shown the real one.
    if (Arg.empty()) return shown;
    const std::string display = nametext::ToDisplayPath(given);
    if (Arg.compare(0, display.size(), display) != 0) return Arg;
    return shown + Arg.substr(display.size());
}

namespace {

void Note(const TArchiveSink& sink, std::string key, std::string arg, bool afterName, bool error) {
    if (sink.OnNote) sink.OnNote(TArchiveNote{std::move(key), std::move(arg), afterName, error});
}

void ListOther(const std::string& path, const TArchiveSink& sink) {
    TArchiveLister lister;
    lister.OnMember = [&](const TArchiveMember& m) { sink.OnMember(m); };
    lister.StopRequested = sink.Stop;
    lister.OnLog = [&](const std::string& key, const std::string& arg) {
        Note(sink, key, arg, false, false);
    };
    try {
        lister.List(path);
    } catch (const EMessageError& err) {
        Note(sink, "msgsArcErr", err.Arg, false, true);
    } catch (const std::exception&) {
        Note(sink, "msgsArcErr", {}, false, true);
    }
}

void ListRar(const std::string& path, const TArchiveSink& sink) {
    TRAR rar;
    rar.FileName = path;
    rar.Mode = DFRAR_LIST;
    // A member that starts in an earlier volume is listed with that volume.
    rar.OnFileProcessing = [&](TRAR&, const TDFRARHeaderData& h, int) {
        if (!h.ContinuedFromPrev) sink.OnMember(h);
    };
    rar.OnError = [&](TRAR&, const std::string& key, TRarError) {
        Note(sink, "msgsRarErr", ": " + GetMessageText(key), true, true);
    };
    try {
        rar.Execute();
    } catch (const std::exception&) {
        Note(sink, "msgsRarErr", {}, false, true);
    }
}

void ListZip(const std::string& path, const TArchiveSink& sink) {
    TZip zip;
    zip.OnMember = [&](const TZipDirEntry& m) { sink.OnMember(m); };
    zip.OnLog = [&](const std::string& key, const std::string& arg) {
        Note(sink, key, arg, false, false);
    };
    try {
        zip.SetZipFilename(path);
    } catch (const EMessageError& err) {
        Note(sink, "msgsZipErr", err.Arg, false, true);
    } catch (const std::exception&) {
        Note(sink, "msgsZipErr", {}, false, true);
    }
}

} // namespace

void ListArchive(const std::string& path, TArchiveKind kind, const TArchiveSink& sink) {
    switch (kind) {
    case TArchiveKind::None:
        return;
    case TArchiveKind::Other:
        return ListOther(path, sink);
    case TArchiveKind::Rar:
        return ListRar(path, sink);
    default:
        return ListZip(path, sink);
    }
}

TArchiveRead::~TArchiveRead() {
    if (budget_) budget_->Give(static_cast<int64_t>(Members.size()));
}

std::unique_ptr<TArchiveRead> ListArchiveAhead(const std::string& path, TArchiveKind kind,
                                               const std::function<bool()>& stop,
                                               std::shared_ptr<TMemberBudget> budget) {
    auto got = std::make_unique<TArchiveRead>(std::move(budget));
    got->Path = path;
    got->Plain = archiveio::IsPlainFile(path);
    if (!got->Plain) return got;
    TArchiveSink sink;
    sink.OnMember = [&](const TArchiveMember& m) {
        // Beyond the budget the scan lists it itself, adding as it goes.
        if (got->Partial || !got->budget_->Take()) {
            got->Partial = true;
            return;
        }
        got->Members.push_back(m);
    };
    sink.OnNote = [&](TArchiveNote&& n) { got->Notes.push_back(std::move(n)); };
    sink.Stop = [&] {
        if (got->Partial || (stop && stop())) got->Partial = true;
        return got->Partial;
    };
    ListArchive(path, kind, sink);
    if (got->Partial) {
        got->budget_->Give(static_cast<int64_t>(got->Members.size()));
        got->Members.clear();
        got->Notes.clear();
    }
    return got;
}
