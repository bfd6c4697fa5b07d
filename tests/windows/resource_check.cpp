// SPDX-License-Identifier: GPL-3.0-or-later
// Reads back the program's version resource and icon from its own executable, which is
// linked with the program's resource script.

#include "MiniTest.h"

#include <windows.h>

#include <string>
#include <vector>

MINI_TEST(versionResourceIs1501)
{
    wchar_t path[MAX_PATH];
    CHECK(GetModuleFileNameW(nullptr, path, MAX_PATH) > 0);
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &unused);
    CHECK(size > 0);
    std::vector<char> data(size);
    CHECK(GetFileVersionInfoW(path, 0, size, data.data()));
    VS_FIXEDFILEINFO *info = nullptr;
    UINT length = 0;
    CHECK(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&info), &length));
    CHECK_EQ(int(HIWORD(info->dwFileVersionMS)), 1);
    CHECK_EQ(int(LOWORD(info->dwFileVersionMS)), 5);
    CHECK_EQ(int(HIWORD(info->dwFileVersionLS)), 0);
    CHECK_EQ(int(LOWORD(info->dwFileVersionLS)), 1);
}

MINI_TEST(programIconHasFiveImages)
{
    HRSRC group = FindResourceW(nullptr, L"IDI_ICON1", MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    CHECK(group != nullptr);
    const auto *header = static_cast<const WORD *>(LockResource(LoadResource(nullptr, group)));
    CHECK(header != nullptr);
    CHECK_EQ(int(header[2]), 5);
    CHECK(LoadIconW(GetModuleHandleW(nullptr), L"IDI_ICON1") != nullptr);
}

MINI_TEST(manifestAsksForWhatThePlayerRunsItAs)
{
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    CHECK(found != nullptr);
    const char *text = static_cast<const char *>(LockResource(LoadResource(nullptr, found)));
    const std::string manifest(text, SizeofResource(nullptr, found));
    for (const char *wanted : {"level=\"asInvoker\"", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                               ">true</longPathAware>", ">PerMonitorV2</dpiAwareness>",
                               "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""})
        CHECK(manifest.find(wanted) != std::string::npos);
    // Text files stay in the system's ANSI code page.
    CHECK(manifest.find("activeCodePage") == std::string::npos);
}

int main()
{
    return minitest::runAll();
}
