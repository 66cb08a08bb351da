#pragma once

#include <QtCore/QString>

class IMainHost;

// Library > Import Other Catalog: a CDCat, catcli or gocatcli catalog read
// into the open catalog as new volumes, then a summary.
class TPeerImportCommand {
public:
    static void Run(IMainHost& host);
    // The file dialog's filter: the peers' usual file names first.
    static QString Filter();
};
