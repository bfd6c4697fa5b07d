// SPDX-License-Identifier: GPL-3.0-or-later
// Find a loop on the labelled set: the music of Debian's game data packages installed here,
// each track labelled by the outside judge (bench/loopset/LoopJudge.h) as having a clear loop
// or not, and each loop the program offers judged the same way. Reports, for the tuning
// packages and for those kept aside: the tracks with a clear loop, how many got a good first
// offer, how many had a good one anywhere in the list (found), the wrong first offers, and of
// the tracks without a clear loop how many got "none".
//
//   loopset_bench [--kept-aside | --tuning] [--labels FILE] [--relabel] [TRACK-NAME-PART...]
//
// Labels are read from FILE (the one beside the judge by default) and any track missing there
// is labelled by the judge's own search and written back. A track that the program offers a
// good loop for has a clear loop whatever its label says; the label file keeps that too, so
// that figures before and after a change count the same tracks. Tracks under 20 s (stings,
// jingles) are left out. Decoded tracks are kept in the temporary folder's loopset/decoded.

#include "fit/LoopFinder.h"
#include "loopset/LoopJudge.h"
#include "loopset/MusicSet.h"
#include "loopset/OutsideLoopSearch.h"
#include "music/AudioCodecs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int finderRate = 44100;
constexpr double shortestTrackSeconds = 20;
constexpr std::size_t outsideCandidates = 24;

struct Label
{
    double seconds = 0;
    bool clear = false;
    std::size_t start = 0; // of a good loop, at the judge's rate
    std::size_t end = 0;
    std::string how = "-"; // outside, whole or offer
};

struct Tally
{
    int tracks = 0;
    int clear = 0;
    int goodFirst = 0;
    int found = 0;
    int wrongFirstOnClear = 0;
    int noneOnClear = 0;
    int rest = 0;
    int noneOnRest = 0;
    double longestSearch = 0;
    double searchSeconds = 0;
    double musicSeconds = 0;
};

std::string clock(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d:%05.2f", int(seconds / 60),
                  seconds - 60 * int(seconds / 60));
    return text;
}

std::vector<float> decodedMono(const std::filesystem::path &file, int rate)
{
    std::vector<float> mono;
    core::AudioCodecs::builtIn().makeDecoder()->decode(
        file, rate, 1, [&](const float *samples, std::size_t frames) {
            mono.insert(mono.end(), samples, samples + frames);
            return true;
        });
    return mono;
}

// Decoded once and kept in the scratch folder, as a run decodes every track twice.
std::vector<float> cachedMono(const loopset::Track &track, int rate,
                              const std::filesystem::path &scratch)
{
    std::string name = track.name() + "." + std::to_string(rate) + ".f32";
    std::replace(name.begin(), name.end(), '/', '_');
    const std::filesystem::path kept = scratch / "decoded" / name;
    std::vector<float> mono;
    if (std::ifstream in{kept, std::ios::binary}) {
        mono.resize(std::filesystem::file_size(kept) / sizeof(float));
        in.read(reinterpret_cast<char *>(mono.data()),
                std::streamsize(mono.size() * sizeof(float)));
        return mono;
    }
    mono = decodedMono(track.file, rate);
    std::filesystem::create_directories(kept.parent_path());
    std::ofstream out(kept, std::ios::binary);
    out.write(reinterpret_cast<const char *>(mono.data()),
              std::streamsize(mono.size() * sizeof(float)));
    return mono;
}

std::map<std::string, Label> readLabels(const std::filesystem::path &file)
{
    std::map<std::string, Label> labels;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string name;
        int clear = 0;
        Label label;
        fields >> name >> label.seconds >> clear >> label.start >> label.end >> label.how;
        label.clear = clear != 0;
        labels[name] = label;
    }
    return labels;
}

