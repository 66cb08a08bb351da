#pragma once

#include "importers/peer_builder.h"
#include "importers/peer_input.h"

// Reads a CDCat catalog (gzip or plain XML, also the partial XML export
// without a catalog root) into volumes, streaming: memory stays flat
// whatever the catalog's size. Throws EMessageError on a file it cannot read
// ("errPeerDamaged" with line and column, "errPeerEncrypted").
void ReadCdcatCatalog(TPeerInput& input, TPeerBuilder& builder, IProgress& progress);

// The first bytes look like CDCat's: XML, or its encrypted form.
bool LooksLikeCdcat(std::string_view head);
