// The Windows resources of kwarino.exe, linked into this test program: they
// compile with the cross toolchain and hold the icon, the version information
// in readable Japanese, and the manifest the window relies on.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string resourceText(LPCWSTR type, LPCWSTR name) {
    HRSRC found = FindResourceW(nullptr, name, type);
    if (found == nullptr)
        return {};
    HGLOBAL loaded = LoadResource(nullptr, found);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return data ? std::string(data, SizeofResource(nullptr, found)) : std::string();
}

std::wstring versionString(const std::vector<char>& block, const wchar_t* name) {
    std::wstring query = L"\\StringFileInfo\\041104B0\\";
    query += name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || length == 0)
        return {};
    return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

} // namespace

TEST(Resources, IconForExplorer) {
    EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */),
              nullptr);
    EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)), nullptr);
}

TEST(Resources, ManifestAsksForCommonControls6AndPerMonitorDpi) {
    const std::string manifest = resourceText(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2"), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm<"), std::string::npos);
    EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
}

TEST(Resources, VersionInformationInJapanese) {
    wchar_t self[MAX_PATH * 4];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH * 4), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(self, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(self, 0, size, block.data()));
    EXPECT_EQ(versionString(block, L"FileDescription"), L"\u30AF\u30EF\u30EA\u30CE"); // クワリノ
    EXPECT_EQ(versionString(block, L"ProductName"), L"\u30AF\u30EF\u30EA\u30CE");
    EXPECT_EQ(versionString(block, L"OriginalFilename"), L"kwarino.exe");
    EXPECT_EQ(versionString(block, L"LegalCopyright"),
              L"Copyright (c) 2026 The Kwarino developers");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // The version of the build (project() in CMakeLists.txt), as text and as numbers.
    EXPECT_EQ(versionString(block, L"FileVersion"), L"" KW_PROJECT_VERSION);
    EXPECT_EQ(versionString(block, L"ProductVersion"), L"" KW_PROJECT_VERSION);
    const std::wstring numbers = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                                 std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                                 std::to_wstring(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(numbers, L"" KW_PROJECT_VERSION);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}
