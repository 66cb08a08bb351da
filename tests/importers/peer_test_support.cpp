#include "peer_test_support.h"

#include "catalog/lib_records.h"
#include "support/catalog_builder.h"
#include "text/message_error.h"

#include <stdexcept>
#include <zlib.h>

const char* const kCdcatExample = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE HyperCDCatalogFile>

<!-- generator banner: program, homepage, maintainer, versions -->

<catalog name="Attic boxes" owner="Ilse" time="2019-03-02 18:40:11" sortedBy="1">
<datafile version="2.2"/>
 <comment>Boxes under the roof </comment>
 <media name="Holiday 2008" number="7" owner="Ilse" type="DVD" time="2019-03-02 18:39:50">
  <comment>Second copy is at the office  </comment>
  <category>photos  </category>
 <borrow>Marek</borrow>
  <directory name="Crete &amp; Rhodes" time="2008-09-14 21:05:33">
   <file name="waves.mp3" size="3.47 Mb" time="2008-09-10 08:12:00">
    <comment>2:31, 192 kbps#44100Hz, Joint stereo    </comment>
    <fileinfo>General
Format                                   : MPEG Audio
    </fileinfo>
    <mp3tag artist="Nobody" title="Waves" album="Shore" year="2008" tnum="3">dawn take    </mp3tag>
   </file>
   <file name="notes.tar.gz" size="12.50 Kb" time="2008-09-14 21:04:10">
    <archivecontent>
-rw-r--r-- ?ilse?users?20480?Sep 9 21:7 2008?notes/day1.txt??
drwxr-xr-x ?ilse?users?0?Sep 9 21:0 2008?notes/??</archivecontent>
   </file>
   <file name="readme.nfo" size="13.00 byte" time="2008-09-01 10:00:00">
    <content>48656C6C6F2C20776F726C640A    </content>
   </file>
  </directory>
 </media>
 <catlnk name="Music shelf" location="/home/ilse/music.hcf" >
  <comment>the other catalog  </comment>
 </catlnk>
</catalog>
)";

const char* const kCatcliExample = R"({
  "children": [
    {
      "attr": "shelf=B2, usb",
      "children": [
        {
          "children": [
            {"maccess": 1220990400.25, "md5": "", "name": "waves.mp3",
             "size": 3638559, "type": "file"}
          ],
          "maccess": 1221419133.0, "name": "Crete & Rhodes",
          "size": 3638559, "type": "dir"
        },
        {
          "children": [
            {"archive": "notes.zip", "md5": "", "name": "notes", "size": 0, "type": "arc",
             "children": [
               {"archive": "notes.zip", "md5": "", "name": "day1.txt", "size": 0, "type": "arc"}
             ]}
          ],
          "maccess": 1221418950.5, "md5": "", "name": "notes.zip",
          "size": 12800, "type": "file"
        }
      ],
      "free": 1048576, "name": "holiday-2008", "size": 3651359,
      "total": 4700372992, "ts": 1551548390, "type": "storage"
    },
    {
      "attr": {"access": 1551548390, "access_version": "1.0",
               "created": 1551548390, "created_version": "1.0"},
      "name": "meta", "size": null, "type": "meta"
    }
  ],
  "name": "top", "size": null, "type": "top"
}
)";

const char* const kGocatcliExample = R"({
  "storages": [
    {
      "id": 2745101466, "name": "holiday-2008", "path": "DVD_HOLIDAY",
      "size": 3651359, "free": 1048576, "total": 4700372992, "ts": 1551548390,
      "type": "storage", "tags": ["photos", "dvd"], "meta": "shelf B2",
      "nb_files": 2,
      "children": [
        {"id": "", "name": "Crete \u0026 Rhodes", "relpath": "Crete \u0026 Rhodes",
         "md5": "", "filetype": "dir", "size": 3638559, "maccess": 1221419133,
         "children": [
           {"id": "", "name": "waves.mp3", "relpath": "Crete \u0026 Rhodes/waves.mp3",
            "md5": "4f1c0d5e9a8b7c6d5e4f3a2b1c0d9e8f", "filetype": "file",
            "size": 3638559, "maccess": 1220990400, "children": null,
            "ts": 1551548390, "storage_id": 2745101466, "mode": "-rw-r--r--",
            "mime": "audio/mpeg", "extra": ""}
         ],
         "ts": 1551548390, "storage_id": 2745101466, "mode": "drwxr-xr-x",
         "mime": "", "extra": ""},
        {"id": "", "name": "notes.zip", "relpath": "notes.zip", "md5": "",
         "filetype": "archive", "size": 12800, "maccess": 1221418950,
         "children": [
           {"id": "", "name": "notes/day1.txt", "relpath": "notes.zip", "md5": "",
            "filetype": "archived", "size": 20480, "maccess": 1220987227,
            "children": null, "ts": 1551548390, "storage_id": 2745101466,
            "mode": "-rw-r--r--", "mime": "", "extra": ""}
         ],
         "ts": 1551548390, "storage_id": 2745101466, "mode": "-rw-r--r--",
         "mime": "application/zip", "extra": ""}
      ]
    }
  ],
  "tool": "gocatcli - https://example.org/gocatcli",
  "version": "1.1.3", "created": 1551548390, "updated": 1551548400, "note": ""
}
)";

