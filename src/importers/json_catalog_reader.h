#pragma once

#include "importers/peer_builder.h"
#include "importers/peer_input.h"

// Reads a catcli or gocatcli catalog (JSON, or gocatcli's TOML) into volumes. `expected` is the
// format asked for (Unknown: whichever the content shows); returns the format
// read. Throws EMessageError on a file it cannot read.
TPeerFormat ReadJsonCatalog(TPeerInput& input, TPeerFormat expected, TPeerBuilder& builder,
                            IProgress& progress);

// What the first bytes of a JSON catalog show: Gocatcli when the root's first
// key is "storages", Catcli for another object, Unknown when not JSON.
TPeerFormat JsonFormatFromHead(std::string_view head);
