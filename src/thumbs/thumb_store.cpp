#include "thumbs/thumb_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Marks the file as ours ("TBXT"), whatever its name.
constexpr int kApplicationId = 0x54425854;
constexpr int kSchemaVersion = 1;

struct TStatement {
    sqlite3_stmt* st;
    ~TStatement() { sqlite3_finalize(st); }
};

void Bind(sqlite3_stmt* st, int i, std::string_view text) {
    sqlite3_bind_text(st, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// A row's key and what it was made of, as ?1 to ?4.
void BindRow(sqlite3_stmt* st, std::string_view volume, std::string_view path, int64_t size,
             double date) {
    Bind(st, 1, volume);
    Bind(st, 2, path);
    sqlite3_bind_int64(st, 3, size);
    sqlite3_bind_double(st, 4, date);
}

// Why a path cannot take a database: a link, a folder, a FIFO or a device.
// Empty when it is a regular file or nothing.
std::string NotWritable(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? std::string() : std::strerror(errno);
    if (S_ISLNK(st.st_mode)) return "it is a symbolic link";
    if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    return {};
}

} // namespace

TThumbStore::~TThumbStore() {
    Close();
}

void TThumbStore::Close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool TThumbStore::Exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error_ = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    return false;
}

sqlite3_stmt* TThumbStore::Prepare(const char* sql) const {
    sqlite3_stmt* st = nullptr;
    if (!db_ || sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) {
        error_ = db_ ? sqlite3_errmsg(db_) : "no database";
        return nullptr;
    }
    return st;
}

bool TThumbStore::Open(const std::string& path, bool write, std::string& why) {
    Close();
    why.clear();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT && !write) return false;
        if (errno != ENOENT) {
            why = std::strerror(errno);
            return false;
        }
    } else if ((why = NotWritable(path)), !why.empty()) {
        return false;
    }
    const int flags = (write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY) |
                      SQLITE_OPEN_NOFOLLOW;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        Close();
        return false;
    }
    sqlite3_busy_timeout(db_, 2000);
    // A damaged file fails here, at its first read, not later in a view.
    int app = -1, version = -1;
    {
        TStatement a{Prepare("PRAGMA application_id")};
        if (a.st && sqlite3_step(a.st) == SQLITE_ROW) app = sqlite3_column_int(a.st, 0);
        TStatement v{Prepare("PRAGMA user_version")};
        if (v.st && sqlite3_step(v.st) == SQLITE_ROW) version = sqlite3_column_int(v.st, 0);
    }
    if (app < 0 || version < 0) {
        why = error_.empty() ? "it cannot be read" : error_;
        Close();
        return false;
    }
    const bool fresh = app == 0 && version == 0;
    if (!fresh && (app != kApplicationId || version > kSchemaVersion)) {
        why = app != kApplicationId ? "it is not a thumbnail database"
                                    : "it was written by a newer version of the program";
        Close();
        return false;
    }
    if (fresh && write &&
        !Exec("BEGIN;"
              "CREATE TABLE IF NOT EXISTS thumbs(volume TEXT NOT NULL, path TEXT NOT NULL,"
              " size INTEGER NOT NULL, date REAL NOT NULL, width INTEGER NOT NULL,"
              " height INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(volume, path))"
              " WITHOUT ROWID;"
              "PRAGMA application_id=1413634132; PRAGMA user_version=1; COMMIT;")) {
        why = error_;
        Close();
        return false;
    }
    if (fresh && !write) {
        why = "it is not a thumbnail database";
        Close();
        return false;
    }
    // The table must be there and readable, or the file is damaged.
    TStatement check{Prepare("SELECT 1 FROM thumbs LIMIT 1")};
    if (!check.st || sqlite3_step(check.st) == SQLITE_ERROR) {
        why = error_.empty() ? sqlite3_errmsg(db_) : error_;
        Close();
        return false;
    }
    return true;
}

bool TThumbStore::OpenRead(const std::string& path, std::string& why) {
    return Open(path, false, why);
}
bool TThumbStore::OpenWrite(const std::string& path, std::string& why) {
    return Open(path, true, why);
}

bool TThumbStore::Find(std::string_view volume, std::string_view path, int64_t size, double date,
                       TThumbnail& out) const {
    TStatement q{Prepare("SELECT width, height, data FROM thumbs"
                         " WHERE volume=?1 AND path=?2 AND size=?3 AND date=?4")};
    if (!q.st) return false;
    BindRow(q.st, volume, path, size, date);
    if (sqlite3_step(q.st) != SQLITE_ROW) return false;
    out.Width = sqlite3_column_int(q.st, 0);
    out.Height = sqlite3_column_int(q.st, 1);
    const void* blob = sqlite3_column_blob(q.st, 2);
    const int n = sqlite3_column_bytes(q.st, 2);
    out.Data.assign(static_cast<const char*>(blob), blob ? static_cast<size_t>(n) : 0);
    return !out.Data.empty();
}

bool TThumbStore::Has(std::string_view volume, std::string_view path, int64_t size,
                      double date) const {
    TStatement q{
        Prepare("SELECT 1 FROM thumbs WHERE volume=?1 AND path=?2 AND size=?3 AND date=?4")};
    if (!q.st) return false;
    BindRow(q.st, volume, path, size, date);
    return sqlite3_step(q.st) == SQLITE_ROW;
}

