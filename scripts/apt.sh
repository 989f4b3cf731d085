# Sourced by the scripts that install what they need from Debian's archive.

vk_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# A mirror in the middle of a sync serves an index of the wrong size now and
# then: try again, and at last go on with the indexes apt already has (the
# install that follows says what it cannot find).
vk_apt_update() {
    local try
    for try in 1 2 3; do
        vk_as_root apt-get update -qq && return 0
        sleep $((try * 10))
    done
    echo "deps: apt-get update failed three times; going on with the indexes there are" >&2
}

# Installs the named packages that are not installed yet, without the
# packages they merely recommend.
vk_install_packages() {
    local p missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "deps: installing ${missing[*]}"
    vk_apt_update
    vk_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Source packages of the bookworm suite (the security suite's source files
# are not served; naming it makes apt-get source fail).
vk_source_packages() {
    local list=/etc/apt/sources.list.d/veskora-src.sources
    [ -f "$list" ] && return 0
    vk_as_root tee "$list" >/dev/null <<'EOS'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOS
    vk_apt_update
}

# Unpacks Debian's source package NAME, downloaded once into DIR, into the
# folder TARGET, with Debian's patches applied; TARGET appears only whole.
vk_source_package() { # name, dir, target
    vk_source_packages
    mkdir -p "$2"
    if ! ls "$2/$1"_*.dsc >/dev/null 2>&1; then
        (cd "$2" && apt-get source --download-only -qq "$1" >/dev/null 2>&1) || return 1
    fi
    rm -rf "$3.part"
    dpkg-source -x "$(ls "$2/$1"_*.dsc | head -n 1)" "$3.part" >/dev/null 2>&1 && mv "$3.part" "$3"
}

# The unpacked source of package NAME under DIR (NAME-*, unpacked once),
# printed.
vk_unpacked_source() { # name, dir
    local found
    found=$(ls -d "$2/$1"-*/ 2>/dev/null | head -n 1 || true)
    if [ -z "$found" ]; then
        vk_source_package "$1" "$2" "$2/$1-source" || return 1
        found="$2/$1-source"
    fi
    echo "${found%/}"
}
