// A test-only driver: runs install requests and the restore at close on one
// folder, over and over, so a test can kill it at any moment.
//
//   kw_crash_driver FOLDER cycle   request, restore, request, restore, ...
//   kw_crash_driver FOLDER once    one request, then the restore
//
// The program file is FOLDER/Sample.exe; the question is answered "yes".
#include "platform/System.h"
#include "prepare/InstallRequest.h"
#include "prepare/Restore.h"

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

// The installer is never started here.
class NoShell : public platform::System {
public:
    explicit NoShell(platform::System& s) : s_(s) {}
    std::optional<platform::FoundFile> findFirst(const std::string& p) override {
        return s_.findFirst(p);
    }
    bool enumerate(const std::string& f,
                   const std::function<void(const platform::DirEntry&)>& e) override {
        return s_.enumerate(f, e);
    }
    std::uint32_t attributes(const std::string& p) override { return s_.attributes(p); }
    bool copyNoReplace(const std::string& a, const std::string& b) override {
        return s_.copyNoReplace(a, b);
    }
    bool moveNoReplace(const std::string& a, const std::string& b) override {
        return s_.moveNoReplace(a, b);
    }
    bool removeFile(const std::string& p) override { return s_.removeFile(p); }
    std::optional<std::string> readFile(const std::string& p) override { return s_.readFile(p); }
    bool writeFileAtomic(const std::string& p, std::string_view c) override {
        return s_.writeFileAtomic(p, c);
    }
    void shellOpen(const std::string&) override {}
    std::string ownExecutablePath() override { return s_.ownExecutablePath(); }
    std::optional<std::string> fromNativePath(std::string_view n) override {
        return s_.fromNativePath(n);
    }
    std::string toNativePath(std::string_view l) override { return s_.toNativePath(l); }

private:
    platform::System& s_;
};

bool requestAndRestore(platform::System& sys, const std::string& programFile) {
    prepare::RunState state;
    prepare::RequestTexts texts;
    texts.programFile = programFile;
    texts.application = std::string("App");
    for (int i = 0; i < 3; ++i) {
        texts.startMenuNames[i] = std::string();
        texts.startMenuFiles[i] = std::string();
    }
    YesUi ui;
    auto outcome = prepare::runInstallRequest(sys, state, texts, ui);
    prepare::restoreOnClose(sys, state.CreatedIniFiles);
    return outcome.kind == prepare::RequestOutcome::Kind::Started;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    NoShell sys(platform::realSystem());
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
