#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Mutation testing of the originals promise, run on demand: each mutant below breaks one rule
# that keeps the game's music safe, in a scratch worktree of the current commit. The
# simulation (VMC_SIM_SEQUENCES sequences, 2,000 by default, under both rule sets) runs first,
# then the promise tests; one line a mutant tells what caught it, or SURVIVED.
#   tests/originals/mutation.sh [name-filter]
set -uo pipefail
cd "$(dirname "$0")/../.."
top=$PWD
filter=${1:-}
sequences=${VMC_SIM_SEQUENCES:-2000}
scratch=$(mktemp -d)
worktree=$scratch/tree
build=$scratch/build
trap 'git -C "$top" worktree remove --force "$worktree" >/dev/null 2>&1; rm -rf "$scratch"' EXIT
git worktree add --detach -q "$worktree" HEAD
export CCACHE_BASEDIR=$scratch
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$worktree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVMC_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null || exit 1
targets=(tst_originalssimulation tst_originalspromise)

# name @ rule @ text that occurs once in core/ (\n a line break) @ what it becomes
mutants() {
    cat <<'EOF'
doubt-mark-dropped@R1 the doubt mark stays until a replacement is made@            entry.doubtful = true;\n        } else {@        } else {
unread-is-different@R2 a failed comparison read counts as unread@    if (comparisonFailed_)\n        return FileError::destination(unreadable);@
under-way-not-kept-at-change@R3 the content under way is kept during an in-place Change@keepUnderWay(replacement.content, targetName)@std::optional<FileError>()
under-way-not-kept-at-restore@R4 the content under way is kept during an in-place restore@keepUnderWay(keptFile(targetName), targetName)@std::optional<FileError>()
second-names-not-dropped@R5 second names are dropped at every lock@                dropSecondName(slots.targetFileName(i));@
identity-not-compared@R6 identity and change time are compared besides size and time@if (check == Check::SizeAndTime && sameIdentity && recorded.sameSizeAndTime(*now))@if (check == Check::SizeAndTime && recorded.sameSizeAndTime(*now))
unreadable-record-ignored@R7 an unreadable record stops Change and Default@if (const SystemError error = manifest().readError()) {@if (const SystemError error = 0) {
lock-refusal-ignored@R8 the run is refused when the lock cannot be taken@        refusal_ = {OriginalsRefusal::Kind::LockNotTaken, folder_ / RunLock::fileName,\n                    lock->error()};@
linked-game-file-linked@R9 a game file with more than one name is kept by copy@status.links == 1 &&@true &&
superseded-deleted@R10 a superseded original is moved, never deleted@fileSystem_.replace(kept, supersededName(kept))@fileSystem_.remove(kept)
lost-line-after-removal@R11 the record and its lost line are written before a second name goes@    manifest().setEntry(std::string(targetName), entry);\n    manifest().save();@    manifest().setEntry(std::string(targetName), entry);
restore-counts-all@R12 a restore counts only what it put back@result.count += restored ? 1 : 0;@result.count += 1;
failed-write-forgotten@R13 a failed in-place write stays under way unless the file holds what it held@        if (!now || now->hash != entry.overwrittenInPlace->hash)\n            return;@
stand-in-linked@R14 the VirtualStore take-in keeps the game file by copy@keepNow(game, copy.targetName, true)@keepNow(game, copy.targetName, false)
kept-without-content-match@R15 a file is the kept original only if its content matches@    return keptContent && gameContent && keptContent->hash == gameContent->hash;@    return true;
written-through-link@R16 a game file that links into the originals is never written through@    if (leadsIntoOriginals(gameFile))\n        return FileError::destination(notThrough);@
no-flush-after-second-name@R17 names are durable before the record lets go of the old files@    fileSystem_.syncFolder(folder_);\n    entry.secondName.reset();@    entry.secondName.reset();
no-flush-after-restore@R17 names are durable before the record lets go of the old files@    writer.syncFolders();\n    manifest().save();@    manifest().save();
unopenable-file-restored@R18 a game file that cannot be opened at Default is left alone@            leftAlone = {LeftAlone::Why::Unreadable, error};\n            return std::nullopt;@            fileSystem_.close(handle);
held-file-linked@the original of a file the game holds is kept by copy@ && !fileSystem_.inUse(gameFile)@
kept-copy-not-made@a second name that cannot go is copied first@            keepCopy(game, keptCopyFile(targetName));@
restore-through-link@Default never writes through a link into the originals@    if (leadsIntoOriginals(game))\n        return FileError::destination(notThrough);@
kept-copy-deleted@never delete: a kept copy the kept file no longer needs is set aside@fileSystem_.replace(copy, supersededName(kept))@fileSystem_.remove(copy)
superseded-game-file-deleted@never delete: a doubtful game file is kept beside the original@    return keepCopy(gameFile, supersededName(keptFile(targetName)));@    return std::nullopt;
EOF
}

apply() {
    python3 - "$worktree" "$1" "$2" <<'PY'
import pathlib, sys
root, search, replace = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3]
search, replace = search.replace('\\n', '\n'), replace.replace('\\n', '\n')
hits = [p for p in (root / 'core').rglob('*.cpp') if search in p.read_text()]
if len(hits) != 1 or hits[0].read_text().count(search) != 1:
    sys.exit(f"the mutant's text is found {len(hits)} times")
hits[0].write_text(hits[0].read_text().replace(search, replace))
print(hits[0])
PY
}

caught_by() {
    local rules
    for rules in posix windows; do
        VMC_SIM_RULES=$rules VMC_SIM_SEQUENCES=$sequences QT_QPA_PLATFORM=offscreen \
            "$build/tests/tst_originalssimulation" randomSequencesKeepThePromise \
            >/dev/null 2>&1 || { echo simulation; return; }
    done
    "$build/tests/tst_originalssimulation" regressionSeedsKeepThePromise >/dev/null 2>&1 ||
        { echo "simulation (regression seeds)"; return; }
    "$build/tests/tst_originalspromise" >/dev/null 2>&1 || { echo "promise tests"; return; }
    echo SURVIVED
}

declare -A totals
while IFS='@' read -r name rule search replace; do
    [ -n "$filter" ] && [[ $name != *"$filter"* ]] && continue
    git -C "$worktree" checkout -q -- core
    if ! file=$(apply "$search" "$replace" 2>&1); then
        printf '%-32s %-70s %s\n' "$name" "$rule" "NOT APPLIED: $file"
        totals[not applied]=$((${totals[not applied]:-0} + 1))
        continue
    fi
    if ! cmake --build "$build" --target "${targets[@]}" >/dev/null 2>&1; then
        verdict="does not build"
    else
        verdict=$(caught_by)
    fi
    printf '%-32s %-70s %s\n' "$name" "$rule" "$verdict"
    totals[$verdict]=$((${totals[$verdict]:-0} + 1))
done < <(mutants)
git -C "$worktree" checkout -q -- core
echo
for verdict in "${!totals[@]}"; do
    printf '%s: %s\n' "$verdict" "${totals[$verdict]}"
done
[ -z "${totals[SURVIVED]:-}" ]
