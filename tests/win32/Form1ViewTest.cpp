// The Win32 window, tested in-process: the real window with the real handlers,
// driven and inspected by window messages. Needs a display: under Wine an X
// server, which wine-run.sh takes from KW_DISPLAY.
//
// Places are client pixels: the layout's pixels at the standard resolution (96
// dots per inch), scaled by the monitor's resolution elsewhere.
#include "win32/Form1View.h"
#include "form/Unit1.h"
#include "form/WindowTexts.h"
#include "support/NoLaunchSystem.h"
#include "support/ProductNames.h"
#include "support/TestFolder.h"
#include "win32/Dialogs.h"
#include "win32/Dpi.h"
#include "win32/Hints.h"
#include "win32/Start.h"
#include "win32/Theme.h"

#include <commctrl.h>
#include <oleacc.h>
#include <shlobj.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

enum class Cls { Label, Field, Button };

using namespace window_text;

struct Expected {
    const char* name;
    Cls cls;
    const char* caption;
    int fontHeight;
    bool bold;
    COLORREF colour; // CLR_INVALID: the system's window text
    bool enabled;
    bool visible;
};

constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Navy = RGB(0, 0, 128);
constexpr COLORREF Green = RGB(0, 128, 0);
constexpr COLORREF System = CLR_INVALID;

// The window as tabled, in creation order; the places are the layout's.
const std::vector<Expected> Table = {
    {"Label1", Cls::Label, ProgramFileLabel, 17, true, Red, 1, 1},
    {"Label2", Cls::Label, ApplicationLabel, 17, true, Red, 1, 1},
    {"Label3", Cls::Label, StartMenuLabel, 17, true, Red, 1, 1},
    {"Label4", Cls::Label, NameColumnLabel, 14, true, Navy, 1, 1},
    {"Label5", Cls::Label, FileColumnLabel, 14, true, Navy, 1, 1},
    {"Label6", Cls::Label, ProgressLabel, 17, true, Red, 1, 0},
    {"BtnSansho", Cls::Button, Browse, 13, false, System, 1, 1},
    {"EditProgramFile", Cls::Field, "", 14, false, System, 1, 1},
    {"EditApplication", Cls::Field, "", 14, false, System, 1, 1},
    {"BitBtnInstall", Cls::Button, Install, 17, true, Green, 0, 1},
    {"EditStartMenu1", Cls::Field, "", 14, false, System, 0, 1},
    {"EditStartMenu2", Cls::Field, "", 14, false, System, 0, 1},
    {"EditStartMenu3", Cls::Field, "", 14, false, System, 0, 1},
    {"EditStartMenuFile1", Cls::Field, "", 14, false, System, 0, 1},
    {"EditStartMenuFile2", Cls::Field, "", 14, false, System, 0, 1},
    {"EditStartMenuFile3", Cls::Field, "", 14, false, System, 0, 1},
    {"BtnStartMenuSansho1", Cls::Button, Browse, 13, false, System, 0, 1},
    {"BtnStartMenuSansho2", Cls::Button, Browse, 13, false, System, 0, 1},
    {"BtnStartMenuSansho3", Cls::Button, Browse, 13, false, System, 0, 1},
};

std::wstring wide(const char* utf8) {
    std::wstring out(std::strlen(utf8), L'\0');
    out.resize(
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), static_cast<int>(out.size()) + 1) -
        1);
    return out;
}

// A hint or message as a Windows control holds it: each "\r" a CR LF.
std::wstring crLf(const char* utf8) {
    std::wstring out;
    for (wchar_t c : wide(utf8)) {
        out += c;
        if (c == L'\r')
            out += L'\n';
    }
    return out;
}

int indexOf(const char* name) {
    for (std::size_t i = 0; i < Table.size(); ++i) {
        if (std::string(Table[i].name) == name)
            return static_cast<int>(i);
    }
    ADD_FAILURE() << "no control " << name;
    return 0;
}

std::wstring textOf(HWND window) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

std::wstring classOf(HWND window) {
    wchar_t buffer[64] = {};
    GetClassNameW(window, buffer, 64);
    return buffer;
}

std::string narrow(const std::wstring& text) {
    std::string out(text.size() * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                   out.data(), static_cast<int>(out.size()), nullptr, nullptr));
    return out;
}