int64_t TThumbStore::Count() const {
    TStatement q{Prepare("SELECT count(*) FROM thumbs")};
    return q.st && sqlite3_step(q.st) == SQLITE_ROW ? sqlite3_column_int64(q.st, 0) : 0;
}

bool TThumbStore::Begin() {
    return db_ && Exec("BEGIN IMMEDIATE");
}
bool TThumbStore::Commit() {
    return db_ && Exec("COMMIT");
}
void TThumbStore::Rollback() {
    if (db_ && !sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
}

bool TThumbStore::Put(std::string_view volume, std::string_view path, int64_t size, double date,
                      const TThumbnail& thumb) {
    TStatement q{Prepare("INSERT OR REPLACE INTO thumbs(volume, path, size, date, width, height,"
                         " data) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)")};
    if (!q.st) return false;
    BindRow(q.st, volume, path, size, date);
    sqlite3_bind_int(q.st, 5, thumb.Width);
    sqlite3_bind_int(q.st, 6, thumb.Height);
    sqlite3_bind_blob(q.st, 7, thumb.Data.data(), static_cast<int>(thumb.Data.size()),
                      SQLITE_STATIC);
    if (sqlite3_step(q.st) == SQLITE_DONE) return true;
    error_ = sqlite3_errmsg(db_);
    return false;
}

bool TThumbStore::Remove(std::string_view volume, std::string_view path) {
    TStatement q{Prepare("DELETE FROM thumbs WHERE volume=?1 AND path=?2")};
    if (!q.st) return false;
    Bind(q.st, 1, volume);
    Bind(q.st, 2, path);
    if (sqlite3_step(q.st) == SQLITE_DONE) return true;
    error_ = sqlite3_errmsg(db_);
    return false;
}

bool TThumbStore::RenameVolume(std::string_view from, std::string_view to,
                               std::string_view fromPrefix, std::string_view toPrefix) {
    std::vector<std::string> paths;
    {
        TStatement q{Prepare("SELECT path FROM thumbs WHERE volume=?1")};
        if (!q.st) return false;
        Bind(q.st, 1, from);
        int rc;
        while ((rc = sqlite3_step(q.st)) == SQLITE_ROW) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(q.st, 0));
            std::string path(t ? t : "", static_cast<size_t>(sqlite3_column_bytes(q.st, 0)));
            if (path.starts_with(fromPrefix)) paths.push_back(std::move(path));
        }
        if (rc != SQLITE_DONE) {
            error_ = sqlite3_errmsg(db_);
            return false;
        }
    }
    TStatement u{Prepare("UPDATE OR REPLACE thumbs SET volume=?1, path=?2 WHERE volume=?3 AND"
                         " path=?4")};
    if (!u.st) return false;
    for (const std::string& path : paths) {
        Bind(u.st, 1, to);
        const std::string moved = std::string(toPrefix) + path.substr(fromPrefix.size());
        Bind(u.st, 2, moved);
        Bind(u.st, 3, from);
        Bind(u.st, 4, path);
        if (sqlite3_step(u.st) != SQLITE_DONE) {
            error_ = sqlite3_errmsg(db_);
            return false;
        }
        sqlite3_reset(u.st);
    }
    return true;
}

void TThumbStore::ForEach(
    const std::function<void(const std::string&, const std::string&, int64_t, double)>& fn) const {
    TStatement q{Prepare("SELECT volume, path, size, date FROM thumbs ORDER BY volume, path")};
    if (!q.st) return;
    while (sqlite3_step(q.st) == SQLITE_ROW) {
        auto text = [&](int i) {
            const auto* t = sqlite3_column_text(q.st, i);
            return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
        };
        fn(text(0), text(1), sqlite3_column_int64(q.st, 2), sqlite3_column_double(q.st, 3));
    }
}

bool CopyThumbStore(const std::string& from, const std::string& to, std::string& why) {
    TThumbStore source;
    if (!source.OpenRead(from, why)) return false;
    if (why = NotWritable(to); !why.empty()) return false;
    const std::string tmp = to + ".tmp";
    if (!NotWritable(tmp).empty()) {
        why = "its temporary file is not a regular file";
        return false;
    }
    ::unlink(tmp.c_str());
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(tmp.c_str(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                              nullptr) == SQLITE_OK;
    if (ok) {
        // The source's own connection is reached through a second, plain one.
        sqlite3* src = nullptr;
        ok = sqlite3_open_v2(from.c_str(), &src, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW,
                             nullptr) == SQLITE_OK;
        sqlite3_backup* b = ok ? sqlite3_backup_init(db, "main", src, "main") : nullptr;
        ok = b && sqlite3_backup_step(b, -1) == SQLITE_DONE;
        if (b) sqlite3_backup_finish(b);
        if (!ok) why = sqlite3_errmsg(db);
        sqlite3_close_v2(src);
    } else {
        why = db ? sqlite3_errmsg(db) : "out of memory";
    }
    sqlite3_close_v2(db);
    if (ok && ::rename(tmp.c_str(), to.c_str()) != 0) {
        why = std::strerror(errno);
        ok = false;
    }
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

void RemoveThumbStore(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
}
