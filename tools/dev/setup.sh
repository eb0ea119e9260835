#!/usr/bin/env bash
# What the machine needs for building and testing the driver, installed
# machine-wide (idempotent); ./run calls it for the verbs that need it.
#   tools/dev/setup.sh              every package, LLVM's C++ runtime for i386
#                                   under build/, and 32-bit execution for Wine
#                                   where the kernel has none
#   tools/dev/setup.sh lint         only what ./run lint needs (its tools and
#                                   what configuring the native and win32 trees
#                                   takes)
#   tools/dev/setup.sh mirror REL   prints the mirror of the machine's own apt
#                                   entry for release REL
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD

say() { printf '\n== %s\n' "$*"; }

# What ./run lint needs: the checkers, and what configuring the native and
# win32 trees takes (their compilers, GoogleTest, libzint, libevdev).
LINT_PACKAGES=(cmake ninja-build g++ clang clang-format clang-tidy googletest libgtest-dev libzint-dev libevdev-dev
               g++-mingw-w64-i686 python3)
PACKAGES=("${LINT_PACKAGES[@]}" libclang-rt-14-dev g++-mingw-w64-x86-64 wine wine32:i386 wine64
          socat xvfb xauth xdotool zip unzip pandoc
          libc++-14-dev libc++abi-14-dev libunwind-14-dev g++-multilib debootstrap
          libevdev-dev:i386 qemu-system-x86 busybox-static)

sudo_if_needed() { if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi; }

# install_missing PACKAGE...: those of them that are not installed yet.
install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        say "installing: ${missing[*]}"
        if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
            sudo_if_needed dpkg --add-architecture i386
        fi
        sudo_if_needed apt-get update -q
        DEBIAN_FRONTEND=noninteractive sudo_if_needed apt-get install -y -q --no-install-recommends \
            -o DPkg::Lock::Timeout=900 "${missing[@]}"
    fi
}

# ---- LLVM's C++ runtime for i386 -------------------------------------------
# The linux-i386 tree links Debian's i386 builds of libc++, libc++abi and
# libunwind. They cannot be installed beside the x86_64 ones (both packages
# own the same files under /usr/lib/llvm-14/lib), so the packages of the
# installed version are unpacked under build/runtime-i386
# (cmake/linux-portable-i386.cmake).
RUNTIME_I386=$ROOT/build/runtime-i386
setup_runtime_i386() {
    local version p tmp
    version=$(dpkg-query -W -f='${Version}' libc++-14-dev)
    [ "$(cat "$RUNTIME_I386/.version" 2>/dev/null)" = "$version" ] && return 0
    say "unpacking LLVM's C++ runtime $version for i386 into build/runtime-i386"
    tmp=$(mktemp -d)
    chmod 777 "$tmp"  # apt's own download user writes there
    for p in libc++-14-dev libc++abi-14-dev libunwind-14-dev; do
        (cd "$tmp" && apt-get download -q "$p:i386=$version" >/dev/null) || { rm -rf "$tmp"; return 1; }
    done
    rm -rf "$RUNTIME_I386"
    mkdir -p "$RUNTIME_I386"
    for p in "$tmp"/*.deb; do dpkg-deb -x "$p" "$RUNTIME_I386"; done
    rm -rf "$tmp"
    echo "$version" >"$RUNTIME_I386/.version"
}

# ---- 32-bit Wine -----------------------------------------------------------
# The win32 build runs under Wine's 32-bit loader, itself a 32-bit Linux
# program. Some kernels refuse every 32-bit program ("Exec format error");
# there the loader runs through qemu-user, registered machine-wide for i386
# programs in binfmt_misc (flag F: the kernel opens the emulator once, at
# registration). Only the loader is emulated: /usr/bin/wineserver is the
# 64-bit server and serves 32-bit clients. bookworm's own qemu-user (7.2)
# ignores MAP_FIXED_NOREPLACE, so Wine's address-space reservation retries
# ~65,000 times and each start takes ~100 s; the qemu-user of the release's
# backports suite (10.0) starts a 32-bit Wine process in ~0.3 s.
WINE32_LOADER=/usr/lib/wine/wine
BINFMT=/proc/sys/fs/binfmt_misc
BINFMT_ENTRY=veltra-qemu-i386

wine32_starts() { timeout 60 "$WINE32_LOADER" --version >/dev/null 2>&1; }

# The mirror of the machine's own apt entry for release $1 (deb822 .sources
# files first, then one-line .list files), so that no registry address is
# written anywhere but where the machine already keeps it.
apt_mirror() {
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk -v rel="$1" 'BEGIN { RS = ""; FS = "\n" }
            { uri = ""; suites = ""; deb = 0
              for (i = 1; i <= NF; i++) {
                  if ($i ~ /^Types:.*(^|[ \t:])deb([ \t]|$)/) deb = 1
                  if ($i ~ /^URIs:/) { uri = $i; sub(/^URIs:[ \t]*/, "", uri); sub(/[ \t].*/, "", uri) }
                  if ($i ~ /^Suites:/) suites = " " substr($i, 8) " "
              }
              if (deb && uri != "" && suites ~ ("[ \t]" rel "[ \t]")) { print uri; exit } }' "$f"
    done | head -n 1 | grep . && return 0
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        awk -v rel="$1" '$1 == "deb" { i = 2; if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
                                      if ($(i + 1) == rel) { print $i; exit } }' | grep .
}

