# Sourced by the scripts that take something from Debian's archive that the machine's own
# apt sources do not offer (another suite, source packages): apt-get and apt-cache run
# against a source list of our own, with their own package lists and cache in a folder of
# our own, so that the machine's apt sources and state stay exactly as they were.
#
#   private_apt_init DIR SOURCE_LINE...   writes DIR/sources.list and fetches its lists
#   private_apt DIR apt-get|apt-cache ARGS...
#
# apt-get download and apt-get source fetch into the current folder: run them in
# DIR/downloads, which apt's unprivileged download user may write to.
#
# SOURCE_LINE is a one-line apt source without its signature option, e.g.
# "deb http://deb.debian.org/debian bookworm-backports main"; Debian's archive key signs it.

KORVALEX_DEBIAN_MIRROR=${KORVALEX_DEBIAN_MIRROR:-http://deb.debian.org/debian}

# The machine's Debian release (bookworm on Debian 12).
debian_codename() {
    local codename
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    echo "${codename:-bookworm}"
}

private_apt_options() {
    local dir=$1
    echo "-o Dir::Etc::SourceList=$dir/sources.list -o Dir::Etc::SourceParts=$dir/sources.list.d" \
         "-o Dir::Etc::PreferencesParts=$dir/preferences.d -o Dir::State::Lists=$dir/lists" \
         "-o Dir::Cache=$dir/cache -o APT::Architectures::=$(dpkg --print-architecture)"
}

private_apt() {
    local dir=$1 tool=$2; shift 2
    # shellcheck disable=SC2046  # the options are words without spaces
    "$tool" $(private_apt_options "$dir") "$@"
}

private_apt_init() {
    local dir=$1 line; shift
    mkdir -p "$dir/sources.list.d" "$dir/preferences.d" "$dir/lists/partial" \
        "$dir/cache/archives/partial" "$dir/downloads"
    : >"$dir/sources.list"
    for line in "$@"; do
        # "deb URL ..." -> "deb [signed-by=KEYRING] URL ..."
        echo "${line%% *} [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] ${line#* }" >>"$dir/sources.list"
    done
    # apt drops its privileges to the user _apt for downloads.
    if id _apt >/dev/null 2>&1; then
        chown _apt "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/downloads"
    fi
    private_apt "$dir" apt-get -qq update
}
