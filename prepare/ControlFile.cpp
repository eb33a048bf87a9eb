#include "prepare/ControlFile.h"

#include "platform/Cp932.h"
#include "platform/PathRules.h"
#include "platform/ProfileFile.h"
#include "platform/System.h"
#include "prepare/Texts.h"

namespace prepare {
namespace {

std::string item(std::size_t n) { return "Item" + std::to_string(n); }

} // namespace

std::string controlFilePath(const RunState& state) { return state.ProgramFolder + "Inst.ini"; }

std::string installFolderName(std::string_view programFolder) {
    std::string_view name = programFolder;
    if (!name.empty())
        name.remove_suffix(1); // the trailing backslash
    for (std::size_t pos; (pos = pathrules::firstBackslash(name)) != std::string_view::npos;)
        name.remove_prefix(pos + 1);
    return std::string(name);
}

std::optional<std::string> writeControlFile(platform::System& sys, const RunState& state,
                                            const ControlFileRequest& request) {
    const std::string path = controlFilePath(state);
    const std::string& app = request.application;
    const std::string exe(pathrules::fileNamePart(state.ProgramFileName));
    const std::string appExe = app + "," + exe;
    const std::string uninstallTitle = app + sjis("のアンインストール");

    platform::ProfileFile ini = platform::ProfileFile::load(sys, path);
    ini.write("Install", "Title", app + sjis("のインストール"));

    // An existing file list (and with it the install folder) is kept: it is
    // the layout the restore at close brings back.
    if (!ini.hasSection("Files")) {
        if (!state.RelocationRefused) {
            ini.write("Install", "InstallDir", installFolderName(state.ProgramFolder));
            ini.write("Install", "IsFileDelAfterInst", "1");
        }
        std::size_t n = 0;
        for (const std::string& file : request.folderFiles)
            ini.write("Files", item(++n), file);
        ini.write("Files", item(n + 1), "Inst.ini");
    }

    ini.write("Group", "Value", "1");
    ini.write("Group", "Info",
              sjis("スタートメニューの「プログラム」内に「") + app +
                  sjis("」というグループを作成します。"));
    ini.write("Group", "GroupName", app);
    ini.write("Group", "Item1", appExe);
    std::size_t n = 1;
    for (const StartMenuRow& row : request.startMenu) {
        if (row.file.empty() || row.file == state.ProgramFileName)
            continue;
        const std::string display =
            row.name.empty() ? std::string(pathrules::fileNamePart(row.file)) : row.name;
        const std::string relative =
            row.file.size() > state.ProgramFolderLength ? row.file.substr(state.ProgramFolderLength)
                                                        : std::string();
        ini.write("Group", item(++n), display + "," + relative);
    }
    ini.write("Group", item(n + 1), uninstallTitle + ",Inst.exe,/r");

    ini.write("Startup", "Value", "0");
    ini.write("Startup", "Info",
              sjis("この項目にチェックを入れておくと，Windowsを起動する度に「") + app +
                  sjis("」を起動します。"));
    ini.write("Startup", "Item1", appExe);

    ini.write("Desktop", "Value", "0");
    ini.write("Desktop", "Info",
              sjis("この項目にチェックを入れておくと，「") + app +
                  sjis("」というショートカットをデスクトップに作成します。"));
    ini.write("Desktop", "Item1", appExe);

    const std::string key = exe.size() >= 4 ? exe.substr(0, exe.size() - 4) : std::string();
    ini.write("Uninstall", "Key", key + "UnInstall");
    ini.write("Uninstall", "Name", app);
    ini.write("Uninstall", "Title", uninstallTitle);
    ini.write("Uninstall", "AllDelete", "2");
    ini.write("Uninstall", "RebootDlg", "0");
    ini.write("Uninstall", "NotAdmin", "1");
    ini.write("Uninstall", "Modify", "1");

    if (!ini.save(sys, path))
        return text::cannotWrite(platform::cp932FromUtf8ForDisplay(sys.toNativePath(path)));
    return std::nullopt;
}

} // namespace prepare