# qemu-user 10 or later from the release's backports suite (only that package
# is taken from there).
install_qemu_user() {
    local version codename mirror
    version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
    if [ -n "$version" ] && dpkg --compare-versions "$version" ge 1:10 && [ -x /usr/bin/qemu-i386 ]; then
        return 0
    fi
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || { echo "no release code name in /etc/os-release" >&2; return 1; }
    if ! grep -rqsE "^[^#]*[ \t]$codename-backports([ \t]|$)" /etc/apt/sources.list /etc/apt/sources.list.d/; then
        mirror=$(apt_mirror "$codename") || { echo "no apt entry for $codename to take a mirror from" >&2; return 1; }
        echo "adding the suite $codename-backports of $mirror to apt (for qemu-user only)"
        printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\nSigned-By: %s\n' \
            "$mirror" "$codename" /usr/share/keyrings/debian-archive-keyring.gpg |
            sudo_if_needed tee "/etc/apt/sources.list.d/$codename-backports.sources" >/dev/null
    fi
    sudo_if_needed apt-get update -q >/dev/null &&
        DEBIAN_FRONTEND=noninteractive sudo_if_needed apt-get install -y -q --no-install-recommends \
            -t "$codename-backports" qemu-user >/dev/null &&
        [ -x /usr/bin/qemu-i386 ]
}

register_qemu_i386() {
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    if [ ! -e "$BINFMT/register" ]; then
        sudo_if_needed mount -t binfmt_misc binfmt_misc "$BINFMT" || return 1
    fi
    # A registration of ours that does not start Wine (a stale emulator) goes.
    [ -e "$BINFMT/$BINFMT_ENTRY" ] && { echo -1 | sudo_if_needed tee "$BINFMT/$BINFMT_ENTRY" >/dev/null || return 1; }
    printf ':%s:M::%s:%s:%s:F\n' "$BINFMT_ENTRY" "$magic" "$mask" /usr/bin/qemu-i386 |
        sudo_if_needed tee "$BINFMT/register" >/dev/null
}

# Makes sure 32-bit Wine starts here, through qemu-user where the kernel runs
# no 32-bit programs; where that cannot be had, says so (./run then builds the
# win32 tree but skips its Wine runs).
setup_wine32() {
    wine32_starts && return 0
    say "this kernel runs no 32-bit programs: 32-bit Wine needs qemu-user (10 or later) registered for i386 programs"
    if install_qemu_user && register_qemu_i386 && wine32_starts; then
        echo "registered $(readlink -f /usr/bin/qemu-i386) for i386 programs as $BINFMT/$BINFMT_ENTRY" \
             "(machine-wide, until reboot; 'echo -1 > $BINFMT/$BINFMT_ENTRY' removes it)"
        return 0
    fi
    echo "win32 under Wine: qemu-user could not be set up for 32-bit programs; its Wine runs will be skipped" >&2
}

case "${1:-}" in
    "") install_missing "${PACKAGES[@]}"; setup_wine32; setup_runtime_i386 ;;
    lint) install_missing "${LINT_PACKAGES[@]}" ;;
    mirror) apt_mirror "$2" ;;
    *) echo "usage: tools/dev/setup.sh [lint | mirror RELEASE]" >&2; exit 2 ;;
esac
