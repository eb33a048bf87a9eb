#include "prepare/InstallRequest.h"

#include "platform/System.h"
#include "prepare/ControlFile.h"
#include "prepare/Launch.h"
#include "prepare/Texts.h"

namespace prepare {
namespace {

RequestOutcome outcome(RequestOutcome::Kind kind, std::string message = {}) {
    return RequestOutcome{kind, std::move(message), Field::None, 0};
}

} // namespace

RequestOutcome runInstallRequest(platform::System& sys, RunState& state, const RequestTexts& texts,
                                 RequestUi& ui) {
    using Kind = RequestOutcome::Kind;
    if (auto rejection = validateRequest(sys, state, texts))
        return RequestOutcome{Kind::Rejected, std::move(rejection->message), rejection->focus,
                              rejection->row};

    ui.showProgress(true);
    struct HideProgress {
        RequestUi& ui;
        bool armed = true;
        ~HideProgress() {
            if (armed)
                ui.showProgress(false);
        }
    } hide{ui};

    ControlFileRequest request;
    request.application = *texts.application;
    for (int row = 0; row < StartMenuRowCount; ++row) {
        const std::string& file = *texts.startMenuFiles[row];
        if (file.empty())
            continue;
        // A pattern is written as the file it matched, as the program file is.
        request.startMenu[row].file = resolvedFile(sys, file);
        request.startMenu[row].name = *texts.startMenuNames[row];
    }

    // A tool killed while it wrote the control file or moved a file up may
    // have left a temporary copy in the program folder: gone before the
    // survey can list it as part of the software.
    sys.removeStaleTemporaries(state.ProgramFolder);

    bool relocating = false;
    if (!platform::fileExists(sys, controlFilePath(state))) {
        SurveyResult survey = surveyProgramFolder(
            sys, state, [&](std::size_t met) { return ui.surveyProgress(met); });
        if (survey.cancelled)
            return outcome(Kind::Cancelled);
        if (survey.unwritableName)
            return outcome(Kind::Rejected, text::unwritableFileName(*survey.unwritableName));
        state.RelocationRefused = relocationRefused(survey);
        if (state.RelocationRefused && !ui.confirmInstallInPlace()) {
            hide.armed = false;
            return outcome(Kind::Declined);
        }
        relocating = !state.RelocationRefused;
        request.folderFiles = std::move(survey.FolderFiles);
    }

    if (auto error = writeControlFile(sys, state, request))
        return outcome(Kind::WriteFailed, std::move(*error));
    if (relocating)
        relocate(sys, state.ProgramFolder, request.folderFiles);

    recordControlFile(state);
    ui.showProgress(false);
    hide.armed = false;
    startInstaller(sys, state);
    return outcome(Kind::Started);
}

} // namespace prepare
