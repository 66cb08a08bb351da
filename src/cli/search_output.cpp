#include "cli/search_output.h"

#include "catalog/lib_obj.h"
#include "cli/cli_context.h"
#include "cli/cli_json.h"
#include "cli/cli_path.h"
#include "cli/cli_progress.h"
#include "search/search_engine.h"
#include "search/stream_search.h"
#include "text/message_error.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

const char* const kSearchColumnKeys[kSearchColumnCount] = {
    "name",     "type",     "volume",     "path",     "size",    "date",
    "category", "comments", "duplicates", "fullname", "location"};

namespace {

bool IsPathColumn(int col) {
    return col == kColName || col == kColVolume || col == kColPath || col == kColFullName;
}

// One result row: tab-separated cells, or a JSON object with the columns by
// name, "bytes" and "entry". The name and path columns are written as every
// command reads paths (`written`), in JSON next to their display text; the
// size is bytes in plain digits. A row of duplicates by content also has its
// group number and "link" when it is the same file as a row before it
// ("group" and "link" in JSON).
template <class TCell, class TWritten>
void PrintRow(TSearchOutput& out, const TCell& cell, const TWritten& written, TDateTime date,
              int64_t bytes, const TSearchRow* grouped = nullptr) {
    if (!out.Take()) return;
    auto text = [&](int col) { return col == kColSize ? std::to_string(bytes) : cell(col); };
    if (out.Json) {
        TJson j;
        for (int col = 0; col < kSearchColumnCount; ++col) {
            if (IsPathColumn(col))
                PutPath(j, kSearchColumnKeys[col], clipath::DisplayText(cell(col)), written(col));
            else
                j[kSearchColumnKeys[col]] =
                    col == kColDate ? JsonDate(date) : clipath::DisplayText(text(col));
        }
        j["bytes"] = bytes;
        PutPath(j, "entry", clipath::DisplayText(cell(kColFullName)), written(kColFullName));
        if (grouped) {
            j["group"] = grouped->Group;
            j["link"] = grouped->Link;
        }
        out.EndRow(j);
    } else {
        for (int col = 0; col < kSearchColumnCount; ++col) {
            if (col) out.Text += '\t';
            out.Text += IsPathColumn(col) ? written(col) : CliField(text(col));
        }
        if (grouped) {
            out.Text += '\t';
            out.Text += std::to_string(grouped->Group);
            out.Text += grouped->Link ? "\tlink" : "\t";
        }
        out.EndRow();
    }
}

// The written names and paths of found entries. Rows of one folder come
// together, so a folder's path is written once for all of them.
class TWrittenCells {
public:
    std::string operator()(const TLibFolderItem* e, int col) {
        if (col == kColName) return clipath::WrittenName(e->Caption.view());
        if (e->Owner != owner_ || !haveOwner_) {
            owner_ = e->Owner;
            haveOwner_ = true;
            folder_ = owner_ ? clipath::WrittenFolderPath(owner_) : std::string();
            const TLibFolder* volume = owner_;
            while (volume && volume->Parent)
                volume = volume->Parent;
            volume_ = volume && volume->Node ? clipath::WrittenNodeName(volume->Node) : "";
        }
        return Pick(col, e->Caption.view());
    }
    // A streamed hit: a streamed catalog has no two siblings of one name.
    std::string operator()(const TStreamHit& h, int col) {
        if (col == kColName) return clipath::WrittenName(h.Caption);
        if (!haveStored_ || h.FolderPath != storedFolder_ || h.VolumeCaption != storedVolume_) {
            haveStored_ = true;
            storedFolder_.assign(h.FolderPath);
            storedVolume_.assign(h.VolumeCaption);
            volume_ = clipath::WrittenName(h.VolumeCaption);
            // The stored path's first name is the volume's, "C:\" cut to "C:".
            const size_t cut = h.FolderPath.find('\\');
            folder_ = volume_ + "\\" +
                      (cut == std::string_view::npos
                           ? std::string()
                           : clipath::WrittenCatalogPath(h.FolderPath.substr(cut + 1)));
        }
        return Pick(col, h.Caption);
    }

private:
    std::string Pick(int col, std::string_view caption) const {
        if (col == kColVolume) return volume_;
        if (col == kColPath) return folder_;
        return folder_ + clipath::WrittenName(caption);
    }

