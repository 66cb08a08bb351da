#pragma once

#include "ui/catalog_host.h"

// What the space view needs from the window that owns the catalog: only what
// every view of the catalog needs.
class ISpaceHost : public ICatalogHost {};
