// When a folder may come back and when the run may let it go, from its record
// alone: no file system.
#include "prepare/FolderUse.h"

#include <gtest/gtest.h>

namespace {

using prepare::Occasion;

TEST(FolderRecord, RestoreAndLetGoAreDecidedFromTheRecord) {
    const prepare::Clock::time_point now = prepare::Clock::now();
    struct Case {
        const char* what;
        bool recorded;
        void (*set)(prepare::FolderRecord&, prepare::Clock::time_point now);
        bool restoreAtClose, restoreAtSessionEnd, letGo;
    };
    const Case cases[] = {
        {"recorded, nothing about it", true, [](auto&, auto) {}, true, true, false},
        {"back, nothing about it", false, [](auto&, auto) {}, false, false, true},
        {"its started installer runs", true, [](auto& r, auto) { r.started = {7}; }, false, false,
         false},
        {"an installer found by its file", false, [](auto& r, auto) { r.found = {7}; }, false,
         false, false},
        {"handed to the opener just now", true,
         [](auto& r, auto at) { r.unseenSince = at - std::chrono::seconds(1); }, false, false,
         false},
        {"handed to the opener, never seen", true,
         [](auto& r, auto at) { r.unseenSince = at - prepare::OpenerGrace; }, true, true, false},
        {"a box is open about it", true, [](auto& r, auto) { r.asking = 1; }, false, true, false},
        {"back, a box is open about it", false, [](auto& r, auto) { r.asking = 1; }, false, false,
         false},
        {"its request runs", true, [](auto& r, auto) { r.requesting = true; }, false, false, false},
        {"back, its request runs", false, [](auto& r, auto) { r.requesting = true; }, false, false,
         false},
    };
    for (const Case& c : cases) {
        prepare::FolderRecord record;
        record.folder = "C:\\Sample\\";
        if (c.recorded)
            record.controlFile = "C:\\Sample\\Inst.ini";
        c.set(record, now);
        EXPECT_EQ(prepare::mayRestore(record, Occasion::Close, now), c.restoreAtClose) << c.what;
        EXPECT_EQ(prepare::mayRestore(record, Occasion::SessionEnd, now), c.restoreAtSessionEnd)
            << c.what;
        EXPECT_EQ(prepare::mayLetGo(record, now), c.letGo) << c.what;
    }
}

} // namespace
