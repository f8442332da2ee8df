#!/usr/bin/env bash
# Zips STAGE's files into ZIP under one folder FOLDER, the same bytes in every
# run: entries in name order, no owners or extra time fields (-X), times in UTC
# (zip stores local times) from SOURCE_DATE_EPOCH when it is set.
#
#   zip_folder.sh STAGE FOLDER ZIP
set -euo pipefail

stage=$1
folder=$2
zip=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/$folder"
cp -p -- "$stage"/* "$work/$folder/"
chmod 0755 "$work/$folder"
[[ -z "${SOURCE_DATE_EPOCH:-}" ]] || touch -d "@$SOURCE_DATE_EPOCH" "$work/$folder"
rm -f "$zip"
(cd "$work" && { echo "$folder/"; find "$folder" -type f | LC_ALL=C sort; } |
  TZ=UTC zip -q -X -9 "$zip" -@)
