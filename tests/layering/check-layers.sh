#!/usr/bin/env bash
# Fails when a folder includes a header of a folder it may not use: the folders depend one way
# only, common <- compat, link, fkeys; compat, fkeys <- terminal; all of them <- app, which is
# also how their libraries link. The terminal knows no device link: app is the one place that
# connects the two.
set -euo pipefail
cd "$1"
declare -A allowed=(
    [common]=""
    [compat]="common"
    [link]="common"
    [fkeys]="common"
    [terminal]="common compat fkeys"
    [app]="common compat link fkeys terminal"
)
status=0
for folder in "${!allowed[@]}"; do
    for used in $(grep -ho '^#include "[a-z]*/' "$folder"/*.h "$folder"/*.cpp 2>/dev/null \
                  | sed 's/#include "//; s/\///' | sort -u); do
        if [ "$used" != "$folder" ] && [[ " ${allowed[$folder]} " != *" $used "* ]]; then
            echo "$folder/ includes from $used/:"
            grep -ln "^#include \"$used/" "$folder"/*.h "$folder"/*.cpp
            status=1
        fi
    done
done
exit $status
