#!/bin/sh
# Checks that the product's folders stand on each other as floors: a file
# includes headers of its own floor and the floors below, never above; the two
# faces (COM and Native API) each stand on the core and never on each other;
# and the core knows nothing of COM types. Prints each offending line; exits 1
# if any.
set -eu
cd "$(dirname "$0")/.."

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
[ "$status" -eq 0 ] && echo "floors: $(echo $floors | wc -w) floors, no include runs upward or across the faces, no COM type in the core"
exit $status