// Pixels of the standard resolution at `dpi`, rounded to the nearest.
int at(int pixels, UINT dpi) {
    return static_cast<int>(std::lround(pixels * static_cast<double>(dpi) / 96.0));
}

// The real platform layer, except that the shell's open is only recorded.
class RecordingSystem : public testing_support::NoLaunchSystem {
public:
    platform::LaunchResult shellOpen(const std::string& path, platform::Process*) override {
        opened.push_back(path);
        return platform::LaunchResult::Started;
    }
    std::vector<std::string> opened;
};

// Runs `act` from the message loop of the next modal window the test opens.
void whenModal(std::function<void()> act) {
    static std::function<void()> pending;
    pending = std::move(act);
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        pending();
    });
}

// What a box shows besides its text: the icons it shows, its buttons' texts.
struct BoxLook {
    std::vector<HICON> icons;
    std::vector<std::wstring> buttons;
};

BoxLook lookOf(HWND box) {
    BoxLook look;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c))
            continue;
        const LONG style = GetWindowLongW(c, GWL_STYLE);
        const auto icon = reinterpret_cast<HICON>(SendMessageW(c, STM_GETICON, 0, 0));
        if (_wcsicmp(classOf(c).c_str(), L"Button") == 0)
            look.buttons.push_back(textOf(c));
        // Wine's box keeps an empty icon place when it shows none.
        else if (_wcsicmp(classOf(c).c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
                 icon)
            look.icons.push_back(icon);
    }
    return look;
}

