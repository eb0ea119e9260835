#!/bin/sh
# Checks that the product's folders stand on each other as floors: a file
# includes headers of its own floor and the floors below, never above; the two
# faces (COM and Native API) each stand on the core and never on each other;
# and the core knows nothing of COM types. The rooms of tools/ and bench/ are
# held to the same rule, and no file of src/, tools/ or bench/ reaches itself
# through its includes. Prints each offending line; exits 1 if any.
set -eu
cd "$(dirname "$0")/../.."

# Lowest first. A folder of src/ that is not listed here is an error too.
core="core/common core/settings core/capture core/driver"
com="com/host com/addin com/server"
native="native/api native/addin native/server"
floors="$core $com $native"

# The floor's height: the core's floors first, then each face's own floors
# above them.
rank() {
    for tower in "$core" "$com" "$native"; do
        i=0
        [ "$tower" = "$core" ] || i=$(echo $core | wc -w)
        for f in $tower; do
            [ "$f" = "$1" ] && { echo $i; return; }
            i=$((i + 1))
        done
    done
    echo -1
}

# The face a floor belongs to ("core" for the core's floors).
face() { case $1 in core/*) echo core ;; *) echo "${1%%/*}" ;; esac }

status=0
for file in $(git ls-files 'src/*.h' 'src/*.cpp'); do
    own=$(dirname "${file#src/}")
    own_rank=$(rank "$own")
    if [ "$own_rank" -lt 0 ]; then
        echo "$file: folder $own is no floor (add it to $0)"
        status=1
        continue
    fi
    for target in $(sed -n 's|^#include "\([a-z]*/[a-z]*\)/[^"]*"|\1|p' "$file"); do
        target_rank=$(rank "$target")
        target_face=$(face "$target")
        if [ "$target_rank" -gt "$own_rank" ] || [ "$target_rank" -lt 0 ] ||
            { [ "$target_face" != core ] && [ "$target_face" != "$(face "$own")" ]; }; then
            echo "$file: includes $target, which is not below $own"
            status=1
        fi
    done
done

# The faces' types belong to their faces.
if git grep -nwE 'BSTR|VARIANT|SAFEARRAY|HRESULT|IUnknown|oleauto\.h|objbase\.h|tVariant|WCHAR_T|IComponentBase' -- 'src/core/*.h' 'src/core/*.cpp' |
    grep -v '^[^:]*:[0-9]*: *//'; then
    echo "the core above uses types of a face"
    status=1
fi
# The tools' rooms stand on the product and on each other the same way: the
# substitute host's shared part (the event recorder, the driver face) and the
# GS1 reader lowest, each face's host on the shared part, the test bench and
# the perf programs on top. A room includes the product, its own files and
# the rooms of a lower rank, never one beside or above it.
rooms="tools/gs1:0 tools/host:0 tools/host/com:1 tools/host/native:1 tools/bench:2 bench:2"
room_rank() {
    for r in $rooms; do [ "${r%:*}" = "$1" ] && { echo "${r#*:}"; return; }; done
    echo -1
}

# resolve FILE NAME: the file that `#include "NAME"` in FILE reaches, as the
# builds' include paths (src, tools, the file's own folder) find it.
resolve() {
    if [ -f "$(dirname "$1")/$2" ]; then echo "$(dirname "$1")/$2"
    elif [ -f "src/$2" ]; then echo "src/$2"
    elif [ -f "tools/$2" ]; then echo "tools/$2"
    fi
}

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
for file in $(git ls-files 'src/*.h' 'src/*.cpp' 'tools/*.h' 'tools/*.cpp' 'bench/*.h' 'bench/*.cpp'); do
    own=$(dirname "$file")
    case $file in src/*) own_rank=none ;; *) own_rank=$(room_rank "$own") ;; esac
    if [ "$own_rank" = -1 ]; then
        echo "$file: folder $own is no room (add it to $0)"
        status=1
        continue
    fi
    for name in $(sed -n 's|^#include "\([^"]*\)"|\1|p' "$file"); do
        target=$(resolve "$file" "$name")
        [ -n "$target" ] || continue  # generated in the build tree
        echo "$file $target" >>"$edges"
        [ "$own_rank" = none ] && continue
        room=$(dirname "$target")
        case $target in src/*) continue ;; esac
        [ "$room" = "$own" ] && continue
        room_rank=$(room_rank "$room")
        if [ "$room_rank" -lt 0 ] || [ "$room_rank" -ge "$own_rank" ]; then
            echo "$file: includes $target, which is not in a room below $own"
            status=1
        fi
    done
done
# No file reaches itself through its includes (two files that include each
# other, or a longer circle).
if ! tsort "$edges" >/dev/null 2>"$edges.loop"; then
    cat "$edges.loop"
    status=1
fi
rm -f "$edges.loop"

[ "$status" -eq 0 ] && echo "floors: $(echo $floors | wc -w) floors and $(echo $rooms | wc -w) rooms of tools, no include runs upward or across, no include circle, no COM type in the core"
exit $status
