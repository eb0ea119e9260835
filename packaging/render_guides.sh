#!/bin/sh
# Renders the two integration guides as HTML pages that a Windows user opens
# with a double click: one file each, styles inside, UTF-8 with its charset
# meta, a title, the samples as they stand in docs/.
#   packaging/render_guides.sh OUT_DIR
# Writes OUT_DIR/integration-guide-en.html and OUT_DIR/integration-guide-ru.html
# and prints their names. pandoc writes no date, so the same guides give the
# same pages.
set -eu

out=${1:?usage: render_guides.sh OUT_DIR}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
command -v pandoc >/dev/null || { echo "render_guides.sh: pandoc is missing (./run setup installs it)" >&2; exit 1; }

# guide language title
render() {
    pandoc --from gfm --to html5 --standalone --metadata lang="$2" --metadata pagetitle="$3" \
        --include-in-header "$here/guide-style.html" --output "$out/integration-guide-$2.html" "$root/$1"
    echo "integration-guide-$2.html"
}
render docs/integration.md en "VeltraScanner integration guide"
render docs/integration.ru.md ru "Руководство по интеграции VeltraScanner"
