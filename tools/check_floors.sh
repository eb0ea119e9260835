#!/bin/sh
# Checks that the product's folders stand on each other as floors: a file
# includes headers of its own floor and the floors below, never above; and the
# core knows nothing of COM types. Prints each offending line; exits 1 if any.
set -eu
cd "$(dirname "$0")/.."

# Lowest first. A folder of src/ that is not listed here is an error too.
floors="core/common core/settings core/capture com/host com/addin com/server"

rank() {
    i=0
    for f in $floors; do
        [ "$f" = "$1" ] && { echo $i; return; }
        i=$((i + 1))
    done
    echo -1
}

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
        if [ "$target_rank" -gt "$own_rank" ] || [ "$target_rank" -lt 0 ]; then
            echo "$file: includes $target, which is not below $own"
            status=1
        fi
    done
done

# COM types belong to the COM face.
if git grep -nwE 'BSTR|VARIANT|SAFEARRAY|HRESULT|IUnknown|oleauto\.h|objbase\.h' -- 'src/core/*.h' 'src/core/*.cpp' |
    grep -v '^[^:]*:[0-9]*: *//'; then
    echo "the core above uses COM types"
    status=1
fi
[ "$status" -eq 0 ] && echo "floors: $(echo $floors | wc -w) floors, no include runs upward, no COM type in the core"
exit $status
