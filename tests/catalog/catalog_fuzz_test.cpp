#include "catalog/catalog_file.h"
#include "catalog/lib_obj.h"
#include "support/catalog_builder.h"
#include "support/temp_folder.h"
#include "text/message_error.h"

#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>

// Thousands of damaged versions of a real catalog: every load ends in a
// catalog or a clear error, never a crash or a read outside a buffer.
TEST(CatalogFuzz, MutatedFilesNeverCrash) {
    TTempFolder dir;
    TNullProgress quiet;
    TLibObj lib;
    for (int v = 0; v < 3; ++v) {
        auto vol = std::make_unique<TLibFolder>();
        vol->Caption = "Vol" + std::to_string(v);
        vol->Location = "L" + std::to_string(v);
        TTreeNode* vn = lib.AddVolumeNode(std::move(vol));
        TTreeNode* parent = vn;
        for (int d = 0; d < 3; ++d) {
            auto e = std::make_unique<TLibFolderItem>();
            e->Caption = "dir" + std::to_string(d);
            e->IsFolder = 1;
            lib.AddEntry(FolderOf(parent), std::move(e));
            auto f = std::make_unique<TLibFolder>();
            f->Caption = "dir" + std::to_string(d);
            parent = lib.AddFolderNode(parent, std::move(f));
            for (int i = 0; i < 3; ++i) {
                auto file = std::make_unique<TLibFolderItem>();
                file->Caption = "file" + std::to_string(i) + ".mp3";
                file->Size = 1000 * i + d;
                file->TagInfo.SetValue("Title", std::string("T") + std::to_string(i));
                TLibFolderItem* added = lib.AddEntry(FolderOf(parent), std::move(file));
                if (i == 1) lib.LinkEntry(nullptr, FolderOf(parent), added);
            }
        }
        lib.LinkFolder(nullptr, FolderOf(vn));
    }
    lib.Categories.Add("cat");
    SaveToFile(lib, dir.File("seed.txc"), quiet);
    const std::string seed = ReadFile(dir.File("seed.txc"));

    std::mt19937 rng(12345);
    int errors = 0, loads = 0;
    const std::string path = dir.File("m.txc");
    for (int round = 0; round < 3000; ++round) {
        std::string m = seed;
        switch (round % 5) {
        case 0: // a few random bytes
            for (int k = 0; k < 1 + static_cast<int>(rng() % 4); ++k)
                m[rng() % m.size()] = static_cast<char>(rng());
            break;
        case 1: // cut short
            m.resize(rng() % m.size());
            break;
        case 2: { // a lying 32-bit field
            size_t at = rng() % (m.size() - 4);
            int32_t v = static_cast<int32_t>(rng()) >> (rng() % 31);
            std::memcpy(&m[at], &v, 4);
            break;
        }
        case 3: { // a lying 64-bit field: sizes near 2^63, negative ones
            size_t at = rng() % (m.size() - 8);
            int64_t v = std::numeric_limits<int64_t>::max() - static_cast<int64_t>(rng() % 3);
            if (rng() % 2) v = -v;
            std::memcpy(&m[at], &v, 8);
            break;
        }
        default: // random bytes after a valid header
            m.resize(35 + rng() % 400);
            for (size_t i = 35; i < m.size(); ++i)
                m[i] = static_cast<char>(rng());
        }
        WriteFile(path, m);
        TLibObj back;
        try {
            LoadFromFile(back, path, false, quiet);
            ++loads;
        } catch (const EMessageError&) {
            ++errors;
        }
        // Whatever was read must be a consistent tree, with no negative size.
        EXPECT_TRUE(TotalsAreConsistent(back));
        EXPECT_GE(back.TotalSize, 0);
        back.Tree.ForEach([](TTreeNode* n) {
            for (const auto& e : FolderOf(n)->Items())
                EXPECT_GE(e->Size, 0);
        });
    }
    EXPECT_GT(errors, 0);
    EXPECT_GT(loads, 0);
}