// The top-level window of this thread with the given caption, other than the main window.
HWND dialogCaptioned(const wchar_t* caption, HWND except) {
    struct Search {
        const wchar_t* caption;
        HWND except;
        HWND found;
    } search{caption, except, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            if (window != s.except && IsWindowVisible(window) && textOf(window) == s.caption) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class Win32Window : public testing::Test {
protected:
    void SetUp() override {
        win32::seam::reset();
        win32::seam::setFailOnUnexpected(true);
        view = std::make_unique<win32::Form1View>(GetModuleHandleW(nullptr));
        if (!view->window())
            GTEST_SKIP() << "no window without a display (under Wine: KW_DISPLAY)";
        form = std::make_unique<form::TForm1>(*view, system);
        view->attach(*form);
        view->show(SW_SHOWNOACTIVATE);
        dpi = win32::dpiOf(view->window());
    }
    void TearDown() override {
        view.reset();
        form.reset();
        // A closed main window ends the message loop; here nothing must end.
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        EXPECT_EQ(win32::seam::unexpectedCount(), 0) << "a box or dialog nobody answered";
    }

    HWND control(const char* name) const { return view->control(indexOf(name)); }
    // The control's place in client pixels.
    RECT placeOf(HWND control) const {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, view->window(), reinterpret_cast<POINT*>(&r), 2);
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    LOGFONTW fontOf(HWND control) const {
        LOGFONTW lf{};
        auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        EXPECT_NE(font, nullptr);
        EXPECT_NE(GetObjectW(font, sizeof lf, &lf), 0) << "a font not yet freed";
        return lf;
    }
    void click(const char* name) { SendMessageW(control(name), BM_CLICK, 0, 0); }
    void type(const char* name, const wchar_t* text) {
        SendMessageW(control(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }

    RecordingSystem system;
    std::unique_ptr<win32::Form1View> view;
    std::unique_ptr<form::TForm1> form;
    UINT dpi = 96;
};

TEST_F(Win32Window, FixedCentredTitledWindowWithOneHelpItem) {
    HWND window = view->window();
    EXPECT_EQ(textOf(window), wide(Title));
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, at(form::ClientWidth, dpi));
    EXPECT_EQ(client.bottom, at(form::ClientHeight, dpi));
    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_NEAR((outer.left + outer.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((outer.top + outer.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    EXPECT_NE(GetClassLongPtrW(window, GCLP_HICON), 0);

    HMENU menu = GetMenu(window);
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    wchar_t item[64] = {};
    GetMenuStringW(menu, 0, item, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(item), wide(HelpMenu));
    EXPECT_EQ(GetSubMenu(menu, 0), nullptr);
    // Choosing it opens the read-me beside the executable.
    SendMessageW(window, WM_COMMAND, GetMenuItemID(menu, 0), 0);
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring readMe = exe;
    readMe.replace(readMe.rfind(L'\\') + 1, std::wstring::npos, wide(form::ReadMeName));
    ASSERT_EQ(system.opened.size(), 1u);
    EXPECT_EQ(system.toNativePath(system.opened[0]), narrow(readMe));
}

TEST_F(Win32Window, EveryControlAtItsPlaceWithItsCaptionFontColourAndState) {
    HDC dc = CreateCompatibleDC(nullptr);
    for (std::size_t i = 0; i < Table.size(); ++i) {
        const Expected& e = Table[i];
        SCOPED_TRACE(e.name);
        HWND c = view->control(i);
        ASSERT_TRUE(IsWindow(c));
        EXPECT_EQ(GetDlgCtrlID(c), win32::ControlIdBase + static_cast<int>(i));
        const wchar_t* cls = e.cls == Cls::Label   ? L"Static"
                             : e.cls == Cls::Field ? L"Edit"
                                                   : L"Button";
        EXPECT_EQ(_wcsicmp(classOf(c).c_str(), cls), 0) << narrow(classOf(c));
        const RECT place = placeOf(c);
        const form::Rect laid = form::controls()[i].place;
        EXPECT_EQ(place.left, at(laid.left, dpi));
        EXPECT_EQ(place.top, at(laid.top, dpi));
        EXPECT_EQ(place.right, at(laid.width, dpi));   // the width
        EXPECT_EQ(place.bottom, at(laid.height, dpi)); // the height
        EXPECT_EQ(textOf(c), wide(e.caption));
        const LOGFONTW font = fontOf(c);
        // The face the window asks for; the system may draw it with a stand-in.
        EXPECT_EQ(std::wstring(font.lfFaceName), wide(form::FontFamily));
        EXPECT_EQ(font.lfHeight, -at(e.fontHeight, dpi));
        EXPECT_EQ(font.lfWeight, e.bold ? FW_BOLD : FW_NORMAL);
        EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
        EXPECT_EQ(IsWindowEnabled(c) != FALSE, e.enabled);
        EXPECT_EQ(IsWindowVisible(c) != FALSE, e.visible);
        if (e.cls == Cls::Label) {
            // The label's colours, as the window gives them when it is drawn.
            auto brush = reinterpret_cast<HBRUSH>(SendMessageW(view->window(), WM_CTLCOLORSTATIC,
                                                               reinterpret_cast<WPARAM>(dc),
                                                               reinterpret_cast<LPARAM>(c)));
            EXPECT_EQ(GetTextColor(dc), e.colour);
            LOGBRUSH background{};
            ASSERT_TRUE(GetObjectW(brush, sizeof background, &background));
            EXPECT_EQ(background.lbColor, GetSysColor(COLOR_BTNFACE));
            EXPECT_EQ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_LEFT,
                      std::string(e.name) == "Label3")
                << "only Label3 wraps";
        }
    }
    DeleteDC(dc);
}

// Where the ink of a label's text ends: the text drawn as the label draws it
// (its font, wrapped at its width where it wraps) but unclipped, black on
// white; the first column and row past every pixel at least half covered.
SIZE inkOf(HWND label) {
    RECT r{};
    GetClientRect(label, &r);
    const RECT canvas{0, 0, r.right + 100, r.bottom * 2};
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, canvas.right, canvas.bottom);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    FillRect(dc, &canvas, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    const UINT wrap =
        (GetWindowLongW(label, GWL_STYLE) & SS_TYPEMASK) == SS_LEFT ? DT_WORDBREAK : 0;
    DrawTextW(dc, textOf(label).c_str(), -1, &r, DT_NOCLIP | DT_NOPREFIX | DT_EXPANDTABS | wrap);
    SIZE ink{0, 0};
    for (int y = 0; y < canvas.bottom; ++y) {
        for (int x = 0; x < canvas.right; ++x) {
            if (GetRValue(GetPixel(dc, x, y)) < 128) {
                ink.cx = std::max<LONG>(ink.cx, x + 1);
                ink.cy = std::max<LONG>(ink.cy, y + 1);
            }
        }
    }
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return ink;
}

TEST_F(Win32Window, EveryTextALabelMayShowFitsIt) {
    for (std::size_t i = 0; i < Table.size(); ++i) {
        const form::ControlEntry& entry = form::controls()[i];
        if (entry.kind != form::Kind::Label)
            continue;
        HWND label = view->control(i);
        // The caption first, then each text the logic may put there later.
        std::vector<std::string> texts{narrow(textOf(label))};
        texts.insert(texts.end(), entry.alsoShows.begin(), entry.alsoShows.end());
        for (const std::string& text : texts) {
            SCOPED_TRACE(entry.name + ": " + text);
            view->setText(i, text);
            const SIZE ink = inkOf(label);
            EXPECT_GT(ink.cx, 0) << "drawn";
            const RECT place = placeOf(label);
            EXPECT_LE(ink.cx, place.right);
            EXPECT_LE(ink.cy, place.bottom);
        }
    }
}

// The pixels of a control as it draws itself.
std::vector<COLORREF> pixelsOf(HWND control) {
    RECT r{};
    GetClientRect(control, &r);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < r.bottom; ++y) {
        for (int x = 0; x < r.right; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool holds(const std::vector<COLORREF>& pixels, COLORREF colour) {
    return std::find(pixels.begin(), pixels.end(), colour) != pixels.end();
}

// A button's frame: the pixels from its left edge inwards, half-way down.
std::vector<COLORREF> edgeOf(HWND button) {
    RECT r{};
    GetClientRect(button, &r);
    const std::vector<COLORREF> pixels = pixelsOf(button);
    const auto row = pixels.begin() + r.bottom / 2 * r.right;
    return {row, row + 4};
}

TEST_F(Win32Window, InstallButtonCaptionIsGreenOnceEnabled) {
    // Disabled, its frame is the disabled 参照's, not a pressed one.
    EnableWindow(control("BtnSansho"), FALSE);
    EXPECT_EQ(edgeOf(control("BitBtnInstall")), edgeOf(control("BtnSansho")));
    EXPECT_FALSE(holds(pixelsOf(control("BitBtnInstall")), Green));
    type("EditProgramFile", L"C:\\a.exe");
    type("EditApplication", L"A");
    ASSERT_TRUE(IsWindowEnabled(control("BitBtnInstall")));
    EXPECT_TRUE(holds(pixelsOf(control("BitBtnInstall")), Green));
}

// In high contrast every coloured text takes the system's colour for text on a
// button face, grey while disabled.
TEST(Win32Look, ColouredTextsTakeTheSystemsColoursInHighContrast) {
    for (form::Colour colour : {form::Colour::Red, form::Colour::Navy, form::Colour::Green})
        EXPECT_EQ(win32::textColour(colour, true, false), GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(win32::textColour(form::Colour::Green, true, true), GetSysColor(COLOR_GRAYTEXT));
}

TEST_F(Win32Window, TabOrderFollowsTheTableOnceEverythingIsEnabled) {
    for (HWND c :
         {control("BitBtnInstall"), control("EditStartMenu1"), control("EditStartMenu2"),
          control("EditStartMenu3"), control("EditStartMenuFile1"), control("EditStartMenuFile2"),
          control("EditStartMenuFile3"), control("BtnStartMenuSansho1"),
          control("BtnStartMenuSansho2"), control("BtnStartMenuSansho3")})
        EnableWindow(c, TRUE);
    const char* order[] = {
        "BtnSansho",           "EditProgramFile",    "EditApplication",     "BitBtnInstall",
        "EditStartMenu1",      "EditStartMenu2",     "EditStartMenu3",      "EditStartMenuFile1",
        "EditStartMenuFile2",  "EditStartMenuFile3", "BtnStartMenuSansho1", "BtnStartMenuSansho2",
        "BtnStartMenuSansho3", "BtnSansho"};
    HWND at = control(order[0]);
    for (std::size_t i = 1; i < std::size(order); ++i) {
        at = GetNextDlgTabItem(view->window(), at, FALSE);
        EXPECT_EQ(at, control(order[i])) << "after " << order[i - 1];
    }
}

// The text of a hint tool: the control itself, or its place on the window.
std::wstring hintOf(HWND tips, HWND window, UINT_PTR id) {
    wchar_t text[512] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = id;
    tool.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
    return text;
}

// Runs the test thread's messages for a while, or until `done`.
bool pumpUntil(int milliseconds, const std::function<bool()>& done) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done && done())
            return true;
        Sleep(10);
    }
    return false;
}

TEST_F(Win32Window, FieldsHaveTheirHintsOnSeveralLinesAlsoWhileDisabled) {
    HWND tips = view->tooltip();
    const struct {
        const char* field;
        const char* text;
    } hints[] = {
        {"EditProgramFile", ProgramFileHint},      {"EditApplication", ApplicationHint},
        {"EditStartMenu1", StartMenuNameHint},     {"EditStartMenu3", StartMenuNameHint},
        {"EditStartMenuFile2", StartMenuFileHint}, {"EditStartMenuFile3", StartMenuFileHint}};
    for (const auto& hint : hints) {
        SCOPED_TRACE(hint.field);
        const UINT_PTR id = static_cast<UINT_PTR>(GetDlgCtrlID(control(hint.field)));
        EXPECT_EQ(hintOf(tips, view->window(), reinterpret_cast<UINT_PTR>(control(hint.field))),
                  crLf(hint.text));
        EXPECT_EQ(hintOf(tips, view->window(), id), crLf(hint.text));
    }
    for (const char* none : {"BtnSansho", "Label1", "BitBtnInstall"})
        EXPECT_EQ(hintOf(tips, view->window(), reinterpret_cast<UINT_PTR>(control(none))), L"");
    // Several lines need a width limit.
    EXPECT_GT(SendMessageW(tips, TTM_GETMAXTIPWIDTH, 0, 0), 0);
}

// The hint outlasts the tooltip's own time (at most about 33 seconds) until
// the hint's full time is up: here both shortened, 0.3 s and 2.5 s.
TEST_F(Win32Window, AHintStaysUpItsFullTimeWhileThePointerRests) {
    HWND tips = view->tooltip();
    SetWindowPos(view->window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    win32::Hints::setHold(2500);
    SendMessageW(tips, TTM_SETDELAYTIME, TTDT_INITIAL, 50);
    SendMessageW(tips, TTM_SETDELAYTIME, TTDT_AUTOPOP, 300);
    const auto shown = [tips] { return IsWindowVisible(tips) != FALSE; };
    for (const char* field : {"EditApplication", "EditStartMenu2"}) {
        SCOPED_TRACE(field);
        SetCursorPos(0, 0);
        pumpUntil(300, nullptr);
        RECT r{};
        GetWindowRect(control(field), &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        ASSERT_TRUE(pumpUntil(3000, shown)) << "the hint shows";
        pumpUntil(1200, nullptr);
        EXPECT_TRUE(shown()) << "still up after four times the tooltip's own time";
        EXPECT_TRUE(pumpUntil(4000, [&] { return !shown(); })) << "gone when its time is up";
    }
    win32::Hints::setHold(120000);
}

TEST_F(Win32Window, BrowseButtonsFillTheirOwnRowThroughTheOpenDialog) {
    win32::seam::setNextFileName(L"C:\\Soft\\Sample.exe");
    click("BtnSansho");
    ASSERT_EQ(win32::seam::shownDialogs().size(), 1u);
    const win32::OpenRequest& first = win32::seam::shownDialogs()[0].request;
    EXPECT_EQ(first.title, wide(ProgramFileTitle));
    EXPECT_EQ(first.filter, wide(ProgramFileFilter));
    EXPECT_EQ(textOf(control("EditProgramFile")), L"C:\\Soft\\Sample.exe");
    EXPECT_FALSE(IsWindowEnabled(control("BitBtnInstall"))) << "no software name yet";

    const char* files[] = {"EditStartMenuFile1", "EditStartMenuFile2", "EditStartMenuFile3"};
    const char* buttons[] = {"BtnStartMenuSansho1", "BtnStartMenuSansho2", "BtnStartMenuSansho3"};
    const wchar_t* chosen[] = {L"C:\\Soft\\a.txt", L"C:\\Soft\\doc\\b.txt", L"C:\\Soft\\c.txt"};
    for (int row : {1, 0, 2}) {
        SCOPED_TRACE(buttons[row]);
        ASSERT_TRUE(IsWindowEnabled(control(buttons[row])));
        win32::seam::setNextFileName(chosen[row]);
        click(buttons[row]);
        const win32::OpenRequest& shown = win32::seam::shownDialogs().back().request;
        EXPECT_EQ(shown.title, wide(AnyFileTitle));
        EXPECT_EQ(shown.filter, wide(AnyFileFilter));
        EXPECT_EQ(textOf(control(files[row])), chosen[row]);
    }
    EXPECT_EQ(win32::seam::shownDialogs().size(), 4u);
    EXPECT_EQ(textOf(control("EditProgramFile")), L"C:\\Soft\\Sample.exe");
    EXPECT_EQ(textOf(control("EditStartMenu2")), L"");
    // The name chosen last is where the next browse starts.
    win32::seam::setNextCancel();
    click("BtnSansho");
    EXPECT_EQ(win32::seam::shownDialogs().back().request.fileName, chosen[2]);
}

// A drop as the shell hands it over: the files at a point of the client area.
HDROP dropOf(const std::vector<std::wstring>& files, POINT at) {
    std::wstring names;
    for (const std::wstring& file : files)
        names += file + L'\0';
    names += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = at;
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(Win32Window, FilesDroppedOnTheWindowOrARowAndTheCommandLineAreTaken) {
    testing_support::TestFolder tmp;
    tmp.write("Sample/Sample.exe");
    tmp.write("Sample/doc/Manual.txt");
    const std::wstring program = tmp.native("Sample/Sample.exe").wstring();
    const std::wstring manual = tmp.native("Sample/doc/Manual.txt").wstring();
    HWND window = view->window();
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({program}, {5, 5})), 0);
    EXPECT_EQ(textOf(control("EditProgramFile")), program);
    const RECT row = placeOf(control("EditStartMenuFile2"));
    SendMessageW(window, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(dropOf({manual}, {row.left + 2, row.top + 2})), 0);
    EXPECT_EQ(textOf(control("EditStartMenuFile2")), manual);
    // The command line as Windows splits it, the program's own name left out.
    EXPECT_TRUE(win32::commandLineArguments(LR"("C:\a b\kwarino.exe")").empty());
    EXPECT_EQ(win32::commandLineArguments(LR"(kwarino.exe "C:\a b\x.exe" y)"),
              (std::vector<std::string>{"C:\\a b\\x.exe", "y"}));
}

TEST_F(Win32Window, TypingInEitherRequiredFieldUpdatesTheInstallButton) {
    HWND install = control("BitBtnInstall");
    type("EditApplication", L"サンプル");
    EXPECT_FALSE(IsWindowEnabled(install));
    type("EditProgramFile", L"C:\\Soft\\Sample.exe");
    EXPECT_TRUE(IsWindowEnabled(install));
    type("EditApplication", L"");
    EXPECT_FALSE(IsWindowEnabled(install));
    type("EditApplication", L"S");
    EXPECT_TRUE(IsWindowEnabled(install));
    type("EditProgramFile", L"");
    EXPECT_FALSE(IsWindowEnabled(install));
}

// What MSAA, the interface screen readers read, gives for a control.
struct Heard {
    std::wstring name;
    long role = 0;
};

// What the object of `control` says: the window's own answer to the screen
// reader (`own`), or the system's standard object of that control.
Heard heard(HWND control, bool own = true) {
    Heard out;
    IAccessible* object = nullptr;
    // __uuidof: MinGW's oleacc import library holds a stub under IID_IAccessible.
    const HRESULT made =
        own ? AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&object))
            : CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                        reinterpret_cast<void**>(&object));
    if (FAILED(made))
        return out;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(self, &name)) && name) {
        out.name = name;
        SysFreeString(name);
    }
    VARIANT role{};
    if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4)
        out.role = role.lVal;
    object->Release();
    return out;
}

TEST_F(Win32Window, ScreenReadersHearEachFieldsLabelAndWhatEachButtonBrowsesFor) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    EXPECT_EQ(heard(control("EditProgramFile")).name, wide(ProgramFileLabel));
    EXPECT_EQ(heard(control("EditApplication")).name, wide(ApplicationLabel));
    for (std::size_t i = 0; i < Table.size(); ++i) {
        if (Table[i].cls == Cls::Label)
            continue;
        SCOPED_TRACE(Table[i].name);
        const Heard h = heard(view->control(i));
        EXPECT_EQ(h.name, wide(form::controls()[i].accessibleName.c_str()));
        // Everything but the name is the system's (Wine has no button role).
        EXPECT_EQ(h.role, heard(view->control(i), false).role);
        if (Table[i].cls == Cls::Field) {
            EXPECT_EQ(h.role, ROLE_SYSTEM_TEXT);
        }
    }
    CoUninitialize();
}

