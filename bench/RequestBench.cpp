// One whole request plus the close on a folder of 98 files, the way the window
// runs it (without starting the installer), and the same split into its steps.
#include "Common.h"

#include "prepare/ControlFile.h"
#include "prepare/FolderUse.h"
#include "prepare/InstallRequest.h"
#include "prepare/Restore.h"
#include "prepare/Texts.h"
#include "support/ProductNames.h"

#include <cstdio>
#include <unistd.h>

namespace bench {
namespace {

using testing_support::Ini;
using testing_support::Installer;

// The window's part, answered at once.
class QuietUi : public prepare::RequestUi {
public:
    void showProgress(bool) override {}
    bool surveyProgress(std::size_t) override { return true; }
    bool confirmInstallInPlace() override { return true; }
};

struct RequestSetup {
    std::string folder; // native
    prepare::RequestTexts texts;
};

// Sample.exe and Inst.exe at the top, 96 files of 4 KiB in 8 subfolders.
const RequestSetup& setup() {
    static const RequestSetup s = [] {
        ensureTree("request", [](const std::string& top) {
            makeFile(top + "/Sample.exe", 64 << 10, true);
            makeFile(top + "/" + Installer, 64 << 10, true);
            char relative[64];
            for (int d = 0; d < 8; ++d) {
                for (int f = 0; f < 12; ++f) {
                    std::snprintf(relative, sizeof relative, "/doc%d/page%d_%02d.txt", d, d, f);
                    makeFile(top + relative, 4 << 10, true);
                }
            }
        });
        RequestSetup r;
        r.folder = native("request");
        const std::string folder = logic(r.folder, true);
        r.texts.programFile = folder + "Sample.exe";
        r.texts.application = prepare::sjis("サンプル");
        for (int row = 0; row < 3; ++row) {
            r.texts.startMenuNames[row] = std::string();
            r.texts.startMenuFiles[row] = std::string();
        }
        r.texts.startMenuNames[0] = prepare::sjis("説明書");
        r.texts.startMenuFiles[0] = folder + "doc0\\page0_00.txt";
        return r;
    }();
    return s;
}

bool restored(const RequestSetup& s) {
    return access((s.folder + "/doc7/page7_11.txt").c_str(), F_OK) == 0 &&
           access((s.folder + "/" + Ini).c_str(), F_OK) != 0;
}

void BM_WholeRequest(benchmark::State& st) {
    const RequestSetup& s = setup();
    NoLaunchSystem sys;
    QuietUi ui;
    for (auto _ : st) {
        prepare::RunState state;
        prepare::setProgramFile(state, *s.texts.programFile); // as the browse did
        const prepare::RequestOutcome outcome = prepare::runInstallRequest(sys, state, s.texts, ui);
        prepare::restoreOnClose(sys, state);
        if (outcome.kind != prepare::RequestOutcome::Kind::Started || state.RelocationRefused ||
            !restored(s)) {
            st.SkipWithError("the request did not relocate and restore");
            break;
        }
    }
}

void BM_RequestSteps(benchmark::State& st) {
    const RequestSetup& s = setup();
    NoLaunchSystem sys;
    double validation = 0, survey = 0, write = 0, relocation = 0, restore = 0;
    for (auto _ : st) {
        prepare::RunState state;
        prepare::setProgramFile(state, *s.texts.programFile);

        Stopwatch t1;
        const bool valid = !prepare::validateRequest(sys, state, s.texts);
        const double v = t1.seconds();

        Stopwatch t2;
        prepare::SurveyResult found;
        if (!platform::fileExists(sys, prepare::controlFilePath(state)))
            found = prepare::surveyProgramFolder(sys, state);
        state.RelocationRefused = prepare::relocationRefused(found);
        const double sv = t2.seconds();

        prepare::ControlFileRequest request;
        request.application = *s.texts.application;
        request.startMenu[0] = {*s.texts.startMenuNames[0], *s.texts.startMenuFiles[0]};
        request.folderFiles = std::move(found.FolderFiles);
        Stopwatch t3;
        std::size_t items = 0;
        const bool written = !prepare::writeControlFile(sys, state, request, items);
        const double w = t3.seconds();

        Stopwatch t4;
        const std::size_t moved =
            prepare::relocate(sys, state.ProgramFolder, request.folderFiles).moved.size();
        const double r = t4.seconds();
        prepare::recordControlFile(sys, state);

        Stopwatch t5;
        prepare::restoreOnClose(sys, state);
        const double rs = t5.seconds();

        validation += v;
        survey += sv;
        write += w;
        relocation += r;
        restore += rs;
        st.SetIterationTime(v + sv + w + r + rs);
        if (!valid || !written || state.RelocationRefused || request.folderFiles.size() != 98 ||
            moved != 96 || !restored(s)) {
            st.SkipWithError("the steps did not relocate and restore");
            break;
        }
    }
    using benchmark::Counter;
    st.counters["validation"] = Counter(validation, Counter::kAvgIterations);
    st.counters["survey"] = Counter(survey, Counter::kAvgIterations);
    st.counters["write"] = Counter(write, Counter::kAvgIterations);
    st.counters["relocation"] = Counter(relocation, Counter::kAvgIterations);
    st.counters["restore"] = Counter(restore, Counter::kAvgIterations);
}

} // namespace

BENCHMARK(BM_WholeRequest)->Name("request/whole_98_files")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RequestSteps)
    ->Name("request/steps_98_files")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace bench
