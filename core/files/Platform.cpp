// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/Platform.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace core::platform {

std::string asciiLowerCase(std::string text)
{
    for (char &c : text)
        c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return text;
}

#ifdef _WIN32

namespace {

std::wstring wideFromUtf8(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), size);
    return wide;
}

std::string utf8FromWide(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), size, nullptr,
                        nullptr);
    return utf8;
}

unsigned chosenCodePage = 0;
WideToMultiByte chosenConverter = nullptr;

int convert(UINT codePage, DWORD flags, const std::wstring &wide, char *bytes, int byteSize,
            BOOL *usedDefault)
{
    if (chosenConverter)
        return chosenConverter(codePage, flags, wide.data(), int(wide.size()), bytes, byteSize,
                               nullptr, usedDefault);
    return WideCharToMultiByte(codePage, flags, wide.data(), int(wide.size()), bytes, byteSize,
                               nullptr, usedDefault);
}

} // namespace

void setWideToMultiByte(WideToMultiByte converter)
{
    chosenConverter = converter;
}

unsigned textFileCodePage()
{
    return chosenCodePage != 0 ? chosenCodePage : GetACP();
}

void setTextFileCodePage(unsigned codePage)
{
    chosenCodePage = codePage;
}

char nativeSeparator()
{
    return '\\';
}

std::optional<std::string> toTextFileBytes(std::string_view utf8)
{
    const std::wstring wide = wideFromUtf8(utf8);
    if (wide.empty())
        return std::string();
    const UINT codePage = textFileCodePage();
    // UTF-8 takes no best-fit flag and no default character: the call fails with them.
    const bool utf8CodePage = codePage == CP_UTF8;
    const DWORD flags = utf8CodePage ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL *usedDefaultOut = utf8CodePage ? nullptr : &usedDefault;
    const int size = convert(codePage, flags, wide, nullptr, 0, usedDefaultOut);
    if (size <= 0 || usedDefault)
        return std::nullopt;
    std::string bytes(size, '\0');
    convert(codePage, flags, wide, bytes.data(), size, nullptr);
    return bytes;
}

std::string fromTextFileBytes(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    const UINT codePage = textFileCodePage();
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), wide.data(), size);
    return utf8FromWide(wide);
}

std::filesystem::path pathFromText(std::string_view utf8)
{
    return std::filesystem::path(wideFromUtf8(utf8));
}

std::string textFromPath(const std::filesystem::path &path)
{
    return utf8FromWide(path.native());
}

bool isOrdinaryFile(const std::filesystem::path &path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    constexpr DWORD notOrdinary =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & notOrdinary) == 0;
}

#else

char nativeSeparator()
{
    return '/';
}

std::optional<std::string> toTextFileBytes(std::string_view utf8)
{
    return std::string(utf8);
}

std::string fromTextFileBytes(std::string_view bytes)
{
    return std::string(bytes);
}

std::filesystem::path pathFromText(std::string_view utf8)
{
    return std::filesystem::path(utf8);
}

std::string textFromPath(const std::filesystem::path &path)
{
    return path.native();
}

bool isOrdinaryFile(const std::filesystem::path &path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

#endif

} // namespace core::platform
