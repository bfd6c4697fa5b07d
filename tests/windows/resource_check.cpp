// SPDX-License-Identifier: GPL-3.0-or-later
// Reads back the program's version resource and icon from its own executable, which is
// linked with the program's resource script.

#include "MiniTest.h"

#include <windows.h>

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

int main()
{
    return minitest::runAll();
}