    const TLibFolder* owner_ = nullptr;
    bool haveOwner_ = false, haveStored_ = false;
    std::string storedFolder_, storedVolume_, folder_, volume_;
};

} // namespace

std::string StatusText(const TSearchResults& results, const TCellFormat& format) {
    std::string out;
    auto status = results.StatusTexts(format);
    for (size_t i = 0; i < status.size(); ++i)
        out += (i ? "\t" : "") + status[i];
    if (results.Unhashed >= 0) out += '\t' + results.UnhashedText();
    if (results.Empty >= 0) out += '\t' + results.EmptyText();
    return out + '\n';
}

std::string StatsText(const TSearchStats& stats, const TCellFormat& format) {
    TLibObj none;
    TSearchResults results(none);
    results.Stats = stats;
    return StatusText(results, format);
}

bool StreamSearchInto(TSearchOutput& out, TSearchStats& stats, const std::string& path,
                      const TSearchCriteria& c, const TCellFormat& format, int sortColumn,
                      bool descending) {
    TWrittenCells written;
    auto print = [&](const TStreamHit& hit) {
        PrintRow(
            out, [&](int col) { return StreamCellText(hit, col, format); },
            [&](int col) { return written(hit, col); }, hit.Date, hit.Size);
    };
    TStreamSearch search(c);
    std::vector<TStreamRow> kept;
    const size_t rowsBefore = out.Rows, textBefore = out.Text.size();
    const bool done = search.Run(path, [&](const TStreamHit& hit) {
        if (sortColumn < 0)
            print(hit);
        else
            kept.emplace_back(hit);
    });
    if (!done) {
        out.Text.resize(textBefore);
        out.Rows = rowsBefore;
        return false;
    }
    SortStreamRows(kept, sortColumn, descending);
    for (const auto& row : kept)
        print(row.View());
    stats = search.Stats();
    return true;
}

void PrintFound(TSearchOutput& out, TSearchResults& results, const TSearchCriteria& c,
                const TCellFormat& format) {
    if (c.Mode == TSearchMode::Collections) {
        for (TTreeNode* n : results.CollectionRows) {
            if (!out.Take()) continue;
            if (out.Json) {
                TJson j = CollectionJson(n);
                out.EndRow(j);
            } else {
                out.Text += clipath::WrittenNodeName(n);
                out.EndRow();
            }
        }
        return;
    }
    const bool grouped = results.ShowDuplicates && c.DupMode == TDupMode::Content;
    TWrittenCells written;
    for (const auto& row : results.Visible()) {
        PrintRow(
            out, [&](int col) { return results.CellText(row, col, format); },
            [&](int col) { return written(row.Entry, col); }, row.Entry->Date, row.Entry->Size,
            grouped ? &row : nullptr);
        out.Flush(1u << 20);
    }
}

namespace {

void AddStats(TSearchStats& total, const TSearchStats& s) {
    total.Volumes += s.Volumes;
    total.Folders += s.Folders;
    total.Files += s.Files;
    total.Collections += s.Collections;
    total.AddSize(s.Size);
}

// One catalog of several searched in its loaded tree, whose memory goes
// before the next catalog is read.
TSearchStats SearchLoaded(const std::string& path, const TSearchCriteria& c,
                          const TCellFormat& format, TSearchOutput& out) {
    TLibObj lib;
    LoadCatalogForCli(lib, path);
    TCliProgress progress;
    progress.Quiet = true;
    TSearchEngine engine(lib, progress);
    engine.Format = format;
    TSearchResults results(lib);
    engine.Run(c, results, nullptr);
    PrintFound(out, results, c, format);
    return results.VisibleStats();
}

// A catalog streamed on a thread of its own, its rows waiting for their turn.
struct TStreamedAhead {
    TSearchOutput Out; // its rows alone
    TSearchStats Stats;
    bool Streamed = false; // else it needs the full load, or failed
    std::exception_ptr Error;
    bool Done = false;
};

// Streams catalogs on a few threads, a few catalogs ahead of the one whose
// rows are being written, so that several files are read and searched at once
// while the rows still come in the order given.
class TCatalogStreams {
public:
    TCatalogStreams(const std::vector<std::string>& catalogs, const TSearchCriteria& c,
                    const TCellFormat& format, const TSearchOutput& like, unsigned threads)
        : catalogs_(catalogs), c_(c), format_(format), results_(catalogs.size()),
          ahead_(threads * 2) {
        for (size_t i = 0; i < catalogs.size(); ++i) {
            results_[i].Out = like;
            results_[i].Out.Text.clear();
            results_[i].Out.Rows = 0;
            results_[i].Out.Catalog = catalogs[i];
        }
        for (unsigned i = 0; i < threads; ++i)
            threads_.emplace_back([this] { Work(); });
    }
    ~TCatalogStreams() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }
    TCatalogStreams(const TCatalogStreams&) = delete;
    TCatalogStreams& operator=(const TCatalogStreams&) = delete;

