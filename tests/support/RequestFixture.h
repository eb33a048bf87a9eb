// What the install-request tests share: a temporary program folder, a platform
// layer that can fail on demand, and a window stand-in with scripted answers.
#pragma once

#include "platform/System.h"
#include "prepare/FolderUse.h"
#include "prepare/InstallRequest.h"
#include "support/FaultySystem.h"
#include "support/TestFolder.h"

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace testing_support {

class ScriptedUi : public prepare::RequestUi {
public:
    bool answer = true; // the answer to the question
    int questions = 0;
    std::vector<bool> progress; // every show (true) and hide (false)
    std::size_t cancelAt = std::numeric_limits<std::size_t>::max();

    void showProgress(bool visible) override { progress.push_back(visible); }
    bool surveyProgress(std::size_t met) override { return met < cancelAt; }
    bool confirmInstallInPlace() override {
        ++questions;
        return answer;
    }
};

// A program folder below a temporary folder ("Sample/" by default).
class ProgramFolderFixture {
public:
    explicit ProgramFolderFixture(std::string folder = "Sample");

    TestFolder tmp;
    FaultySystem sys;
    prepare::RunState state;
    ScriptedUi ui;
    std::string folder; // relative to tmp, no trailing slash

    // A file of the program folder ("doc/Manual.txt"), created.
    void file(const std::string& relative, const std::string& contents = "x");
    // The logic's form of a file of the program folder.
    std::string logic(const std::string& relative) const;
    // As a browse for the program file does.
    void browse(const std::string& programFile);
    // The window's fields: program file (relative to the folder), UTF-8 name.
    prepare::RequestTexts texts(const std::string& programFile, const std::string& application,
                                std::vector<std::pair<std::string, std::string>> startMenu = {});
    prepare::RequestOutcome run(const prepare::RequestTexts& texts);
    // The program folder's Inst.ini, decoded.
    std::string iniBytes() const;
    // Every file below the program folder: relative path -> contents.
    std::map<std::string, std::string> tree() const;
};

// The name of the temporary file that this process would leave beside `name`
// if it were killed while writing it.
std::string leftoverTemporaryName(const std::string& name);

} // namespace testing_support
