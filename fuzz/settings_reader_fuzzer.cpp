// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the settings reader. Beyond not crashing, whatever it reads
// must store and read back to the same folder and language.

#include "Language.h"
#include "settings/SettingsFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const std::optional<core::Settings> settings = core::SettingsFile::parse(bytes);
    if (!settings || settings->folder.find('"') != std::string::npos)
        return 0;
    for (const char separator : {'\\', '/'}) {
        const std::optional<core::Settings> again = core::SettingsFile::parse(
            core::SettingsFile::lineFor(settings->folder, settings->language, separator));
        const int language = codeOf(languageFromCode(settings->language));
        if (!again || again->folder != settings->folder + separator || again->language != language)
            std::abort();
    }
    return 0;
}
