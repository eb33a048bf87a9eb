#include "prepare/InstallRequest.h"

#include "platform/PathRules.h"
#include "platform/System.h"
#include "prepare/ControlFile.h"
#include "prepare/FolderUse.h"
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

    // Another copy of the tool, or an installer it left running, may have the
    // folder relocated; nothing in it is read or changed then. The window lets
    // the folder go once its last box about the request is answered.
    switch (claimProgramFolder(sys, state)) {
    case FolderClaim::InstallerRuns:
        return outcome(Kind::Rejected, text::installerStillRunning());
    case FolderClaim::OtherCopy:
        return outcome(Kind::Rejected, text::folderInUse());
    case FolderClaim::Own:
    case FolderClaim::Taken:
        break;
    }
    // Until it returns, a session end leaves the folder to the request: the
    // control file it may be writing goes back once it has stopped.
    const Requesting requesting(sys, state);

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

    for (;;) {
        if (ui.stopRequested())
            return outcome(Kind::Stopped);
        if (auto error = writeRecordedControlFile(sys, state, request))
            return outcome(Kind::WriteFailed, std::move(*error));
        if (!relocating)
            break;
        const Relocation moves = relocate(sys, state.ProgramFolder, request.folderFiles,
                                          [&] { return ui.stopRequested(); });
        if (!moves.failed)
            break;
        // A name the top holds by now (the short name the volume gave a file
        // moved up before it) is one the files cannot share after all; asked
        // before the undo frees it again.
        const bool nameTaken =
            sys.findFirst(state.ProgramFolder + std::string(pathrules::fileNamePart(*moves.failed)))
                .has_value();
        // Back as it was: the moves just made go back, and the control file
        // written for them goes.
        std::vector<NotBack> notBack = undoRelocation(sys, state.ProgramFolder, moves.moved);
        // A control file that could not be deleted is left for the close.
        const bool removed = sys.removeFile(controlFile) || !platform::isFile(sys, controlFile);
        if (!removed)
            recordControlFile(sys, state);
        if (!nameTaken || !removed || !notBack.empty()) {
            RequestOutcome failed = outcome(
                Kind::MoveFailed,
                text::cannotMove(text::shownPath(sys, state.ProgramFolder + *moves.failed)));
            failed.notBack = std::move(notBack);
            return failed;
        }
        // As if the survey had found the name taken: the usual question, and
        // a control file for an installation in place.
        state.RelocationRefused = true;
        relocating = false;
        if (!ui.confirmInstallInPlace()) {
            hide.armed = false;
            return outcome(Kind::Declined);
        }
    }

    recordControlFile(sys, state);
    if (ui.stopRequested())
        return outcome(Kind::Stopped);
    ui.showProgress(false);
    hide.armed = false;
    if (startInstaller(sys, state) == platform::LaunchResult::Failed)
        return outcome(Kind::StartFailed, text::cannotStart(text::shownPath(
                                              sys, installerBeside(state.ProgramFolder))));
    return outcome(Kind::Started);
}

} // namespace prepare