struct QuestionCase {
    const char* how;
    std::function<void(HWND dialog)> answer;
    form::Answer expected;
};

TEST_F(Win32Window, QuestionBoxAnswersByKeyAndButtonAndCloseBoxIsNeither) {
    win32::seam::setFailOnUnexpected(false);
    const std::wstring text = L"一行目\r二行目";
    const std::vector<QuestionCase> cases = {
        {"Enter presses the default はい",
         [](HWND d) {
             PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
             (void)d;
         },
         form::Answer::Yes},
        {"Escape presses いいえ",
         [](HWND d) {
             PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
             (void)d;
         },
         form::Answer::No},
        {"the close box is neither", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
         form::Answer::Closed},
        {"いいえ clicked", [](HWND d) { PostMessageW(GetDlgItem(d, IDNO), BM_CLICK, 0, 0); },
         form::Answer::No},
    };
    for (const QuestionCase& c : cases) {
        SCOPED_TRACE(c.how);
        bool seen = false;
        whenModal([&] {
            HWND dialog = dialogCaptioned(wide(ConfirmCaption).c_str(), view->window());
            ASSERT_NE(dialog, nullptr);
            seen = true;
            EXPECT_EQ(textOf(GetDlgItem(dialog, IDYES)), wide(Yes));
            EXPECT_EQ(textOf(GetDlgItem(dialog, IDNO)), wide(No));
            EXPECT_EQ(textOf(GetDlgItem(dialog, 0xFFFF)), L"一行目\r\n二行目");
            EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDYES));
            const BoxLook look = lookOf(dialog);
            EXPECT_EQ(look.icons, std::vector<HICON>{LoadIconW(nullptr, IDI_QUESTION)});
            EXPECT_EQ(look.buttons, (std::vector<std::wstring>{wide(Yes), wide(No)}));
            EXPECT_TRUE(GetWindowLongW(GetDlgItem(dialog, IDYES), GWL_STYLE) & BS_DEFPUSHBUTTON);
            EXPECT_FALSE(IsWindowEnabled(view->window())) << "modal";
            c.answer(dialog);
        });
        EXPECT_EQ(view->questionBox(ConfirmCaption, narrow(text)), c.expected);
        EXPECT_TRUE(seen);
    }
}

