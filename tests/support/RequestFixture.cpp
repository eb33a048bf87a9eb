#include "support/RequestFixture.h"

#include "prepare/Texts.h"
#include "support/ProductNames.h"

using testing_support::Ini;

namespace testing_support {

std::string leftoverTemporaryName(const std::string& name) {
    return "~" + name + ".kwarino-" + std::to_string(platform::realSystem().processId()) + "-7.tmp";
}

ProgramFolderFixture::ProgramFolderFixture(std::string f) : folder(std::move(f)) {
    tmp.mkdir(folder);
}

void ProgramFolderFixture::file(const std::string& relative, const std::string& contents) {
    tmp.write(folder + "/" + relative, contents);
}

std::string ProgramFolderFixture::logic(const std::string& relative) const {
    if (relative.empty())
        return tmp.logic(folder) + "\\";
    return tmp.logic(folder + "/" + relative);
}

void ProgramFolderFixture::browse(const std::string& programFile) {
    prepare::setProgramFile(state, logic(programFile));
}

prepare::RequestTexts
ProgramFolderFixture::texts(const std::string& programFile, const std::string& application,
                            std::vector<std::pair<std::string, std::string>> startMenu) {
    prepare::RequestTexts t;
    t.programFile = programFile.empty() ? std::string() : logic(programFile);
    t.application = application.empty() ? std::string() : prepare::sjis(application);
    for (std::size_t row = 0; row < std::size(t.startMenuFiles); ++row) {
        t.startMenuNames[row] = std::string();
        t.startMenuFiles[row] = std::string();
        if (row < startMenu.size()) {
            t.startMenuNames[row] = prepare::sjis(startMenu[row].first);
            if (!startMenu[row].second.empty())
                t.startMenuFiles[row] = logic(startMenu[row].second);
        }
    }
    return t;
}

prepare::RequestOutcome ProgramFolderFixture::run(const prepare::RequestTexts& t) {
    return prepare::runInstallRequest(sys, state, t, ui);
}

std::string ProgramFolderFixture::iniBytes() const {
    return tmp.read(folder + "/" + Ini);
}

std::map<std::string, std::string> ProgramFolderFixture::tree() const {
    std::map<std::string, std::string> out;
    const std::string prefix = folder + "/";
    for (auto& [path, contents] : tmp.snapshot()) {
        if (path.compare(0, prefix.size(), prefix) == 0)
            out[path.substr(prefix.size())] = contents;
    }
    return out;
}

} // namespace testing_support
