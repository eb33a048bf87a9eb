#include "prepare/ControlFile.h"

#include "platform/PathRules.h"
#include "platform/ProfileFile.h"
#include "platform/System.h"
#include "prepare/Texts.h"

namespace prepare {
namespace {

std::string item(std::size_t n) {
    return "Item" + std::to_string(n);
}

} // namespace

std::string controlFilePath(const RunState& state) {
    return state.ProgramFolder + ControlFileName;
}

std::string installFolderName(std::string_view programFolder) {
    std::string_view name = programFolder;
    if (!name.empty())
        name.remove_suffix(1); // the trailing backslash
    for (std::size_t pos; (pos = pathrules::firstBackslash(name)) != std::string_view::npos;)
        name.remove_prefix(pos + 1);
    return std::string(name);
}

std::optional<std::string> writeControlFile(platform::System& sys, RunState& state,
                                            const ControlFileRequest& request,
                                            std::size_t& groupItems) {
    const std::string path = controlFilePath(state);
    const std::string& app = request.application;
    const std::string exe(pathrules::fileNamePart(state.ProgramFileName));
    const std::string appExe = app + "," + exe;
    const std::string uninstallTitle = app + sjis("のアンインストール");

    const std::string error = text::cannotWrite(text::shownPath(sys, path));
    // A control file that is there but cannot be read holds the list the
    // restore at close follows: it is never replaced by a new one.
    std::optional<platform::ProfileFile> loaded = platform::ProfileFile::load(sys, path);
    if (!loaded)
        return error;
    platform::ProfileFile& ini = *loaded;
    // A value the file cannot hold (a line break) fails the whole write.
    bool written = true;
    auto put = [&](std::string_view section, std::string_view key, std::string_view value) {
        written = ini.write(section, key, value) && written;
    };
    put("Install", "Title", app + sjis("のインストール"));

    // An existing file list (and with it the install folder) is kept: it is
    // the layout the restore at close brings back.
    if (!ini.hasSection("Files")) {
        if (!state.RelocationRefused) {
            put("Install", "InstallDir", installFolderName(state.ProgramFolder));
            put("Install", "IsFileDelAfterInst", "1");
        }
        // The folder's files, then the control file itself, which the
        // installer removes after the install.
        std::vector<std::string_view> files(request.folderFiles.begin(), request.folderFiles.end());
        files.push_back(ControlFileName);
        written = ini.writeNumbered("Files", "Item", files) && written;
    }

    put("Group", "Value", "1");
    put("Group", "Info",
        sjis("スタートメニューの「プログラム」内に「") + app +
            sjis("」というグループを作成します。"));
    put("Group", "GroupName", app);
    put("Group", "Item1", appExe);
    std::size_t n = 1;
    for (const StartMenuRow& row : request.startMenu) {
        if (row.file.empty() || row.file == state.ProgramFileName)
            continue;
        const std::string display =
            row.name.empty() ? std::string(pathrules::fileNamePart(row.file)) : row.name;
        const std::string relative = row.file.size() > state.ProgramFolderLength
                                         ? row.file.substr(state.ProgramFolderLength)
                                         : std::string();
        put("Group", item(++n), display + "," + relative);
    }
    put("Group", item(n + 1), uninstallTitle + "," + InstallerName + ",/r");
    // Items an earlier request of this run wrote past these would give the
    // installer shortcuts the user no longer asks for; items of a file that
    // was there before the run stay, they may be its author's.
    for (std::size_t i = n + 2; i <= groupItems; ++i)
        ini.erase("Group", item(i));

    put("Startup", "Value", "0");
    put("Startup", "Info",
        sjis("この項目にチェックを入れておくと，Windowsを起動する度に「") + app +
            sjis("」を起動します。"));
    put("Startup", "Item1", appExe);

    put("Desktop", "Value", "0");
    put("Desktop", "Info",
        sjis("この項目にチェックを入れておくと，「") + app +
            sjis("」というショートカットをデスクトップに作成します。"));
    put("Desktop", "Item1", appExe);

    const std::string key = exe.size() >= 4 ? exe.substr(0, exe.size() - 4) : std::string();
    put("Uninstall", "Key", key + "UnInstall");
    put("Uninstall", "Name", app);
    put("Uninstall", "Title", uninstallTitle);
    put("Uninstall", "AllDelete", "2");
    put("Uninstall", "RebootDlg", "0");
    put("Uninstall", "NotAdmin", "1");
    put("Uninstall", "Modify", "1");

    if (!written || !ini.save(sys, path))
        return error;
    groupItems = n + 1;
    return std::nullopt;
}

} // namespace prepare
