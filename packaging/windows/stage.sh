#!/usr/bin/env bash
# Gathers what the installer and the zip hold into STAGE: copies the files,
# signs the programs (tools/release_sign.sh, when the environment names a
# certificate), then gives every file mode 0644 and the time SOURCE_DATE_EPOCH
# (the installer and the zip record both), so that neither depends on when or
# where it was built.
#
#   stage.sh SOURCE_DIR STAGE FILE...
set -euo pipefail

source_dir=$1
stage=$2
shift 2
rm -rf "$stage"
mkdir -p "$stage"
cp -- "$@" "$stage/"
programs=()
for file in "$@"; do
  [[ $file != *.exe ]] || programs+=("$stage/$(basename "$file")")
done
bash "$source_dir/tools/release_sign.sh" windows "${programs[@]}"
chmod 0644 "$stage"/*
if [[ -n "${SOURCE_DATE_EPOCH:-}" ]]; then
  touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
fi
