// A test-only driver: runs install requests and the restore at close on one
// folder, over and over, so a test can kill it at any moment.
//
//   kw_crash_driver FOLDER cycle [across]   request, restore, request, ...
//   kw_crash_driver FOLDER once [across]    one request, then the restore
//
// With "across", every move between folders meets another device and takes
// the way of a copy. The program file is FOLDER/Sample.exe; the question is
// answered "yes".
#include "platform/System.h"
#include "prepare/InstallRequest.h"
#include "prepare/FolderUse.h"
#include "support/FaultySystem.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

class YesUi : public prepare::RequestUi {
public:
    void showProgress(bool) override {}
    bool surveyProgress(std::size_t) override { return true; }
    bool confirmInstallInPlace() override { return true; }
};

bool requestAndRestore(platform::System& sys, const std::string& programFile) {
    prepare::RunState state;
    prepare::RequestTexts texts;
    texts.programFile = programFile;
    texts.application = std::string("App");
    for (int i = 0; i < prepare::StartMenuRowCount; ++i) {
        texts.startMenuNames[i] = std::string();
        texts.startMenuFiles[i] = std::string();
    }
    YesUi ui;
    auto outcome = prepare::runInstallRequest(sys, state, texts, ui);
    prepare::restoreOnClose(sys, state);
    return outcome.kind == prepare::RequestOutcome::Kind::Started;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4)
        return 2;
    testing_support::FaultySystem sys;
    sys.otherDevice = argc == 4 && std::strcmp(argv[3], "across") == 0;
    auto programFile = sys.fromNativePath(std::string(argv[1]) + "/Sample.exe");
    if (!programFile)
        return 2;
    if (std::strcmp(argv[2], "once") == 0)
        return requestAndRestore(sys, *programFile) ? 0 : 1;
    for (;;) {
        if (!requestAndRestore(sys, *programFile))
            return 1;
    }
}
