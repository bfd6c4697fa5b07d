# SPDX-License-Identifier: GPL-3.0-or-later
# Fetches a Debian source package with apt-get source. Sourced by the build scripts.
# apt-get source needs deb-src entries: the machine's own deb entries with Types: deb-src,
# in a private apt state so that the system's configuration stays as it is.

# debian_source STATE_FOLDER DEST_FOLDER PACKAGE=VERSION [--download-only]
debian_source() {
    local apt_state destination package=$3
    apt_state=$(realpath -m "$1")
    destination=$(realpath -m "$2")
    shift 3
    mkdir -p "$apt_state/lists/partial" "$apt_state/sources" "$destination"
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        sed -e 's/^Types:.*/Types: deb-src/' "$file"
        echo
    done >"$apt_state/sources/deb-src.sources"
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -n -e 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file"
    done >"$apt_state/sources/deb-src.list"
    local apt_options=(
        -o "Dir::Etc::SourceList=$apt_state/sources/deb-src.list"
        -o "Dir::Etc::SourceParts=$apt_state/sources"
        -o "Dir::State::Lists=$apt_state/lists"
        -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache="
        -o "Debug::NoLocking=1"
    )
    [ -n "$(ls -A "$apt_state/lists" 2>/dev/null | grep -v partial)" ] ||
        apt-get "${apt_options[@]}" update -qq
    (cd "$destination" && apt-get "${apt_options[@]}" source -qq "$@" "$package")
}