void writeLabels(const std::filesystem::path &file, const std::map<std::string, Label> &labels)
{
    std::ofstream out(file);
    out << "# SPDX-License-Identifier: GPL-3.0-or-later\n"
           "# Written by loopset_bench: track, seconds, clear loop (1/0), a good loop's start "
           "and end\n# at 22.05 kHz, and who found it: the judge's search (outside), the whole "
           "track\n# end to start (whole), or the program (offer).\n";
    for (const auto &[name, label] : labels) {
        out << name << '\t' << label.seconds << '\t' << int(label.clear) << '\t' << label.start
            << '\t' << label.end << '\t' << label.how << '\n';
    }
}

std::string describe(const loopset::Verdict &verdict)
{
    char text[160];
    if (verdict.whole)
        std::snprintf(text, sizeof text, "whole: change %.2f, step %.1f dB, %.1f dB under",
                      verdict.joinChange, verdict.joinLevelStep, verdict.joinQuietness);
    else
        std::snprintf(text, sizeof text, "wave %.2f/%.2f context %.2f/%.2f", verdict.waveBefore,
                      verdict.waveAfter, verdict.contextBefore, verdict.contextAfter);
    return text;
}

Label outsideLabel(const loopset::LoopJudge &judge, const std::vector<float> &mono)
{
    const loopset::OutsideLoopSearch search(judge);
    std::vector<loopset::Span> spans = search.closestContexts(outsideCandidates);
    spans.push_back(loopset::OutsideLoopSearch::wholeTrack(mono));
    Label label;
    double bestWave = -1;
    for (const loopset::Span &span : spans) {
        const loopset::Verdict verdict = judge.judge(span.start, span.end);
        if (!verdict.good)
            continue;
        const double wave = verdict.whole ? 0 : std::min(verdict.waveBefore, verdict.waveAfter);
        if (!label.clear || wave > bestWave) {
            label = {double(mono.size()) / loopset::LoopJudge::rate, true, span.start, span.end,
                     verdict.whole ? "whole" : "outside"};
            bestWave = wave;
        }
    }
    return label;
}

struct Options
{
    bool tuning = true;
    bool keptAside = true;
    bool relabel = false;
    std::filesystem::path labels = LOOPSET_LABELS;
    std::vector<std::string> only;
};

Options parsed(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--kept-aside")
            options.tuning = false;
        else if (argument == "--tuning")
            options.keptAside = false;
        else if (argument == "--relabel")
            options.relabel = true;
        else if (argument == "--labels" && i + 1 < argc)
            options.labels = argv[++i];
        else
            options.only.push_back(argument);
    }
    return options;
}

bool chosen(const Options &options, const loopset::Track &track)
{
    if (track.keptAside ? !options.keptAside : !options.tuning)
        return false;
    return options.only.empty() ||
           std::any_of(options.only.begin(), options.only.end(), [&](const std::string &part) {
               return track.name().find(part) != std::string::npos;
           });
}

