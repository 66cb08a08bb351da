#pragma once

#include "media/thumb_step.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// The thumbnails of a catalog, in one SQLite database beside it ("NAME.txc"
// has "NAME.txc-thumbs"); the catalog file itself never holds them. A row
// is keyed by the entry's volume and catalog path and keeps the entry's
// size and date: a thumbnail is found only for the very file it was made of.
// A missing or damaged database is no error for the catalog: its pictures
// are just absent. Writes go through SQLite's transactions, never through a
// link nor into anything but a regular file.
class TThumbStore {
public:
    TThumbStore() = default;
    ~TThumbStore();
    TThumbStore(const TThumbStore&) = delete;
    TThumbStore& operator=(const TThumbStore&) = delete;

    static std::string PathFor(const std::string& catalog) { return catalog + "-thumbs"; }

    // Opens an existing database to read. False when there is none (why
    // empty) or it cannot be used (why says so, for the log).
    bool OpenRead(const std::string& path, std::string& why);
    // Opens or creates the database to write.
    bool OpenWrite(const std::string& path, std::string& why);
    bool IsOpen() const { return db_ != nullptr; }
    void Close();

    // The thumbnail of the entry, when one was stored for this size and date.
    bool Find(std::string_view volume, std::string_view path, int64_t size, double date,
              TThumbnail& out) const;
    bool Has(std::string_view volume, std::string_view path, int64_t size, double date) const;
    int64_t Count() const;

    // Writes, inside Begin and Commit (Rollback leaves the database as it was).
    bool Begin();
    bool Commit();
    void Rollback();
    bool Put(std::string_view volume, std::string_view path, int64_t size, double date,
             const TThumbnail& thumb);
    bool Remove(std::string_view volume, std::string_view path);
    // Moves the rows of a renamed volume to its new name: each path that
    // starts with fromPrefix (the volume's old catalog path) gets toPrefix
    // instead. A row already under the new key is replaced.
    bool RenameVolume(std::string_view from, std::string_view to, std::string_view fromPrefix,
                      std::string_view toPrefix);
    // Every row's key, size and date, in key order.
    void ForEach(const std::function<void(const std::string& volume, const std::string& path,
                                          int64_t size, double date)>& fn) const;

    // What the last failed call met, for the log.
    const std::string& Error() const { return error_; }

private:
    bool Open(const std::string& path, bool write, std::string& why);
    bool Exec(const char* sql);
    sqlite3_stmt* Prepare(const char* sql) const;

    sqlite3* db_ = nullptr;
    mutable std::string error_;
};

// Copies the database at `from` to `to` whole (the catalog's Save As): into
// a temporary file beside `to`, renamed over it once complete. A link or a
// special file at `to` is refused.
bool CopyThumbStore(const std::string& from, const std::string& to, std::string& why);
// Removes the database at path if it is a regular file (a catalog saved
// over another leaves none of the other's pictures).
void RemoveThumbStore(const std::string& path);