TEST_F(Win32Window, PlainAndErrorBoxesCarryTheTitleAndCloseOnEscape) {
    win32::seam::setFailOnUnexpected(false);
    for (bool error : {false, true}) {
        SCOPED_TRACE(error ? "error box" : "plain box");
        std::wstring shownText;
        BoxLook look;
        whenModal([&] {
            HWND box = dialogCaptioned(wide(Title).c_str(), view->window());
            ASSERT_NE(box, nullptr);
            shownText = textOf(GetDlgItem(box, 0xFFFF));
            look = lookOf(box);
            PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
        });
        if (error)
            view->errorBox("書けません。");
        else
            view->plainBox("一行目\r二行目");
        EXPECT_EQ(shownText, error ? L"書けません。" : L"一行目\r\n二行目");
        EXPECT_EQ(look.icons,
                  error ? std::vector<HICON>{LoadIconW(nullptr, IDI_HAND)} : std::vector<HICON>{});
        EXPECT_EQ(look.buttons, std::vector<std::wstring>{L"OK"});
    }
}

TEST_F(Win32Window, SurveyProgressIsModalUntilCancelled) {
    EXPECT_TRUE(view->surveyProgress(10));
    HWND progress = view->progressWindow();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(view->surveyProgress(1234));
    EXPECT_EQ(textOf(FindWindowExW(progress, nullptr, L"Static", nullptr)),
              crLf(SurveyProgress1234));
    EXPECT_EQ(textOf(progress), wide(Title));
    EXPECT_FALSE(IsWindowEnabled(view->window()));
    HWND cancel = FindWindowExW(progress, nullptr, L"Button", nullptr);
    EXPECT_EQ(textOf(cancel), wide(SurveyCancel));
    EXPECT_TRUE(view->surveyProgress(20));
    SendMessageW(cancel, BM_CLICK, 0, 0);
    EXPECT_FALSE(view->surveyProgress(30));
    view->endSurveyProgress();
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_TRUE(IsWindowEnabled(view->window()));
}

