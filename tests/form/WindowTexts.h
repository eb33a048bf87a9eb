// The window's own texts, word for word (UTF-8; "\r" a line break), as the
// user sees them. The messages of the checks are pinned with the request's.
#pragma once

namespace window_text {

// The files the tool writes, starts and opens.
inline constexpr const char* ControlFileName = "Inst.ini";
inline constexpr const char* InstallerName = "Inst.exe";
inline constexpr const char* ReadMeName = "ReadMe.txt";

inline constexpr const char* Title = "クワリノ";
inline constexpr const char* HelpMenu = "ヘルプ(&H)";

inline constexpr const char* ProgramFileLabel = "プログラムファイルの名前";
inline constexpr const char* ApplicationLabel = "ソフトの名前";
inline constexpr const char* StartMenuLabel =
    "スタートメニューに追加するショートカット（プログラムファイル以外）";
inline constexpr const char* NameColumnLabel = "名前";
inline constexpr const char* FileColumnLabel = "ファイル名";
inline constexpr const char* ProgressLabel = "インストールの準備中・・・";
inline constexpr const char* Browse = "参照";
inline constexpr const char* Install = "インストール";

inline constexpr const char* ProgramFileHint =
    "「参照」ボタンを押して、インストールする\rプログラムファイル(*.exe)を指定してください。";
inline constexpr const char* ApplicationHint = "ソフトの名前を入力します。（例\u3000クワリノ）";
inline constexpr const char* StartMenuNameHint =
    "プログラムファイル以外でスタートメニューに追加したい\rショートカットがあればその名前を入力"
    "します。（例\u3000初めにお読みください）\r空欄の場合はファイル名を名前とします。";
inline constexpr const char* StartMenuFileHint =
    "「参照」ボタンを押して、プログラムファイル以外で\rスタートメニューに追加したいファイルを指定"
    "してください。";

inline constexpr const char* ProgramFileTitle = "プログラムファイルの指定";
inline constexpr const char* ProgramFileFilter = "プログラムファイル(*.exe)|*.exe";
inline constexpr const char* AnyFileTitle = "ファイルの指定";
inline constexpr const char* AnyFileFilter = "すべてのファイル(*.*)|*.*";

inline constexpr const char* UnusableName =
    "指定されたファイルの名前には使用できない文字が含まれています。\r別のファイルを指定して"
    "ください。";
// Messages of the checks, and the field names their message for a text that
// Inst.ini cannot hold begins with.
inline constexpr const char* NoProgramFile =
    "プログラムファイルの名前が入力されていません。\r入力してください。";
inline constexpr const char* NoApplication =
    "アプリケーションの名前が入力されていません。\r入力してください。";
inline constexpr const char* ProgramFileMissing =
    "指定されたプログラムファイルは存在しません。\r「参照」ボタンを押して正確なプログラムファイル"
    "を指定してください。";
inline constexpr const char* StartMenuFileOutsideFolder =
    "指定されたスタートメニューに追加するファイルは\rプログラムファイルのあるフォルダにありません。"
    "\r正しいファイルを指定してください。";
inline constexpr const char* InstallerMissing =
    "指定されたフォルダにはファイル「Inst.exe」が存在しません。\r「Inst.exe」を指定したフォルダへ"
    "置いてください。";
inline constexpr const char* ProgramFileIsInstaller =
    "プログラムファイルに「Inst.exe」は指定できません。\r訂正してください。";
inline constexpr const char* StartMenuFileMissing =
    "指定されたスタートメニューに追加するファイルが見つかりません。\r確認してください。";
inline constexpr const char* Unwritable = "に、Inst.ini に書き込めない文字（Shift-JIS にない文字"
                                          "または制御文字）が含まれています。\r訂正してください。";
inline constexpr const char* ForbiddenInNames =
    "に、ショートカットやフォルダの名前に使えない文字（\\ / : * ? \" < > |）が含まれています。\r"
    "訂正してください。";
inline constexpr const char* ReservedInNames =
    "に、Windowsが予約している名前（CON、PRN、AUX、NUL、COM1～COM9、LPT1～LPT9）や「.」だけの名前"
    "は使えません。\r訂正してください。";
inline constexpr const char* FieldProgramFile = "プログラムファイルの名前";
inline constexpr const char* FieldApplication = "ソフトの名前";
inline constexpr const char* FieldStartMenuName2 =
    "スタートメニューに追加するショートカットの名前（2行目）";
inline constexpr const char* FieldStartMenuFile1 =
    "スタートメニューに追加するファイルの名前（1行目）";
inline constexpr const char* FieldStartMenuName3 =
    "スタートメニューに追加するショートカットの名前（3行目）";
inline constexpr const char* FieldStartMenuFile2 =
    "スタートメニューに追加するファイルの名前（2行目）";
// The question's buttons, and those of the box for files that cannot go back.
inline constexpr const char* Yes = "はい(&Y)";
inline constexpr const char* No = "いいえ(&N)";
inline constexpr const char* Retry = "再試行(&R)";
inline constexpr const char* Cancel = "キャンセル";
// The question asked when the files cannot all be moved up.
inline constexpr const char* ConfirmCaption = "確認";
inline constexpr const char* ConfirmRelocationRefused =
    "このソフトはインストール先を指定できないタイプです。\rインストールを続けますか？\r"
    "現在のフォルダにインストールするファイルを置いたまま\rインストールを続ける場合は「はい」を"
    "押してください。\r別のフォルダへインストールするファイルを移動する場合は\r「いいえ」を押し"
    "て「クワリノ」が終了してから\rインストールするファイルを移動してもう一度やりなおしてくださ"
    "い。";
inline constexpr const char* SurveyProgress1234 = "フォルダのファイルを調べています…\r1234 個";
inline constexpr const char* SurveyCancel = "キャンセル";

// The error box's texts after the path they name, the box's full stop added.
inline constexpr const char* CannotWrite = " に書き込めません.";
inline constexpr const char* CannotMove = " を移動できません.";
inline constexpr const char* CannotStart = " を起動できません.";
inline constexpr const char* CannotRead = " を読み込めません.";
// The box for files that cannot go back: its first line, a path a line (ten
// at most, then the count of the rest), its last line.
inline constexpr const char* CannotRestoreFirst = "次のファイルを元の場所に戻せません。";
inline constexpr const char* CannotRestoreOneOther = "ほか 1 個のファイル";
inline constexpr const char* CannotRestoreLast =
    "別のプログラムが使用中のときは、そのプログラムを終了してから「再試行」を押してください。";
inline constexpr const char* WaitingForInstaller = "インストール終了待ち・・・";
// Another copy of the tool holds the folder; a run cut short left it relocated.
inline constexpr const char* FolderInUse = "別のクワリノがこのフォルダを使用中です。";
inline constexpr const char* LeftRelocated = "このフォルダは前回のインストールの準備が途中で終わ"
                                             "ったままです。\rファイルを元の場所に戻しますか？";
// An installer the run did not start still works in the folder.
inline constexpr const char* InstallerStillRunning =
    "「Inst.exe」がまだ実行中です。\rインストールが終わってから、もう一度お試しください。";

} // namespace window_text
