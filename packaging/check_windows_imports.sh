#!/bin/sh
# Checks that Windows libraries and programs load on Windows 7 SP1 and later
# with nothing installed beside them, by reading their headers (binutils):
#   packaging/check_windows_imports.sh FILE...
# Fails, naming the file, on an import of a DLL other than the system's own
# (KERNEL32, USER32, GDI32, ADVAPI32, OLE32, OLEAUT32, VERSION, msvcrt), a
# redistributable runtime above all, and on a subsystem version above 6.1
# (Windows 7), which the loader of an older Windows refuses.
set -eu
[ $# -gt 0 ] || { echo "usage: check_windows_imports.sh FILE..." >&2; exit 2; }

failed=0
for file in "$@"; do
    headers=$(objdump -p "$file") || { failed=1; continue; }
    dlls=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: *//p' | tr -d '\r')
    for dll in $dlls; do
        case $(printf '%s' "$dll" | tr '[:lower:]' '[:upper:]') in
            KERNEL32.DLL | USER32.DLL | GDI32.DLL | ADVAPI32.DLL | OLE32.DLL | OLEAUT32.DLL | VERSION.DLL | MSVCRT.DLL) ;;
            *) echo "check_windows_imports: $file imports $dll, which is not a system DLL of Windows 7" >&2; failed=1 ;;
        esac
    done
    major=$(printf '%s\n' "$headers" | awk '$1 == "MajorSubsystemVersion" { print $2 }')
    minor=$(printf '%s\n' "$headers" | awk '$1 == "MinorSubsystemVersion" { print $2 }')
    if [ -z "$major" ] || [ -z "$minor" ]; then
        echo "check_windows_imports: $file: no subsystem version in its headers" >&2
        failed=1
    elif [ "$major" -gt 6 ] || { [ "$major" -eq 6 ] && [ "$minor" -gt 1 ]; }; then
        echo "check_windows_imports: $file asks for Windows $major.$minor (subsystem version); at most 6.1, Windows 7" >&2
        failed=1
    fi
done
exit "$failed"
