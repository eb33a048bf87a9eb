#include "prepare/InstallRequest.h"

#include "platform/PathRules.h"
#include "platform/System.h"
#include "prepare/ControlFile.h"
#include "prepare/Launch.h"
#include "prepare/Texts.h"

namespace prepare {
namespace {

RequestOutcome outcome(RequestOutcome::Kind kind, std::string message = {}) {
    return RequestOutcome{kind, std::move(message), Field::None, 0, {}};
}

} // namespace

RequestOutcome runInstallRequest(platform::System& sys, RunState& state, const RequestTexts& texts,
                                 RequestUi& ui) {
    using Kind = RequestOutcome::Kind;
    if (auto rejection = validateRequest(sys, state, texts))
        return RequestOutcome{
            Kind::Rejected, std::move(rejection->message), rejection->focus, rejection->row, {}};

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

    // A tool killed while it wrote the control file may have left a
    // temporary of it: gone before the survey can list it as part of the
    // software. A killed move up leaves the control file, whose restore
    // removes the temporaries of its files.
    const std::string controlFile = controlFilePath(state);
    sys.removeStaleTemporaries(state.ProgramFolder, {pathrules::foldCase(ControlFileName)});

    bool relocating = false;
    if (!platform::fileExists(sys, controlFile)) {
        SurveyResult survey = surveyProgramFolder(
            sys, state, [&](std::size_t met) { return ui.surveyProgress(met); });
        if (ui.stopRequested())
            return outcome(Kind::Stopped);
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

    if (ui.stopRequested())
        return outcome(Kind::Stopped);
    if (auto error = writeControlFile(sys, state, request))
        return outcome(Kind::WriteFailed, std::move(*error));
    if (relocating) {
        const Relocation moves = relocate(sys, state.ProgramFolder, request.folderFiles,
                                          [&] { return ui.stopRequested(); });
        if (moves.failed) {
            // Back as it was: the moves just made go back, and the control
            // file written for them goes.
            RequestOutcome failed = outcome(
                Kind::MoveFailed,
                text::cannotMove(text::shownPath(sys, state.ProgramFolder + *moves.failed)));
            failed.notBack = undoRelocation(sys, state.ProgramFolder, moves.moved);
            // A control file that could not be deleted is left for the close.
            if (!sys.removeFile(controlFile) && platform::isFile(sys, controlFile))
                recordControlFile(state);
            return failed;
        }
    }

    recordControlFile(state);
    if (ui.stopRequested())
        return outcome(Kind::Stopped);
    ui.showProgress(false);
    hide.armed = false;
    if (startInstaller(sys, state) == platform::LaunchResult::Failed)
        return outcome(Kind::StartFailed,
                       text::cannotStart(text::shownPath(sys, installerPath(state))));
    return outcome(Kind::Started);
}

} // namespace prepare
