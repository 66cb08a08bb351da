#include "platform/qt_settings_store.h"

#include "files/input_file.h"
#include "files/safe_file.h"
#include "text/message_error.h"

#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace {

// "/" separates groups in QSettings and "%" is our escape, so both are
// escaped inside a level's name; "\" separates levels in our keys.
QString EscapeLevel(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '%')
            out += "%25";
        else if (c == '/')
            out += "%2F";
        else
            out += c;
    }
    return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size()));
}

std::string UnescapeLevel(const QString& q) {
    std::string s = q.toStdString();
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && s.compare(i, 3, "%25") == 0) {
            out += '%';
            i += 2;
        } else if (s[i] == '%' && s.compare(i, 3, "%2F") == 0) {
            out += '/';
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

QString GroupPath(const std::string& key) {
    QString path;
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = key.find('\\', start);
        if (end == std::string::npos) end = key.size();
        std::string_view level(key.data() + start, end - start);
        if (!level.empty()) {
            if (!path.isEmpty()) path += '/';
            path += EscapeLevel(level);
        }
        start = end + 1;
    }
    return path;
}

QString ValuePath(const std::string& key, const std::string& name) {
    QString group = GroupPath(key);
    QString value = EscapeLevel(name);
    return group.isEmpty() ? value : group + '/' + value;
}

std::string DoubleText(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// Where the settings live when no file is given: the INI file QSettings
// keeps for the user ($XDG_CONFIG_HOME or ~/.config, then Tamblix/Tamblix.ini).
std::string DefaultSettingsFile() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QFile::encodeName(folder + QStringLiteral("/Tamblix/Tamblix.ini")).toStdString();
}

// The settings file's bytes: nothing for a file that does not exist yet or a
// character device (so that /dev/null stands for no settings); a FIFO, a
// folder or a socket is refused with what it is, never opened to block.
std::string ReadSettingsBytes(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return {}; // made by the first save
        throw EMessageError("errRead", path + " (" + std::strerror(errno) + ")");
    }
    if (S_ISCHR(st.st_mode)) return {};
    return ReadInputFile(path);
}

// QSettings saves by itself from the event loop; here only Sync saves, so
// that the changes it merges over what another program saved are all still
// pending then.
class TSyncOnRequest : public QSettings {
public:
    using QSettings::QSettings;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::UpdateRequest) return true;
        return QSettings::event(e);
    }
};

// QSettings writes its own file its own way: into the folder, over devices,
// dropping owner, group and attributes, and it reports a failure nowhere we
// look. So it works on a private copy, and a save puts the copy's bytes in
// place through the program's safe writer, which checks the target as it
// does for catalogs and says what went wrong.
class TQtSettingsStore : public ISettingsStore {
public:
    explicit TQtSettingsStore(const std::string& file)
        : target_(file.empty() ? DefaultSettingsFile() : file) {
        if (!work_.isValid())
            throw EMessageError("errWrite", work_.path().toStdString() + " (" +
                                                work_.errorString().toStdString() + ")");
        workPath_ = work_.filePath(QStringLiteral("settings.ini"));
        loaded_ = ReadSettingsBytes(target_);
        PutWorkBytes(loaded_);
        settings_ = std::make_unique<TSyncOnRequest>(workPath_, QSettings::IniFormat);
    }

    // Sync reports failures; here, with nobody to tell, they are dropped.
    ~TQtSettingsStore() override {
        try {
            Sync();
        } catch (const std::exception&) {
        }
    }

    bool ReadBool(const std::string& key, const std::string& name, bool def) const override {
        std::string t;
        if (!Text(key, name, t)) return def;
        if (t == "true") return true;
        if (t == "false") return false;
        int64_t n;
        return ParseInt(t, n) ? n != 0 : def;
    }

    int64_t ReadInt(const std::string& key, const std::string& name, int64_t def) const override {
        std::string t;
        int64_t n;
        return Text(key, name, t) && ParseInt(t, n) ? n : def;
    }

    double ReadDouble(const std::string& key, const std::string& name, double def) const override {
        std::string t;
        if (!Text(key, name, t)) return def;
        double v;
        auto r = std::from_chars(t.data(), t.data() + t.size(), v);
        return r.ec == std::errc() && r.ptr == t.data() + t.size() ? v : def;
    }

    std::string ReadString(const std::string& key, const std::string& name,
                           const std::string& def) const override {
        std::string t;
        return Text(key, name, t) ? t : def;
    }

    double ReadDateTime(const std::string& key, const std::string& name,
                        double def) const override {
        double v = ReadDouble(key, name, def);
        return std::isfinite(v) ? v : def;
    }

