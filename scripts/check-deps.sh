#!/usr/bin/env bash
# Fails when a folder of src/ includes a header of a folder above it, or when core/
# includes a header of Qt Widgets, PrintSupport or Network. Dependencies point one
# way: core <- controls <- shell <- trendsetup <- trend <- logview <- app. Each
# folder is a library linked only to those below it, but every folder includes
# from src/, so a header-only include upward would still compile.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
order=(core controls shell trendsetup trend logview app)
rank() {
    local i
    for i in "${!order[@]}"; do
        [ "${order[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}
status=0
for folder in "${order[@]}"; do
    own=$(rank "$folder")
    while IFS= read -r hit; do
        file=${hit%%:*}
        target=$(sed -E 's/.*#include[[:space:]]*"([a-z]+)\/.*/\1/' <<<"$hit")
        other=$(rank "$target")
        if [ "$other" -gt "$own" ]; then
            echo "check-deps: ${file#"$root"/} includes $target/, which is above $folder/" >&2
            status=1
        fi
    done < <(grep -HnE '^[[:space:]]*#include[[:space:]]*"[a-z]+/' "$root/src/$folder"/*.h "$root/src/$folder"/*.cpp 2>/dev/null || true)
done

# A Qt header is known by the module folder that holds it: <QWidget> lies in
# QtWidgets/, and <QtWidgets/QWidget> names it. A few old names lie in QtGui/ too.
qt_headers="$(qtpaths6 --query QT_INSTALL_HEADERS 2>/dev/null || true)"
if [ ! -d "$qt_headers/QtWidgets" ]; then
    echo "check-deps: Qt's headers are not found (qtpaths6 --query QT_INSTALL_HEADERS)" >&2
    exit 1
fi
while IFS= read -r hit; do
    file=${hit%%:*}
    header=$(sed -E 's/.*#include[[:space:]]*<([^>]+)>.*/\1/' <<<"$hit")
    for module in QtWidgets QtPrintSupport QtNetwork; do
        if [ "${header%%/*}" = "$module" ] ||
            { [ "$header" = "${header##*/}" ] && [ -e "$qt_headers/$module/$header" ] &&
                [ ! -e "$qt_headers/QtCore/$header" ] && [ ! -e "$qt_headers/QtGui/$header" ]; }; then
            echo "check-deps: ${file#"$root"/} includes <$header> of $module, which core/ does not use" >&2
            status=1
        fi
    done
done < <(grep -HnE '^[[:space:]]*#include[[:space:]]*<[Qq]' "$root/src/core"/*.h "$root/src/core"/*.cpp 2>/dev/null || true)

[ $status -eq 0 ] && echo "check-deps: dependencies point one way"
exit $status
