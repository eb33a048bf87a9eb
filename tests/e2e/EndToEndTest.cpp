// kwarino.exe as a user meets it: started as a process of its own and driven
// from this one only through window messages, on real folders, with a
// stand-in installer that notes where it was started from.
#include "e2e/WindowDriver.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

using namespace e2e;

namespace {

// Every text the window shows in these scenarios, word for word ("\r" is a
// line break).
namespace shown {
const std::wstring Yes = L"はい(&Y)";
const std::wstring No = L"いいえ(&N)";
} // namespace shown

constexpr DWORD Patience = 20000; // ms: the longest any one step may take under Wine

TEST(WindowDriver, ReadsAndAnswersAMessageBoxOfAnotherThread) {
    // The box reader on the system's own message box, shown on a thread of
    // this process (sent messages cross threads as they cross processes).
    int answered = 0;
    std::thread boxThread([&] {
        answered = MessageBoxW(nullptr, L"一行目\r二行目", L"見出し", MB_YESNO | MB_ICONQUESTION);
    });
    std::optional<Box> box = waitBox(GetCurrentProcessId(), Patience);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(narrow(box->caption), "見出し");
    EXPECT_EQ(narrow(box->text), "一行目\r二行目");
    EXPECT_EQ(box->buttons, (std::vector<std::wstring>{shown::Yes, shown::No}));
    EXPECT_TRUE(box->icon);
    EXPECT_TRUE(answer(*box, shown::No));
    boxThread.join();
    EXPECT_EQ(answered, IDNO);
}

} // namespace
