#!/usr/bin/env bash
# Checks a built kestrix .deb: the files it installs and the run-time dependencies it declares.
#   scripts/check-package.sh build/kestrix_*.deb
set -euo pipefail
deb="$1"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/kestrix ./usr/bin/kestrix-decksim ./usr/share/applications/kestrix.desktop \
            ./usr/share/icons/hicolor/scalable/apps/kestrix.svg ./usr/share/man/man1/kestrix.1.gz \
            ./usr/share/doc/kestrix/examples/kestrix-realtime.conf; do
  grep -qx "$path" <<<"$contents" || { echo "$deb lacks $path"; exit 1; }
done

# The programs and nothing else: the test build of the program is never shipped.
programs=$(grep '^\./usr/bin/.' <<<"$contents" | sort | tr '\n' ' ')
[ "$programs" = "./usr/bin/kestrix ./usr/bin/kestrix-decksim " ] || { echo "$deb installs programs $programs"; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6; do
  grep -q "\b$library\b" <<<"$depends" || { echo "$deb does not depend on $library: $depends"; exit 1; }
done
echo "$deb: $(stat -c %s "$deb") bytes; Depends: $depends"
