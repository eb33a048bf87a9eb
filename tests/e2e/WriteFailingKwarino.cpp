// kwarino.exe as one end-to-end test needs it: the same window and logic over
// a platform layer that refuses every write of a control file, as a full disk
// or a write-protected folder would. Built with the tests only, never shipped.
#include "platform/System.h"
#include "support/FaultySystem.h"
#include "support/ProductNames.h"
#include "win32/Start.h"

#include <windows.h>

namespace {

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    testing_support::FaultySystem system;
    system.fail = [](testing_support::Operation op, const std::string& path) {
        return op == testing_support::Operation::writeFileAtomic &&
               endsWith(path, "\\" + testing_support::Ini);
    };
    return win32::runTool(instance, showCommand, system, {});
}