TEST_F(Win32Window, ANewResolutionScalesPlacesAndFonts) {
    // The progress window of a survey under way is up through the change.
    ASSERT_TRUE(view->surveyProgress(10));
    const UINT newDpi = dpi * 3 / 2;
    RECT suggested{10, 10, 10 + at(400, newDpi), 10 + at(380, newDpi)};
    SendMessageW(view->window(), WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi),
                 reinterpret_cast<LPARAM>(&suggested));
    RECT client{};
    GetClientRect(view->window(), &client);
    EXPECT_EQ(client.right, at(form::ClientWidth, newDpi));
    EXPECT_EQ(client.bottom, at(form::ClientHeight, newDpi));
    for (const char* name : {"Label3", "BitBtnInstall", "EditStartMenuFile3"}) {
        SCOPED_TRACE(name);
        const Expected& e = Table[indexOf(name)];
        const form::Rect laid = form::controls()[indexOf(name)].place;
        const RECT place = placeOf(control(name));
        EXPECT_EQ(place.left, at(laid.left, newDpi));
        EXPECT_EQ(place.top, at(laid.top, newDpi));
        EXPECT_EQ(place.right, at(laid.width, newDpi));
        EXPECT_EQ(fontOf(control(name)).lfHeight, -at(e.fontHeight, newDpi));
    }
    for (const wchar_t* cls : {L"Static", L"Button"}) {
        SCOPED_TRACE(narrow(cls));
        HWND c = FindWindowExW(view->progressWindow(), nullptr, cls, nullptr);
        EXPECT_EQ(fontOf(c).lfHeight, -at(form::DefaultFontHeight, newDpi));
    }
    view->endSurveyProgress();
}

