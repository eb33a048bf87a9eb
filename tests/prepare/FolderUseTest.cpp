// When a folder may come back and when the run may let it go, from its record
// alone: no file system.
#include "prepare/FolderUse.h"
#include "prepare/ProgramFolder.h"

#include <gtest/gtest.h>

TEST(FolderRecord, RestoreAndLetGoAreDecidedFromTheRecord) {
    using prepare::Occasion;
    const auto now = prepare::Clock::now();
    struct Case {
        bool recorded, started, found;
        std::chrono::seconds handed; // the opener ended that long ago; 0: none handed; -1: it runs
        bool seen;                   // its installer was seen (and has ended)
        int asking;
        bool requesting, restoreAtClose, restoreAtSessionEnd, letGo;
    };
    const std::chrono::seconds no{0}, runs{-1}, just{1}, grace = prepare::OpenerGrace;
    const Case cases[] = {
        {true, false, false, no, false, 0, false, true, true, false}, // recorded, nothing about it
        {false, false, false, no, false, 0, false, false, false, true}, // back, nothing about it
        {true, true, false, no, false, 0, false, false, false, false}, // its started installer runs
        {false, false, true, no, false, 0, false, false, false,
         false}, // one found by its file runs
        {true, false, false, runs, true, 0, false, false, false, false}, // its opener still runs
        {true, false, false, just, false, 0, false, false, false,
         false}, // the opener's, not seen yet
        {true, false, false, grace - just, false, 0, false, false, false, false}, // ...to the edge
        {true, false, false, grace, false, 0, false, true, true, false}, // never seen in its time
        {true, false, false, just, true, 0, false, true, true, false},   // seen, and ended
        {true, false, false, no, false, 1, false, false, true, false},   // a box is open about it
        {true, false, false, no, false, 0, true, false, false, false},   // its request runs
    };
    for (const Case& c : cases) {
        prepare::FolderRecord r;
        r.controlFile = c.recorded ? std::string("C:\\Sample\\") + prepare::ControlFileName : "";
        r.started = c.started ? std::vector<platform::Process>{7} : r.started;
        r.found = c.found ? std::vector<platform::Process>{8} : r.found;
        if (c.handed != no)
            r.handed.push_back(
                {9, c.handed == runs ? std::nullopt : std::optional(now - c.handed)});
        r.seen = c.seen;
        r.asking = c.asking;
        r.requesting = c.requesting;
        const auto row = &c - cases;
        EXPECT_EQ(prepare::mayRestore(r, Occasion::Close, now), c.restoreAtClose) << row;
        EXPECT_EQ(prepare::mayRestore(r, Occasion::SessionEnd, now), c.restoreAtSessionEnd) << row;
        EXPECT_EQ(prepare::mayLetGo(r, now), c.letGo) << row;
    }
}
