#pragma once

#include "catalog/lib_obj.h"
#include "importers/peer_catalog.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>

// The constructed examples of the three peer formats, as their writers lay them out.
extern const char* const kCdcatExample;
extern const char* const kCatcliExample;
extern const char* const kGocatcliExample;
// kGocatcliExample as gocatcli writes it to a .toml catalog.
extern const char* const kGocatcliTomlExample;

// `data` gzip-compressed (one member), as CDCat writes .hcf files.
std::string Gzip(std::string_view data, int level = 6);

// The entry `name` of the folder at catalog path `folder` ("Vol\\dir\\"); null when absent.
TLibFolderItem* EntryAt(const TLibObj& lib, const std::string& folder, const std::string& name);
TLibFolder* FolderAt(const TLibObj& lib, const std::string& folder);
// The same for reading fields: a missing one fails the test and reads as a
// blank one, so that the checks after it (and the other tests) still run.
const TLibFolderItem& EntryRef(const TLibObj& lib, const std::string& folder,
                               const std::string& name);
const TLibFolder& FolderRef(const TLibObj& lib, const std::string& folder);

// Imports `data` written to a file named `name` in `tmp`.
TPeerImportResult ImportText(TLibObj& lib, const TTempFolder& tmp, const std::string& name,
                             std::string_view data, TPeerImportOptions options = {});

// A catalog with one volume that an import must leave exactly as it was.
class PeerRefusalTest : public ::testing::Test {
protected:
    void SetUp() override;
    // The import fails with `key` (and `part` in its text) and changes nothing.
    void ExpectRefused(const std::string& name, std::string_view data, const std::string& key,
                       const std::string& part = {}, TPeerImportOptions o = {});

    TTempFolder tmp;
    TLibObj lib;
};
