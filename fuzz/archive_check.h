#pragma once

#include "archives/archive_member.h"
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Checks one member as a reader hands it over.
void CheckArchiveMember(const TArchiveMember& m);

// Scans the input as the one archive of a volume, the way a scan meets it,
// and checks the catalog's totals afterwards.
void ScanArchiveAsVolume(const TFuzzFile& file);
