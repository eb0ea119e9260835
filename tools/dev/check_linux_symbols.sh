#!/bin/sh
# Checks that Linux libraries and programs load on every system from glibc
# 2.17 on, by reading their dynamic section and symbol table (binutils), as a
# dynamic loader of such a system would judge them:
#   tools/dev/check_linux_symbols.sh FILE...
# Fails, naming the file and the symbol or library, on a symbol version above
# GLIBC_2.17, on any version of a C++ runtime (GLIBCXX_, CXXABI_, GCC_), and on
# a needed library other than the C library's own: libc, libm, libpthread,
# libdl, librt and the dynamic loader (which a library that has thread-local
# storage names for __tls_get_addr). Prints one line per file that passes.
set -eu
[ $# -gt 0 ] || { echo "usage: check_linux_symbols.sh FILE..." >&2; exit 2; }

failed=0
for file in "$@"; do
    bad=0
    [ -f "$file" ] || { echo "check_linux_symbols: $file: no such file" >&2; failed=1; continue; }
    # "version symbol" for every imported symbol that carries a version, and
    # "version -" for every version the file requires of a library.
    found=$( { objdump -T "$file" | sed -n 's/.*[ (]\([A-Z][A-Z0-9_]*_[0-9][0-9.]*\))\{0,1\} \{1,\}\([^ ]*\)$/\1 \2/p'
               objdump -p "$file" | awk '/^Version References:/ { in_refs = 1; next }
                                          in_refs && /^[^ \t]/ { in_refs = 0 }
                                          in_refs && $1 ~ /^0x/ { print $4, "-" }'; } |
             awk '$1 ~ /^(GLIBCXX|CXXABI|GCC|CXXABI_TM)_/ { print "cxx", $1, $2; next }
                  $1 ~ /^GLIBC_/ { split(substr($1, 7), n, ".")
                                   if (n[1] > 2 || (n[1] == 2 && n[2] > 17)) print "glibc", $1, $2 }' |
             LC_ALL=C sort -u)
    if [ -n "$found" ]; then
        printf '%s\n' "$found" | while read -r kind version symbol; do
            if [ "$kind" = cxx ]; then why="a C++ runtime's version"; else why="newer than GLIBC_2.17"; fi
            if [ "$symbol" = - ]; then
                echo "check_linux_symbols: $file requires the version $version ($why)" >&2
            else
                echo "check_linux_symbols: $file imports $symbol@$version ($why)" >&2
            fi
        done
        bad=1
    fi
    needed=$(objdump -p "$file" | sed -n 's/^ *NEEDED *//p')
    for lib in $needed; do
        case $lib in
            libc.so.6 | libm.so.6 | libpthread.so.0 | libdl.so.2 | librt.so.1 | ld-linux-x86-64.so.2 | ld-linux.so.2) ;;
            *) echo "check_linux_symbols: $file needs $lib, which is not the C library's" >&2; bad=1 ;;
        esac
    done
    newest=$(objdump -T "$file" | grep -o 'GLIBC_[0-9.]*' | sort -V | tail -n 1)
    if [ "$bad" -eq 0 ]; then
        echo "check_linux_symbols: $file: newest C library version $newest; needs $(printf "%s" "$needed" | tr "\n" " ")"
    else
        failed=1
    fi
done
exit "$failed"
