#pragma once

#include "catalog/lib_obj.h"
#include "importers/peer_catalog.h"
#include "support/temp_folder.h"

#include <string>
#include <string_view>

// The constructed examples of the three peer formats, as their writers lay them out.
extern const char* const kCdcatExample;
extern const char* const kCatcliExample;
extern const char* const kGocatcliExample;

// `data` gzip-compressed (one member), as CDCat writes .hcf files.
std::string Gzip(std::string_view data, int level = 6);

// The entry `name` of the folder at catalog path `folder` ("Vol\\dir\\"); null when absent.
TLibFolderItem* EntryAt(const TLibObj& lib, const std::string& folder, const std::string& name);
TLibFolder* FolderAt(const TLibObj& lib, const std::string& folder);

// Imports `data` written to a file named `name` in `tmp`.
TPeerImportResult ImportText(TLibObj& lib, const TTempFolder& tmp, const std::string& name,
                             std::string_view data, TPeerImportOptions options = {});
