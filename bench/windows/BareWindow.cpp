// The start-up baseline on Windows: a bare Win32 window with the controls of
// kwarino.exe (the same places, texts, fonts, hints and menu bar, linked the
// same way with the same resources) and none of its logic.
#include <windows.h>

#include <commctrl.h>

namespace {

struct Control {
    const wchar_t* kind;
    int left, top, width, height;
    const wchar_t* text;
    int fontHeight; // 0: the window's font
    bool bold;
    DWORD style;
    const wchar_t* hint = nullptr;
    bool hidden = false; // the progress text
};

constexpr const wchar_t* ProgramHint =
    L"「参照」ボタンを押して、インストールする\r\nプログラムファイル(*.exe)を指定してください。";
constexpr const wchar_t* ApplicationHint = L"ソフトの名前を入力します。（例　クワリノ）";
constexpr const wchar_t* NameHint =
    L"プログラムファイル以外でスタートメニューに追加したい\r\nショートカットがあればその名前を入力"
    L"し"
    L"ます。（例　初めにお読みください）\r\n空欄の場合はファイル名を名前とします。";
constexpr const wchar_t* FileHint = L"「参照」ボタンを押して、プログラムファイル以外で\r\nスタート"
                                    L"メニューに追加したいファイルを指定してください。";

constexpr DWORD Label = SS_LEFT | SS_NOPREFIX;
constexpr DWORD Field = WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD Button = WS_TABSTOP | BS_PUSHBUTTON;

const Control Controls[] = {
    {L"STATIC", 9, 9, 194, 17, L"プログラムファイルの名前", 17, true, Label},
    {L"STATIC", 9, 69, 96, 17, L"ソフトの名前", 17, true, Label},
    {L"STATIC", 9, 130, 313, 36,
     L"スタートメニューに追加するショートカット（プログラムファイル以外）", 17, true, Label},
    {L"STATIC", 52, 173, 30, 14, L"名前", 14, true, Label},
    {L"STATIC", 208, 173, 67, 14, L"ファイル名", 14, true, Label},
    {L"STATIC", 9, 293, 195, 17, L"インストールの準備中・・・", 17, true, Label, nullptr, true},
    {L"BUTTON", 329, 35, 45, 27, L"参照", 0, false, Button},
    {L"EDIT", 17, 35, 296, 22, L"", 14, false, Field, ProgramHint},
    {L"EDIT", 17, 95, 296, 22, L"", 14, false, Field, ApplicationHint},
    {L"BUTTON", 259, 278, 105, 36, L"インストール", 17, true, Button | WS_DISABLED},
    {L"EDIT", 9, 191, 131, 22, L"", 14, false, Field | WS_DISABLED, NameHint},
    {L"EDIT", 9, 217, 131, 22, L"", 14, false, Field | WS_DISABLED, NameHint},
    {L"EDIT", 9, 243, 131, 22, L"", 14, false, Field | WS_DISABLED, NameHint},
    {L"EDIT", 147, 191, 175, 22, L"", 14, false, Field | WS_DISABLED, FileHint},
    {L"EDIT", 147, 217, 175, 22, L"", 14, false, Field | WS_DISABLED, FileHint},
    {L"EDIT", 147, 243, 175, 22, L"", 14, false, Field | WS_DISABLED, FileHint},
    {L"BUTTON", 329, 191, 45, 21, L"参照", 0, false, Button | WS_DISABLED},
    {L"BUTTON", 329, 217, 45, 21, L"参照", 0, false, Button | WS_DISABLED},
    {L"BUTTON", 329, 243, 45, 21, L"参照", 0, false, Button | WS_DISABLED},
};

HFONT font(int height, bool bold) {
    return CreateFontW(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH, L"ＭＳ Ｐゴシック");
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"BareWindow";
    RegisterClassW(&windowClass);

    HMENU menu = CreateMenu();
    AppendMenuW(menu, MF_STRING, 900, L"ヘルプ(&H)");
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT outer{0, 0, 385, 323};
    AdjustWindowRect(&outer, style, TRUE);
    HWND window = CreateWindowExW(0, L"BareWindow", L"クワリノ", style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top,
                                  nullptr, menu, instance, nullptr);
    const HFONT windowFont = font(13, false);
    HWND tips =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, instance, nullptr);
    int id = 1000;
    for (const Control& c : Controls) {
        HWND control = CreateWindowExW(
            c.kind[0] == L'E' ? WS_EX_CLIENTEDGE : 0, c.kind, c.text,
            WS_CHILD | (c.hidden ? 0 : WS_VISIBLE) | c.style, c.left, c.top, c.width, c.height,
            window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        SendMessageW(
            control, WM_SETFONT,
            reinterpret_cast<WPARAM>(c.fontHeight ? font(c.fontHeight, c.bold) : windowFont),
            FALSE);
        if (c.hint) {
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = window;
            tool.uId = reinterpret_cast<UINT_PTR>(control);
            tool.lpszText = const_cast<wchar_t*>(c.hint);
            SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
