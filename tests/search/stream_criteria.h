#pragma once

#include "search/search_engine.h"

#include <string>
#include <utility>
#include <vector>

// Criteria of every kind the streamed search handles, named for the failure
// message; texts fit both catalogs the streamed search is tested on.
inline std::vector<std::pair<std::string, TSearchCriteria>> StreamCriteria(TDateTime from,
                                                                           TDateTime to) {
    std::vector<std::pair<std::string, TSearchCriteria>> all;
    auto add = [&](std::string what, auto set) {
        TSearchCriteria c;
        set(c);
        all.emplace_back(std::move(what), c);
    };
    add("everything", [](TSearchCriteria&) {});
    add("name", [](TSearchCriteria& c) { c.Name = "txt"; });
    add("name, match case", [](TSearchCriteria& c) {
        c.Name = "TXT";
        c.MatchCase = true;
    });
    add("name beyond ASCII", [](TSearchCriteria& c) { c.Name = "\xc3\xa9"; });
    add("type", [](TSearchCriteria& c) { c.Type = "mp3"; });
    add("category of a folder", [](TSearchCriteria& c) { c.Category = "work"; });
    add("category of a volume", [](TSearchCriteria& c) { c.Category = "Discs"; });
    add("comments of a folder", [](TSearchCriteria& c) { c.Comments = "papers"; });
    add("comments", [](TSearchCriteria& c) { c.Comments = "box"; });
    add("volume", [](TSearchCriteria& c) { c.Volume = "2"; });
    add("location", [](TSearchCriteria& c) { c.Location = "shelf"; });
    add("date range", [&](TSearchCriteria& c) {
        c.Date1Use = c.Date2Use = true;
        c.Date1 = from;
        c.Date2 = to;
    });
    add("one day", [&](TSearchCriteria& c) {
        c.Date1Use = true;
        c.Date1 = from;
    });
    add("size in MB", [](TSearchCriteria& c) {
        c.SizeUse = true;
        c.SizeSign = kSignGreater;
        c.SizeUnit = 2;
        c.SizeValue = 1;
    });
    add("size in KB", [](TSearchCriteria& c) {
        c.SizeUse = true;
        c.SizeSign = kSignEqual;
        c.SizeUnit = 1;
        c.SizeValue = 2;
    });
    add("size in bytes", [](TSearchCriteria& c) {
        c.SizeUse = true;
        c.SizeSign = kSignLess;
        c.SizeValue = 8;
    });
    add("anywhere", [](TSearchCriteria& c) {
        c.Mode = TSearchMode::Anywhere;
        c.Anywhere = "box";
    });
    add("anywhere, a name", [](TSearchCriteria& c) {
        c.Mode = TSearchMode::Anywhere;
        c.Anywhere = "doc";
    });
    add("folders only", [](TSearchCriteria& c) { c.FoldersOnly = true; });
    add("duration", [](TSearchCriteria& c) {
        c.DurationUse = true;
        c.DurationMin = 0.5;
    });
    add("taken", [](TSearchCriteria& c) {
        c.TakenUse = true;
        c.TakenFrom = "2001-01-01";
    });
    return all;
}