void printTally(const char *title, const Tally &tally)
{
    const auto share = [](int part, int whole) { return whole ? 100.0 * part / whole : 0.0; };
    std::printf("%s: %d tracks, %d with a clear loop\n", title, tally.tracks, tally.clear);
    std::printf("  good first offer  %3d of %3d  %5.1f%%\n", tally.goodFirst, tally.clear,
                share(tally.goodFirst, tally.clear));
    std::printf("  found (good offer anywhere) %3d of %3d  %5.1f%%\n", tally.found, tally.clear,
                share(tally.found, tally.clear));
    std::printf("  wrong first offer on a clear loop %d, none on a clear loop %d\n",
                tally.wrongFirstOnClear, tally.noneOnClear);
    std::printf("  none on the rest  %3d of %3d  %5.1f%% (wrong offers %d)\n", tally.noneOnRest,
                tally.rest, share(tally.noneOnRest, tally.rest), tally.rest - tally.noneOnRest);
    std::printf("  search: %.2f s on one core per 4 minutes of music, longest %.2f s\n",
                tally.musicSeconds > 0 ? 240 * tally.searchSeconds / tally.musicSeconds : 0.0,
                tally.longestSearch);
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parsed(argc, argv);
    std::map<std::string, Label> labels = readLabels(options.labels);
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "loopset";
    const std::vector<loopset::Track> tracks = loopset::MusicSet::tracks(scratch, stdout);
    const core::LoopFinder finder(core::AudioCodecs::builtIn().makeRealTransform);
    Tally tuning;
    Tally keptAside;
    bool labelled = false;
    for (const loopset::Track &track : tracks) {
        if (!chosen(options, track))
            continue;
        std::vector<float> judged = cachedMono(track, loopset::LoopJudge::rate, scratch);
        const double seconds = double(judged.size()) / loopset::LoopJudge::rate;
        if (seconds < shortestTrackSeconds)
            continue;
        const std::vector<float> original = judged;
        const loopset::LoopJudge judge(std::move(judged));
        const auto known = labels.find(track.name());
        if (options.relabel || known == labels.end()) {
            labels[track.name()] = outsideLabel(judge, original);
            labelled = true;
        }
        Label &label = labels[track.name()];
        label.seconds = seconds;

        const std::vector<float> mono = cachedMono(track, finderRate, scratch);
        const std::clock_t started = std::clock();
        const std::vector<core::LoopCandidate> offers = finder.find(mono, finderRate);
        const double searchSeconds = double(std::clock() - started) / CLOCKS_PER_SEC;

        std::printf("%s %s (%s, search %.2f s)\n", track.keptAside ? "K" : "T",
                    track.name().c_str(), clock(seconds).c_str(), searchSeconds);
        std::vector<bool> good;
        for (const core::LoopCandidate &offer : offers) {
            const auto toJudge = [](std::size_t sample) {
                return std::size_t(
                    std::llround(double(sample) * loopset::LoopJudge::rate / finderRate));
            };
            const loopset::Verdict verdict = judge.judge(toJudge(offer.start), toJudge(offer.end));
            good.push_back(verdict.good);
            std::printf("    offer %s to %s (samples %zu to %zu at %d Hz) score %.2f: %s, %s\n",
                        clock(double(offer.start) / finderRate).c_str(),
                        clock(double(offer.end) / finderRate).c_str(), offer.start, offer.end,
                        finderRate, offer.score, verdict.good ? "GOOD" : "weak",
                        describe(verdict).c_str());
            if (verdict.good && !label.clear) {
                label = {seconds, true, toJudge(offer.start), toJudge(offer.end), "offer"};
                labelled = true;
            }
        }
        if (offers.empty())
            std::printf("    none\n");
        if (label.clear)
            std::printf("    clear loop (%s) %s to %s: %s\n", label.how.c_str(),
                        clock(double(label.start) / loopset::LoopJudge::rate).c_str(),
                        clock(double(label.end) / loopset::LoopJudge::rate).c_str(),
                        describe(judge.judge(label.start, label.end)).c_str());
        else
            std::printf("    no clear loop\n");

        Tally &tally = track.keptAside ? keptAside : tuning;
        ++tally.tracks;
        tally.searchSeconds += searchSeconds;
        tally.musicSeconds += seconds;
        tally.longestSearch = std::max(tally.longestSearch, searchSeconds);
        if (label.clear) {
            ++tally.clear;
            tally.goodFirst += !good.empty() && good.front();
            tally.found += std::find(good.begin(), good.end(), true) != good.end();
            tally.wrongFirstOnClear += !good.empty() && !good.front();
            tally.noneOnClear += good.empty();
        } else {
            ++tally.rest;
            tally.noneOnRest += good.empty();
        }
        std::fflush(stdout);
    }
    if (labelled)
        writeLabels(options.labels, labels);
    if (options.tuning)
        printTally("tuning set", tuning);
    if (options.keptAside)
        printTally("kept aside", keptAside);
    return 0;
}
