# Sourced: 32-bit programs under emulation, for machines whose kernel
# refuses them. For the time of a run, i386 ELF programs (Wine's 32-bit
# half) are registered with the kernel's binfmt_misc to be run by
# qemu-i386, built from Debian's qemu source with scripts/qemu/*.patch:
# Debian's own qemu-i386 cannot run a 32-bit Wine process that has two
# threads (the patch says why). vk_emulation_end removes exactly what
# vk_emulation_begin added; the machine is left as it was.

VK_BINFMT=/proc/sys/fs/binfmt_misc
# One entry per run, named with the pid of the shell that registered it, so
# that runs of other checkouts keep theirs.
VK_BINFMT_PREFIX=veskora-i386-
VK_QEMU_DIR="$VK_ROOT/build/deps/qemu"
VK_QEMU="$VK_QEMU_DIR/qemu-i386"
# The magic and mask of Debian's qemu-user-binfmt for i386 ELF programs;
# binfmt_misc reads the \x escapes itself.
VK_I386_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
VK_I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# What this shell added, kept when the file is sourced again.
VK_EMULATION_WHY=${VK_EMULATION_WHY:-}
VK_BINFMT_NAME=${VK_BINFMT_NAME:-$VK_BINFMT_PREFIX$$}
VK_BINFMT_MOUNTED=${VK_BINFMT_MOUNTED:-0}
VK_BINFMT_OWN=${VK_BINFMT_OWN:-0}

# Whether an enabled binfmt_misc entry hands i386 ELF programs to an
# interpreter (an emulator): then they do not run natively, even where the
# kernel could run them.
vk_i386_interpreted() {
    local entry
    for entry in "$VK_BINFMT"/*; do
        case ${entry##*/} in register | status | '*') continue ;; esac
        [ "$(head -n 1 "$entry" 2>/dev/null)" = enabled ] || continue
        grep -q '^offset 0$' "$entry" && grep -Eq '^magic 7f454c4601.{26}0300' "$entry" && return 0
    done
    return 1
}

vk_runs32_natively() {
    ! vk_i386_interpreted && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# qemu-i386 alone, built once (and again when the patch changes), in a
# folder of its own that a build cut short leaves behind for the next one
# to remove.
vk_qemu_build() {
    local stamp="$VK_QEMU_DIR/patch.sha256" patch="$VK_ROOT/scripts/qemu/i386-threads.patch" sum work
    sum=$(sha256sum "$patch" | cut -d' ' -f1)
    [ -x "$VK_QEMU" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$sum" ] && return 0
    source "$VK_ROOT/scripts/apt.sh"
    vk_install_packages dpkg-dev patch python3 ninja-build meson pkg-config libglib2.0-dev || return 1
    echo "emulation: building qemu-i386 from Debian's qemu source with $(basename "$patch")"
    mkdir -p "$VK_QEMU_DIR/src"
    rm -rf "$VK_QEMU_DIR"/build.*
    work=$(mktemp -d "$VK_QEMU_DIR/build.XXXXXX")
    if ! vk_source_package qemu "$VK_QEMU_DIR/src" "$work/qemu" ||
        ! patch -d "$work/qemu" -p1 -s --batch --forward <"$patch" ||
        ! (cd "$work/qemu" && mkdir build && cd build &&
            ../configure --target-list=i386-linux-user --without-default-features \
                --disable-docs --disable-werror >configure.log 2>&1 &&
            ninja qemu-i386 >build.log 2>&1); then
        echo "emulation: building qemu-i386 failed; see $work" >&2
        return 1
    fi
    cp "$work/qemu/build/qemu-i386" "$VK_QEMU.new" && mv -f "$VK_QEMU.new" "$VK_QEMU"
    echo "$sum" >"$stamp"
    rm -rf "$work"
}

# Removes the entries of runs whose shell is gone (killed, so that their
# cleanup never ran); the entries of running ones stay.
vk_emulation_sweep() {
    local entry pid
    [ "$(id -u)" -eq 0 ] && [ -d "$VK_BINFMT" ] || return 0
    for entry in "$VK_BINFMT/$VK_BINFMT_PREFIX"*; do
        [ -e "$entry" ] || continue
        pid=${entry##*-}
        kill -0 "$pid" 2>/dev/null || echo -1 >"$entry" 2>/dev/null || true
    done
}

# Registers the emulator for this run. Status 1 with the reason in
# VK_EMULATION_WHY where this machine cannot have it (not root, no
# binfmt_misc); 2 where it should work but does not (the build failed, or
# Wine's 32-bit loader does not start under it). A new entry goes before
# every other, so it is the one the kernel takes.
vk_emulation_begin() {
    if [ "$(id -u)" -ne 0 ]; then
        VK_EMULATION_WHY="registering an emulator needs root"
        return 1
    fi
    if [ ! -e "$VK_BINFMT/register" ]; then
        if ! grep -qw binfmt_misc /proc/filesystems 2>/dev/null; then
            VK_EMULATION_WHY="the kernel has no binfmt_misc"
            return 1
        fi
        if ! mount -t binfmt_misc binfmt_misc "$VK_BINFMT" 2>/dev/null; then
            VK_EMULATION_WHY="binfmt_misc cannot be mounted here"
            return 1
        fi
        VK_BINFMT_MOUNTED=1
    fi
    if ! vk_qemu_build; then
        VK_EMULATION_WHY="qemu-i386 could not be built"
        vk_emulation_end
        return 2
    fi
    VK_BINFMT_OWN=1
    if ! printf '%s' ":$VK_BINFMT_NAME:M::$VK_I386_MAGIC:$VK_I386_MASK:$VK_QEMU:F" >"$VK_BINFMT/register" ||
        ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        VK_EMULATION_WHY="Wine's 32-bit loader does not start under qemu-i386"
        vk_emulation_end
        return 2
    fi
}

vk_emulation_end() {
    if [ "$VK_BINFMT_OWN" = 1 ] && [ -e "$VK_BINFMT/$VK_BINFMT_NAME" ]; then
        echo -1 >"$VK_BINFMT/$VK_BINFMT_NAME" || true
    fi
    VK_BINFMT_OWN=0
    if [ "$VK_BINFMT_MOUNTED" = 1 ]; then
        umount "$VK_BINFMT" 2>/dev/null || true
        VK_BINFMT_MOUNTED=0
    fi
}
