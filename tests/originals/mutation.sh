#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Mutation testing of the originals promise, run on demand: each mutant below breaks one rule
# that keeps the game's music safe, in a scratch worktree of the current commit. The
# simulation (VMC_SIM_SEQUENCES sequences, 2,000 by default, under both rule sets and the file
# systems CI plays) runs first, then the promise tests; one line a mutant tells what caught it,
# or SURVIVED.
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
# Not a mutant: the folder sync after a second name is removed (SecondNames::drop). The name
# and the record lie in one folder, and the record's save syncs that folder, so the removal
# is durable no later than the record that forgets the name's identity; no order of events
# can tell the sync is missing.
# Not a mutant either: a name in Superseded/ whose look-up fails is not taken
# (OriginalsPlace::supersededName). The file system in memory fails no look-up short of a
# kill, so no sequence can show a failed look-up taken for a free name.
mutants() {
    cat <<'EOF'
doubt-mark-dropped@R1 the doubt mark stays until a replacement is made@            entry.doubtful = true;\n        } else {@        } else {
unread-is-different@R2 a failed comparison read counts as unread@    if (record_.comparisonFailed())\n        return FileError::destination(OriginalsRecord::unreadable);@
under-way-not-kept-at-change@R3 the content under way is kept during an in-place Change@keepUnderWay(replacement.content, targetName)@std::optional<FileError>()
under-way-not-kept-at-restore@R4 the content under way is kept during an in-place restore@UnderWayWrite(record_).keepUnderWay(place_.keptFile(targetName), targetName)@std::optional<FileError>()
second-names-not-dropped@R5 second names are dropped at every lock@            secondNames.drop(slots.targetFileName(i));@
identity-not-compared@R6 identity and change time are compared besides size and time@check == Check::SizeAndTime && sameIdentity &&@check == Check::SizeAndTime &&
unreadable-record-ignored@R7 an unreadable record stops Change and Default@if (const SystemError error = record_.manifest().readError()) {@if (const SystemError error = 0) {
lock-refusal-ignored@R8 the run is refused when the lock cannot be taken@        refusal_ = {OriginalsRefusal::Kind::LockNotTaken, place_.path() / RunLock::fileName,\n                    lock->error()};@
linked-game-file-linked@R9 a game file with more than one name is kept by copy@status.links == 1 &&@true &&
superseded-deleted@R10 a superseded original is moved, never deleted@fileSystem.replace(kept, *setAsideName)@fileSystem.remove(kept)
lost-line-after-removal@R11 the record and its lost line are written before a second name goes@const std::optional<FileError> unsaved = manifest.save();@const std::optional<FileError> unsaved;
restore-counts-all@R12 a restore counts only what it put back@result.count += restored ? 1 : 0;@result.count += 1;
failed-write-forgotten@R13 a failed in-place write stays under way unless the file holds what it held@        if (!now || now->hash != entry.overwrittenInPlace->hash)\n            return;@
stand-in-linked@R14 the VirtualStore take-in keeps the game file by copy@KeptFiles(place).keep(game, copy.targetName, true)@KeptFiles(place).keep(game, copy.targetName, false)
kept-without-content-match@R15 a file is the kept original only if its content matches@    return keptContent && gameContent && keptContent->hash == gameContent->hash;@    return true;
written-through-link@R16 a game file that links into the originals is never written through@    if (place_.leadsIntoOriginals(gameFile))\n        return FileError::destination(OriginalsRecord::notThrough);@
restore-through-link@R16 Default never writes through a link into the originals@    if (place_.leadsIntoOriginals(game))\n        return FileError::destination(OriginalsRecord::notThrough);@
no-flush-after-restore@R17 names are durable before the record lets go of the old files@    writer.syncFolders();\n    record_.manifest().save();@    record_.manifest().save();
no-flush-new-folder@R17 a new folder of originals is durable before anything is kept in it@    fileSystem_.syncFolder(folder.parent_path());\n    return 0;@    return 0;
no-flush-after-removal@R17 a removal in Default is durable before the record forgets it@        fileSystem.syncFolder(game.parent_path());\n        return std::nullopt;@        return std::nullopt;
unopenable-file-restored@R18 a game file that cannot be opened at Default is left alone@            leftAlone = {LeftAlone::Why::Unreadable, error};\n            return std::nullopt;@            fileSystem.close(handle);
held-file-linked@R9 the original of a file the game holds is kept by copy@ && !fileSystem.inUse(gameFile)@
kept-copy-not-made@R11 a second name that cannot go is copied first@            KeptFiles(place).copy(game, place.keptCopyFile(targetName));@
superseded-game-file-deleted@R10 a doubtful game file is kept beside the original@    return copy(gameFile, *setAsideName);@    return std::nullopt;
no-flush-before-restore-save@R17 names put back are durable before a restore's record forgets them@        writer.syncFolders();\n        return record_.manifest().save();@        return record_.manifest().save();
stale-second-name-linked@R9 a slot whose record still names a second name keeps by copy@inPlace || was.secondName || was.lost@inPlace
cut-short-forgotten-at-restore@R13 our write cut short under a damaged record stays known by what is under way@if (whole || !entry.doubtful) {@if (true) {
cut-short-left-at-start@R19 a write cut short is made whole at the next start@    if (!place_.isFolder(place_.path()) || markedUnderWay().empty())@    if (true)
cut-short-replaced-under-way@R3 a write cut short is finished before another in place takes its room@CutShortRepair(record_).finish(targetName)@std::optional<FileError>()
shared-file-written-in-place@R16 a game file that shares its data with a file of the originals is never written in place@        if (place_.sharesDataWithOriginals(gameFile))\n            return FileError::destination(OriginalsRecord::notThrough);@
failed-flush-told-done@R12 a restore's write whose flush failed is told as failed@            writer.copyFile(place_.keptFile(targetName), game, recordInPlace))\n        return failure;@            writer.copyFile(place_.keptFile(targetName), game, recordInPlace);\n        failure && !(underWayMade && record_.matchesKept(game, targetName)))\n        return failure;
written-over-name-dropped@R11 a second name written over stays until its loss is saved@    if ((entry.lost && unsaved) || fileSystem.remove(kept) != 0) {@    if (fileSystem.remove(kept) != 0) {
kept-over-written-over-name@R11 no original is kept over a name written over whose loss is unsaved@    if (record_.manifest().entry(std::string(targetName)).lost &&@    if (false &&
made-not-flushed-before-failure@R17 made replacements are durable before a failed one is recorded@            failed = {{ready.slot, *failure}};\n            writer_.syncFolders();@            failed = {{ready.slot, *failure}};
superseded-copy-not-flushed@R17 a copy set aside is durable in Superseded/ before its removal@            fileSystem.syncFolder(aside);\n        return;@        return;
unread-record-taken-as-whole@R19 a start that cannot read the record names what may be cut short@    if (record_.manifest().readError())\n        return holdsUnderWayOrKept(game, targetName);@
second-name-taken-as-restored@R11 Default keeps a second name's line, and tells its loss@    if (place_.sameFile(place_.keptFile(targetName), game)) {@    if (false) {
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

# The rule sets and file systems CI plays the simulation under: rules, then VMC_SIM_FS.
configurations=(posix: windows: windows:casefold,fine posix:crossdevice,coarse)

caught_by() {
    local configuration
    for configuration in "${configurations[@]}"; do
        VMC_SIM_RULES=${configuration%%:*} VMC_SIM_FS=${configuration#*:} \
            VMC_SIM_SEQUENCES=$sequences QT_QPA_PLATFORM=offscreen \
            "$build/tests/tst_originalssimulation" randomSequencesKeepThePromise \
            >/dev/null 2>&1 || { echo "simulation ($configuration)"; return; }
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
