#include "importers/peer_catalog.h"

#include "importers/cdcat_reader.h"
#include "importers/json_catalog_reader.h"
#include "importers/peer_builder.h"
#include "importers/peer_input.h"
#include "importers/toml_text.h"
#include "settings/message_table.h"
#include "text/message_error.h"
#include "text/name_text.h"

namespace {

constexpr size_t kHeadBytes = 4096;

TPeerFormat FormatOfHead(std::string_view head) {
    if (LooksLikeCdcat(head)) return TPeerFormat::CDCat;
    if (tomltext::LooksLikeCatalog(head)) return TPeerFormat::Gocatcli;
    return JsonFormatFromHead(head);
}

} // namespace

TPeerFormat PeerFormatFromName(const std::string& name) {
    if (name == "cdcat") return TPeerFormat::CDCat;
    if (name == "catcli") return TPeerFormat::Catcli;
    if (name == "gocatcli") return TPeerFormat::Gocatcli;
    return TPeerFormat::Unknown;
}

const char* PeerFormatName(TPeerFormat format) {
    switch (format) {
    case TPeerFormat::CDCat:
        return "CDCat";
    case TPeerFormat::Catcli:
        return "catcli";
    case TPeerFormat::Gocatcli:
        return "gocatcli";
    case TPeerFormat::Unknown:
        break;
    }
    return "?";
}

TPeerFormat DetectPeerFormat(const std::string& path) {
    TPeerInput input(path, 64ull << 20, 200);
    return FormatOfHead(input.Peek(kHeadBytes));
}

TPeerImportResult ImportPeerCatalog(TLibObj& lib, const std::string& path,
                                    const TPeerImportOptions& options, IProgress& progress) {
    const std::string shown = nametext::ToDisplayPath(path);
    TPeerBuilder builder(lib, progress);
    bool begun = false;
    try {
        TPeerInput input(path, options.InflateFloor, options.InflateRatio);
        progress.BeginProgress(GetMessageText("msgsImporting", shown),
                               static_cast<int64_t>(input.FileSize()));
        begun = true;
        const TPeerFormat head = FormatOfHead(input.Peek(kHeadBytes));
        const TPeerFormat wanted = options.Format;
        if (head == TPeerFormat::Unknown) throw EMessageError("errPeerUnknown", shown);
        const bool wantsJson = wanted == TPeerFormat::Catcli || wanted == TPeerFormat::Gocatcli;
        if ((wanted == TPeerFormat::CDCat && head != TPeerFormat::CDCat) ||
            (wantsJson && head == TPeerFormat::CDCat))
            throw EMessageError("errPeerNotFormat",
                                std::string(PeerFormatName(wanted)) + ": " + shown);
        if (head == TPeerFormat::CDCat) {
            ReadCdcatCatalog(input, builder, progress);
            builder.Result.Format = TPeerFormat::CDCat;
        } else {
            builder.Result.Format = ReadJsonCatalog(input, wanted, builder, progress);
        }
        builder.Finish();
    } catch (...) {
        builder.Rollback();
        progress.ShowStatus(GetMessageText("msgsImportFailed", shown), {}, true);
        if (begun) progress.EndProgress(std::string());
        throw;
    }
    progress.EndProgress(GetMessageText("msgsImported", shown));
    return builder.Result;
}
