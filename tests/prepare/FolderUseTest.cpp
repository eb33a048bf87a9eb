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
        std::chrono::seconds unseenFor; // handed to the opener that long ago; 0: not handed
        int asking;
        bool requesting, restoreAtClose, restoreAtSessionEnd, letGo;
    };
    const std::chrono::seconds no{0}, just{1}, grace = prepare::OpenerGrace;
    const Case cases[] = {
        {true, false, false, no, 0, false, true, true, false},     // recorded, nothing about it
        {false, false, false, no, 0, false, false, false, true},   // back, nothing about it
        {true, true, false, no, 0, false, false, false, false},    // its started installer runs
        {false, false, true, no, 0, false, false, false, false},   // one found by its file runs
        {true, false, false, just, 0, false, false, false, false}, // the opener's, not seen yet
        {true, false, false, grace, 0, false, true, true, false},  // never seen in its time
        {true, false, false, no, 1, false, false, true, false},    // a box is open about it
        {true, false, false, no, 0, true, false, false, false},    // its request runs
    };
    for (const Case& c : cases) {
        prepare::FolderRecord r;
        r.controlFile = c.recorded ? std::string("C:\\Sample\\") + prepare::ControlFileName : "";
        r.started = c.started ? std::vector<platform::Process>{7} : r.started;
        r.found = c.found ? std::vector<platform::Process>{8} : r.found;
        if (c.unseenFor != no)
            r.unseenSince = now - c.unseenFor;
        r.asking = c.asking;
        r.requesting = c.requesting;
        const auto row = &c - cases;
        EXPECT_EQ(prepare::mayRestore(r, Occasion::Close, now), c.restoreAtClose) << row;
        EXPECT_EQ(prepare::mayRestore(r, Occasion::SessionEnd, now), c.restoreAtSessionEnd) << row;
        EXPECT_EQ(prepare::mayLetGo(r, now), c.letGo) << row;
    }
}
