#include "platform/qt_settings_store.h"

#include <QSettings>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>

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

class TQtSettingsStore : public ISettingsStore {
public:
    explicit TQtSettingsStore(const std::string& file)
        : settings_(file.empty() ? std::make_unique<QSettings>(
                                       QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Tamblix"), QStringLiteral("Tamblix"))
                                 : std::make_unique<QSettings>(QString::fromStdString(file),
                                                               QSettings::IniFormat)) {}

    ~TQtSettingsStore() override { settings_->sync(); }

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
        if (settings_->contains(path)) settings_->remove(path);
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

    void Sync() override { settings_->sync(); }

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
        settings_->setValue(ValuePath(key, name),
                            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }

    std::unique_ptr<QSettings> settings_;
};

} // namespace

std::unique_ptr<ISettingsStore> CreateSettingsStore(const std::string& file) {
    return std::make_unique<TQtSettingsStore>(file);
}