    void WriteBool(const std::string& key, const std::string& name, bool v) override {
        Put(key, name, v ? "1" : "0");
    }
    void WriteInt(const std::string& key, const std::string& name, int64_t v) override {
        Put(key, name, std::to_string(v));
    }
    void WriteDouble(const std::string& key, const std::string& name, double v) override {
        Put(key, name, DoubleText(v));
    }
    void WriteString(const std::string& key, const std::string& name,
                     const std::string& v) override {
        Put(key, name, v);
    }
    void WriteDateTime(const std::string& key, const std::string& name, double v) override {
        Put(key, name, DoubleText(v));
    }

    bool KeyExists(const std::string& key) const override {
        QString group = GroupPath(key);
        if (group.isEmpty()) return !settings_->allKeys().isEmpty();
        settings_->beginGroup(group);
        bool exists = !settings_->allKeys().isEmpty();
        settings_->endGroup();
        return exists;
    }

    bool ValueExists(const std::string& key, const std::string& name) const override {
        return settings_->contains(ValuePath(key, name));
    }

    void DeleteKey(const std::string& key) override {
        changed_ = true;
        QString group = GroupPath(key);
        if (group.isEmpty()) {
            settings_->clear();
            return;
        }
        // QSettings removes a value named like the group together with the
        // group; that value belongs to the parent key, so it is put back.
        QVariant sameName = settings_->value(group);
        settings_->remove(group);
        if (sameName.isValid()) settings_->setValue(group, sameName);
    }

    void DeleteValue(const std::string& key, const std::string& name) override {
        QString path = ValuePath(key, name);
        if (settings_->contains(path)) {
            changed_ = true;
            settings_->remove(path);
        }
    }

    std::vector<std::string> SubKeys(const std::string& key) const override {
        QString group = GroupPath(key);
        if (!group.isEmpty()) settings_->beginGroup(group);
        QStringList groups = settings_->childGroups();
        if (!group.isEmpty()) settings_->endGroup();
        std::vector<std::string> out;
        out.reserve(static_cast<size_t>(groups.size()));
        for (const QString& g : groups)
            out.push_back(UnescapeLevel(g));
        std::sort(out.begin(), out.end());
        return out;
    }

    void Sync() override {
        if (!changed_) return;
        // What another program saved meanwhile is merged as QSettings does:
        // it reads a changed file again and puts our changes over it.
        const std::string current = ReadSettingsBytes(target_);
        if (current != loaded_) PutWorkBytes(current);
        settings_->sync();
        if (settings_->status() != QSettings::NoError)
            throw EMessageError("errWrite", target_ + " (the settings could not be written)");
        const std::string bytes = ReadSettingsBytes(QFile::encodeName(workPath_).toStdString());
        if (bytes != current) {
            const std::string folder = target_.substr(0, target_.rfind('/') + 1);
            std::error_code ec;
            if (!folder.empty() && !std::filesystem::exists(folder, ec))
                std::filesystem::create_directories(folder, ec); // the safe writer names a failure
            WriteFileAtomically(target_, bytes);
        }
        loaded_ = bytes;
        changed_ = false;
    }

private:
    static bool ParseInt(const std::string& t, int64_t& out) {
        auto r = std::from_chars(t.data(), t.data() + t.size(), out);
        return r.ec == std::errc() && r.ptr == t.data() + t.size();
    }

    bool Text(const std::string& key, const std::string& name, std::string& out) const {
        QVariant v = settings_->value(ValuePath(key, name));
        if (!v.isValid()) return false;
        // An unquoted value with commas, as a hand-edited file may hold, comes back as a list.
        if (v.typeId() == QMetaType::QStringList) {
            out = v.toStringList().join(QStringLiteral(", ")).toStdString();
            return true;
        }
        if (!v.canConvert<QString>()) return false;
        out = v.toString().toStdString();
        return true;
    }

    void Put(const std::string& key, const std::string& name, const std::string& text) {
        changed_ = true;
        settings_->setValue(ValuePath(key, name),
                            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }

    // Writes the private copy. QSettings notices a changed file by its size
    // and time: the time moves on by a second, so that a rewrite within the
    // same millisecond is noticed too.
    void PutWorkBytes(const std::string& bytes) {
        QFile f(workPath_);
        const QDateTime before = QFileInfo(workPath_).lastModified();
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
                static_cast<qint64>(bytes.size()))
            throw EMessageError("errWrite", workPath_.toStdString() + " (" +
                                                f.errorString().toStdString() + ")");
        if (before.isValid())
            f.setFileTime(std::max(before, QDateTime::currentDateTime()).addSecs(1),
                          QFileDevice::FileModificationTime);
    }

    std::string target_;
    QTemporaryDir work_;
    QString workPath_;
    std::string loaded_; // the target's bytes when last read or written
    bool changed_ = false;
    std::unique_ptr<QSettings> settings_;
};

} // namespace

std::unique_ptr<ISettingsStore> CreateSettingsStore(const std::string& file) {
    return std::make_unique<TQtSettingsStore>(file);
}