// Go's TOML writer: plain keys first, then each nested list as an array of tables.
const char* const kGocatcliTomlExample = R"(tool = "gocatcli - https://example.org/gocatcli"
version = "1.1.3"
created = 1551548390
updated = 1551548400
note = ""

[[storages]]
id = 2745101466
name = "holiday-2008"
path = "DVD_HOLIDAY"
size = 3651359
free = 1048576
total = 4700372992
ts = 1551548390
type = "storage"
tags = ["photos", "dvd"]
meta = "shelf B2"
nb_files = 2

[[storages.children]]
id = ""
name = "Crete & Rhodes"
relpath = "Crete & Rhodes"
md5 = ""
filetype = "dir"
size = 3638559
maccess = 1221419133
ts = 1551548390
storage_id = 2745101466
mode = "drwxr-xr-x"
mime = ""
extra = ""

[[storages.children.children]]
id = ""
name = "waves.mp3"
relpath = "Crete & Rhodes/waves.mp3"
md5 = "4f1c0d5e9a8b7c6d5e4f3a2b1c0d9e8f"
filetype = "file"
size = 3638559
maccess = 1220990400
ts = 1551548390
storage_id = 2745101466
mode = "-rw-r--r--"
mime = "audio/mpeg"
extra = ""

[[storages.children]]
id = ""
name = "notes.zip"
relpath = "notes.zip"
md5 = ""
filetype = "archive"
size = 12800
maccess = 1221418950
ts = 1551548390
storage_id = 2745101466
mode = "-rw-r--r--"
mime = "application/zip"
extra = ""

[[storages.children.children]]
id = ""
name = "notes/day1.txt"
relpath = "notes.zip"
md5 = ""
filetype = "archived"
size = 20480
maccess = 1220987227
ts = 1551548390
storage_id = 2745101466
mode = "-rw-r--r--"
mime = ""
extra = ""
)";

std::string Gzip(std::string_view data, int level) {
    z_stream s{};
    if (deflateInit2(&s, level, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&s, static_cast<uLong>(data.size())) + 64, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

TLibFolder* FolderAt(const TLibObj& lib, const std::string& folder) {
    return FolderOf(FindFolderByCatalogPath(lib, folder));
}

TLibFolderItem* EntryAt(const TLibObj& lib, const std::string& folder, const std::string& name) {
    TLibFolder* f = FolderAt(lib, folder);
    return f ? f->FindItem(name) : nullptr;
}

const TLibFolderItem& EntryRef(const TLibObj& lib, const std::string& folder,
                               const std::string& name) {
    static const TLibFolderItem blank;
    const TLibFolderItem* e = EntryAt(lib, folder, name);
    if (!e) ADD_FAILURE() << "no entry " << folder << name;
    return e ? *e : blank;
}

const TLibFolder& FolderRef(const TLibObj& lib, const std::string& folder) {
    static const TLibFolder blank;
    const TLibFolder* f = FolderAt(lib, folder);
    if (!f) ADD_FAILURE() << "no folder " << folder;
    return f ? *f : blank;
}

TPeerImportResult ImportText(TLibObj& lib, const TTempFolder& tmp, const std::string& name,
                             std::string_view data, TPeerImportOptions options) {
    TNullProgress quiet;
    return ImportPeerCatalog(lib, tmp.Write(name, data), options, quiet);
}

void PeerRefusalTest::SetUp() {
    TCatalogBuilder b(lib);
    TTreeNode* v = b.Volume("Old disc");
    b.File(v, "kept.txt", 5);
    lib.Recount();
    lib.Modified = false;
}

void PeerRefusalTest::ExpectRefused(const std::string& name, std::string_view data,
                                    const std::string& key, const std::string& part,
                                    TPeerImportOptions o) {
    try {
        ImportText(lib, tmp, name, data, o);
        ADD_FAILURE() << name << ": imported";
    } catch (const EMessageError& e) {
        EXPECT_EQ(e.Key, key) << name << ": " << e.what();
        EXPECT_NE(e.Arg.find(part), std::string::npos) << name << ": " << e.what();
    }
    ASSERT_EQ(lib.Tree.RootCount(), 1) << name;
    EXPECT_EQ(FolderOf(lib.Tree.Root(0))->Caption, "Old disc");
    EXPECT_FALSE(lib.Modified) << name;
    EXPECT_EQ(lib.FileCount, 1);
    EXPECT_TRUE(TotalsAreConsistent(lib));
}