    // Catalog `i`'s search, once done; each is taken once, in order.
    TStreamedAhead Take(size_t i) {
        std::unique_lock<std::mutex> lock(mutex_);
        taken_ = i + 1;
        changed_.notify_all(); // room for one more ahead
        changed_.wait(lock, [&] { return results_[i].Done; });
        return std::move(results_[i]);
    }

private:
    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] {
                return quit_ || (next_ < catalogs_.size() && next_ < taken_ + ahead_);
            });
            if (quit_) return;
            const size_t i = next_++;
            TStreamedAhead r;
            r.Out = std::move(results_[i].Out);
            lock.unlock();
            try {
                r.Streamed = StreamSearchInto(r.Out, r.Stats, catalogs_[i], c_, format_, -1, false);
            } catch (...) {
                r.Error = std::current_exception();
            }
            r.Done = true;
            lock.lock();
            results_[i] = std::move(r);
            changed_.notify_all();
        }
    }

    const std::vector<std::string>& catalogs_;
    const TSearchCriteria& c_;
    const TCellFormat& format_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<TStreamedAhead> results_;
    const size_t ahead_;
    size_t next_ = 0, taken_ = 0;
    bool quit_ = false;
    std::vector<std::thread> threads_;
};

} // namespace

// Searches the catalogs in the order given, each catalog's rows written once
// it was read whole. One that cannot be read is named on stderr and the
// others are searched; the exit status then says that something failed.
int SearchCatalogs(const std::vector<std::string>& catalogs, const TSearchCriteria& c,
                   const TCellFormat& format, TSearchOutput& out) {
    out.CatalogColumn = true;
    // With a limit the catalogs after it are not read at all: one at a time.
    const auto threads = static_cast<unsigned>(
        std::min<size_t>(std::thread::hardware_concurrency(), catalogs.size()));
    std::optional<TCatalogStreams> streams;
    if (threads > 1 && out.Limit == SIZE_MAX && CanStreamSearch(c))
        streams.emplace(catalogs, c, format, out, threads);
    TSearchStats total;
    bool failed = false;
    for (size_t i = 0; i < catalogs.size(); ++i) {
        const std::string& path = catalogs[i];
        if (out.Rows >= out.Limit) break;
        out.Catalog = path;
        const size_t rowsBefore = out.Rows;
        try {
            bool streamed = false;
            TSearchStats stats;
            if (streams) {
                TStreamedAhead ahead = streams->Take(i);
                if (ahead.Error) std::rethrow_exception(ahead.Error);
                streamed = ahead.Streamed;
                stats = ahead.Stats;
                if (streamed) {
                    out.Rows += ahead.Out.Rows;
                    out.Text += ahead.Out.Text;
                }
            } else {
                streamed =
                    CanStreamSearch(c) && StreamSearchInto(out, stats, path, c, format, -1, false);
            }
            AddStats(total, streamed ? stats : SearchLoaded(path, c, format, out));
        } catch (const std::exception& e) {
            auto* message = dynamic_cast<const EMessageError*>(&e);
            if (message && message->Key == "infoCancel") {
                out.Finish(std::string()); // the rows so far, as with one catalog
                throw;
            }
            // Nothing of a catalog that failed on the way is printed.
            out.Text.clear();
            out.Rows = rowsBefore;
            failed = true;
            std::cout.flush();
            // Named once: most messages name the file already.
            const std::string why = ErrorText(e);
            std::cerr << "tamblix-cli: "
                      << (why.find(path) == std::string::npos ? path + ": " : std::string()) << why
                      << "\n";
        }
        if (!out.CountOnly) out.Flush();
    }
    const int rc = out.Finish(StatsText(total, format));
    return failed ? 1 : rc;
}
