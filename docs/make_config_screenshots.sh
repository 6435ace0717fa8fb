#!/bin/sh
# Pictures of the settings dialog in English and German: the host_config_test program draws
# the dialog over the test plug-ins under Xvfb and saves BMPs beside itself; they become the
# PNGs here.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/test -R host_config_test
for code in En De; do
  convert "build/tests/SettingsDialog_$code.bmp" "docs/SettingsDialog_$code.png"
done
