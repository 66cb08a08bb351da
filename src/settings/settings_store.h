#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Where settings live: a tree of keys holding named values. Keys are paths
// below the program's root with "\" between levels ("Defaults", "Ext",
// "Pos\frmMain"); names are the values inside a key. Reads take the default
// when the value is missing or of another type.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;

    virtual bool ReadBool(const std::string& key, const std::string& name, bool def) const = 0;
    virtual int64_t ReadInt(const std::string& key, const std::string& name, int64_t def) const = 0;
    virtual double ReadDouble(const std::string& key, const std::string& name,
                              double def) const = 0;
    virtual std::string ReadString(const std::string& key, const std::string& name,
                                   const std::string& def) const = 0;
    // Date-times are TDateTime values (days since 1899-12-30).
    virtual double ReadDateTime(const std::string& key, const std::string& name,
                                double def) const = 0;

    virtual void WriteBool(const std::string& key, const std::string& name, bool v) = 0;
    virtual void WriteInt(const std::string& key, const std::string& name, int64_t v) = 0;
    virtual void WriteDouble(const std::string& key, const std::string& name, double v) = 0;
    virtual void WriteString(const std::string& key, const std::string& name,
                             const std::string& v) = 0;
    virtual void WriteDateTime(const std::string& key, const std::string& name, double v) = 0;

    virtual bool KeyExists(const std::string& key) const = 0;
    virtual bool ValueExists(const std::string& key, const std::string& name) const = 0;
    // Removes the key with its values and every key below it.
    virtual void DeleteKey(const std::string& key) = 0;
    virtual void DeleteValue(const std::string& key, const std::string& name) = 0;
    // Direct sub-key names of a key, in ascending order.
    virtual std::vector<std::string> SubKeys(const std::string& key) const = 0;
    // Writes pending changes to disk (no-op for stores without a file).
    virtual void Sync() {}
};

// A store held in memory; tests use it, and it is the model of the semantics.
class TMemorySettingsStore : public ISettingsStore {
public:
    bool ReadBool(const std::string& key, const std::string& name, bool def) const override;
    int64_t ReadInt(const std::string& key, const std::string& name, int64_t def) const override;
    double ReadDouble(const std::string& key, const std::string& name, double def) const override;
    std::string ReadString(const std::string& key, const std::string& name,
                           const std::string& def) const override;
    double ReadDateTime(const std::string& key, const std::string& name, double def) const override;
    void WriteBool(const std::string& key, const std::string& name, bool v) override;
    void WriteInt(const std::string& key, const std::string& name, int64_t v) override;
    void WriteDouble(const std::string& key, const std::string& name, double v) override;
    void WriteString(const std::string& key, const std::string& name,
                     const std::string& v) override;
    void WriteDateTime(const std::string& key, const std::string& name, double v) override;
    bool KeyExists(const std::string& key) const override;
    bool ValueExists(const std::string& key, const std::string& name) const override;
    void DeleteKey(const std::string& key) override;
    void DeleteValue(const std::string& key, const std::string& name) override;
    std::vector<std::string> SubKeys(const std::string& key) const override;

    // key -> name -> text form of the value
    std::map<std::string, std::map<std::string, std::string>> Keys;
};
