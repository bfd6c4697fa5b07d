// SPDX-License-Identifier: GPL-3.0-or-later
// Times a replacement run of N files of S MiB each from one folder to another on the same
// file system, the copies flushed to disk as the program does them: a first run, which
// keeps the game's originals, and a second one, which finds them kept.
//
//   replacement_bench [count=40] [mebibytes=8] [work folder=/tmp]
//
// It leaves the source files in <work>/vmc-bench/src for timing `cp` beside it; see README.

#include "Language.h"
#include "report/RunTexts.h"
#include "run/ReplacementRun.h"
#include "settings/SlotTable.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path &path, std::size_t size, char fill)
{
    std::vector<char> block(1 << 20, fill);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::size_t written = 0; written < size; written += block.size())
        out.write(block.data(), std::streamsize(std::min(block.size(), size - written)));
}

} // namespace

int main(int argc, char **argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : core::slotCount;
    const std::size_t mebibytes = argc > 2 ? std::size_t(std::atoi(argv[2])) : 8;
    const fs::path work = fs::path(argc > 3 ? argv[3] : "/tmp") / "vmc-bench";
    if (count < 1 || count > core::slotCount || mebibytes < 1) {
        std::fprintf(stderr, "usage: %s [count 1..40] [MiB per file] [work folder]\n", argv[0]);
        return 2;
    }

    const core::SlotTable slots;
    fs::remove_all(work);
    fs::create_directories(work / "src");
    fs::create_directories(work / "game");
    core::SlotTexts texts;
    core::SlotTexts labels;
    const std::uint8_t english = codeOf(Language::English);
    for (int i = 0; i < core::slotCount; ++i) {
        labels[i] = std::string(core::SlotTable::slot(i).label);
        texts[i] = std::string(core::RunTexts::forLanguage(english).placeholder);
        if (i >= count)
            continue;
        const fs::path source = work / "src" / ("pick" + std::to_string(i) + ".mp3");
        writeFile(source, mebibytes << 20, char('a' + i % 26));
        writeFile(work / "game" / slots.targetFileName(i), mebibytes << 20, 'g');
        texts[i] = source.string();
    }
    std::system("sync");

    const double total = double(count) * double(mebibytes);
    for (const char *which : {"first run (keeps the originals)", "second run (keeps none)"}) {
        const auto start = std::chrono::steady_clock::now();
        const core::RunResult result =
            core::ReplacementRun(slots).run(texts, labels, (work / "game").string() + "/", english);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result.outcome != core::RunResult::Outcome::Completed) {
            std::fprintf(stderr, "run failed: %s\n", result.message.c_str());
            return 1;
        }
        std::printf("%s: %d files x %zu MiB = %.0f MiB in %.3f s = %.1f MiB/s\n", which, count,
                    mebibytes, total, seconds, total / seconds);
    }
    return 0;
}
