#include "prepare/Texts.h"

#include "platform/Cp932.h"
#include "platform/System.h"
#include "prepare/ProgramFolder.h"

#include <cstdio>
#include <cstdlib>

namespace prepare {

std::string sjis(std::string_view utf8) {
    auto converted = platform::cp932FromUtf8(utf8);
    if (!converted) {
        std::fprintf(stderr, "internal error: text not representable in code page 932\n");
        std::abort();
    }
    return *converted;
}

namespace text {

namespace {

// 「Inst.exe」 in a message.
std::string quotedInstaller() {
    return sjis("「") + InstallerName + sjis("」");
}

} // namespace

std::string surveyProgress(std::size_t entriesSoFar) {
    return "フォルダのファイルを調べています…\r" + std::to_string(entriesSoFar) + " 個";
}

std::string noProgramFile() {
    return sjis("プログラムファイルの名前が入力されていません。\r入力してください。");
}
std::string noApplication() {
    return sjis("アプリケーションの名前が入力されていません。\r入力してください。");
}
std::string programFileMissing() {
    return sjis(
        "指定されたプログラムファイルは存在しません。\r「参照」ボタンを押して正確なプログラム"
        "ファイルを指定してください。");
}
std::string startMenuFileOutsideFolder() {
    return sjis("指定されたスタートメニューに追加するファイルは\rプログラムファイルのあるフォルダに"
                "ありません。\r正しいファイルを指定してください。");
}
std::string startMenuFileMissing() {
    return sjis(
        "指定されたスタートメニューに追加するファイルが見つかりません。\r確認してください。");
}
std::string installerMissing() {
    return sjis("指定されたフォルダにはファイル") + quotedInstaller() + sjis("が存在しません。\r") +
           quotedInstaller() + sjis("を指定したフォルダへ置いてください。");
}
std::string programFileIsInstaller() {
    return sjis("プログラムファイルに") + quotedInstaller() +
           sjis("は指定できません。\r訂正してください。");
}
std::string unwritableText(std::string_view what) {
    return std::string(what) + sjis("に、") + ControlFileName +
           sjis(" に書き込めない文字（Shift-JIS にない文字または制御文字）が含まれています。\r"
                "訂正してください。");
}
std::string unusableShortcutName(std::string_view what) {
    return std::string(what) +
           sjis("に、ショートカットやフォルダの名前に使えない文字（\\ / : * ? \" < > |）が含まれて"
                "います。\r訂正してください。");
}
std::string reservedShortcutName(std::string_view what) {
    return std::string(what) +
           sjis("に、Windowsが予約している名前（CON、PRN、AUX、NUL、COM1～COM9、"
                "LPT1～LPT9）や「.」だけの名前は使えません。\r訂正してください。");
}
std::string unwritableFileName(std::string_view displayPath) {
    return sjis("プログラムファイルのあるフォルダのファイル\r「") + std::string(displayPath) +
           sjis("」\rの名前には、") + ControlFileName +
           sjis(" に書き込めない文字（Shift-JIS にない文字または制御文字）が含まれています。\r"
                "名前を変えてからもう一度やりなおしてください。");
}

std::string fieldProgramFile() {
    return sjis("プログラムファイルの名前");
}
std::string fieldApplication() {
    return sjis("ソフトの名前");
}
std::string fieldStartMenuName(int row) {
    return sjis("スタートメニューに追加するショートカットの名前（") + std::to_string(row) +
           sjis("行目）");
}
std::string fieldStartMenuFile(int row) {
    return sjis("スタートメニューに追加するファイルの名前（") + std::to_string(row) +
           sjis("行目）");
}

std::string confirmCaption() {
    return sjis("確認");
}
std::string confirmRelocationRefused() {
    return sjis(
        "このソフトはインストール先を指定できないタイプです。\rインストールを続けますか？\r"
        "現在のフォルダにインストールするファイルを置いたまま\rインストールを続ける場合は「は"
        "い」を押してください。\r別のフォルダへインストールするファイルを移動する場合は\r「"
        "いいえ」を押して「クワリノ」が終了してから\rインストールするファイルを移動してもう"
        "一度やりなおしてください。");
}

std::string folderInUse() {
    return sjis("別のクワリノがこのフォルダを使用中です。");
}

std::string installerStillRunning() {
    return quotedInstaller() +
           sjis("がまだ実行中です。\rインストールが終わってから、もう一度お試しください。");
}

std::string shownPath(platform::System& sys, const std::string& path) {
    return platform::cp932FromUtf8ForDisplay(sys.toNativePath(path));
}

std::string cannotWrite(std::string_view path) {
    return std::string(path) + sjis(" に書き込めません");
}
std::string cannotMove(std::string_view path) {
    return std::string(path) + sjis(" を移動できません");
}
std::string cannotStart(std::string_view path) {
    return std::string(path) + sjis(" を起動できません");
}
std::string cannotRead(std::string_view path) {
    return std::string(path) + sjis(" を読み込めません");
}
std::string cannotRestore(const std::vector<std::string>& paths, std::size_t others) {
    std::string text = sjis("次のファイルを元の場所に戻せません。");
    for (const std::string& path : paths)
        text += '\r' + path;
    if (others > 0)
        text += sjis("\rほか ") + std::to_string(others) + sjis(" 個のファイル");
    return text + sjis("\r別のプログラムが使用中のときは、そのプログラムを終了してから"
                       "「再試行」を押してください。");
}

} // namespace text
} // namespace prepare