// A whole request through the window, then each way the window can close:
// every way puts the moved file back and removes the control file.
TEST_F(Win32Window, EveryClosePathRestoresTheFolder) {
    struct ClosePath {
        const char* how;
        std::function<void(HWND)> close;
    } paths[] = {
        {"close box", [](HWND w) { SendMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"WM_CLOSE", [](HWND w) { SendMessageW(w, WM_CLOSE, 0, 0); }},
        {"session end",
         [](HWND w) {
             EXPECT_TRUE(SendMessageW(w, WM_QUERYENDSESSION, 0, 0));
             SendMessageW(w, WM_ENDSESSION, TRUE, 0);
         }},
    };
    for (const ClosePath& path : paths) {
        SCOPED_TRACE(path.how);
        if (!view)
            SetUp();
        testing_support::TestFolder folder;
        folder.write("Sample.exe", "program");
        folder.write(testing_support::Installer, "installer");
        folder.write("doc/Manual.txt", "manual");
        win32::seam::setNextFileName(folder.native("Sample.exe").wstring());
        click("BtnSansho");
        type("EditApplication", L"サンプル");
        click("BitBtnInstall");
        ASSERT_TRUE(folder.exists(testing_support::Ini));
        ASSERT_TRUE(folder.exists("Manual.txt")) << "relocated";
        path.close(view->window());
        EXPECT_TRUE(folder.exists("doc/Manual.txt"));
        EXPECT_FALSE(folder.exists("Manual.txt"));
        EXPECT_FALSE(folder.exists(testing_support::Ini));
        TearDown();
    }
}

// The question's "いいえ" closes the window through the same close path, and
// the folder stays as it was.
TEST_F(Win32Window, AnsweringNoClosesTheWindowWithTheFolderUntouched) {
    testing_support::TestFolder folder;
    folder.write("Sample.exe", "program");
    folder.write(testing_support::Installer, "installer");
    folder.write("readme.txt", "top");
    folder.write("doc/readme.txt", "below"); // the same name twice: no relocation
    const auto before = folder.snapshot();
    win32::seam::setNextFileName(folder.native("Sample.exe").wstring());
    click("BtnSansho");
    type("EditApplication", L"サンプル");
    win32::seam::setNextAnswer(form::Answer::No);
    click("BitBtnInstall");
    ASSERT_EQ(win32::seam::shownBoxes().size(), 1u);
    EXPECT_EQ(win32::seam::shownBoxes()[0].kind, win32::BoxKind::Question);
    EXPECT_EQ(win32::seam::shownBoxes()[0].caption, wide(ConfirmCaption));
    EXPECT_FALSE(IsWindow(view->window()));
    EXPECT_EQ(folder.snapshot(), before);
}

} // namespace
