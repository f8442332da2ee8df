#!/usr/bin/env bash
# The run report as a browser prints it: each sample one A4 page, holding the firmware name, the
# SHA-256 and the verdict. Skipped (77) only without Chromium, which tools/setup.sh --test installs.
set -euo pipefail
writer=$1
chromium=$(command -v chromium || command -v chromium-browser || true)
[[ -n $chromium ]] || { echo "chromium not installed: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$writer" "$work"

for name in sample crowded; do
  # As root Chromium needs --no-sandbox; its own profile keeps it off the user's.
  timeout 120 "$chromium" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
    --no-pdf-header-footer --print-to-pdf="$work/$name.pdf" "file://$work/$name.html" >/dev/null 2>&1 \
    || { echo "$name: chromium did not print the report"; exit 1; }
  info=$(pdfinfo "$work/$name.pdf")
  grep -Eq '^Pages: +1$' <<<"$info" || { echo "$name: not one page:"; echo "$info"; exit 1; }
  grep -Eq '^Page size: .*\(A4\)$' <<<"$info" || { echo "$name: not A4:"; echo "$info"; exit 1; }
done

# The sample's words, as pdftotext reads them back (the SHA-256 on one line).
text=$(pdftotext -layout "$work/sample.pdf" -)
for expected in FWKA1AVRXGAA0I_2x04 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08 \
  "AGGIORNATA E VERIFICATA , UPDATED AND VERIFIED" "Giulia Bianchi" "Program flash"; do
  grep -qF -- "$expected" <<<"$text" || { echo "sample.pdf lacks: $expected"; echo "$text"; exit 1; }
done
echo "both reports print on one A4 page"
