#!/usr/bin/env bash
# The desktop entry and the AppStream metainfo pass their validators, and
# they and the packages' changelog agree with the project: its version is the
# newest release, the screenshots are pictures in docs/images, the launchable
# is our desktop entry.
# Usage: metadata_check.sh VERSION SOURCE_DIR
set -uo pipefail
version=$1
source_dir=$2
metainfo=$source_dir/packaging/io.github.lexvia.Lexvia.metainfo.xml
desktop=$source_dir/resources/lexvia.desktop
failed=0
fail() { echo "FAILED: $*"; failed=1; }

out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
echo "$out"
# desktop-file-validate exits 0 on warnings; none are wanted either.
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"

newest=$(grep -m1 -o '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)
[ "$newest" = "$version" ] || fail "the metainfo's newest release is $newest, the project's version $version"
top=$(head -n1 "$source_dir/packaging/changelog.in" | sed -n 's/^lexvia (\([^)]*\)).*/\1/p')
[ "$top" = "$version" ] || fail "packaging/changelog.in begins with $top, the project's version is $version"
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $(basename "$desktop")"
images=$(grep -o '<image[^>]*>[^<]*</image>' "$metainfo" | sed 's/.*>\(.*\)<.*/\1/')
[ -n "$images" ] || fail "no screenshots"
for url in $images; do
  [ -f "$source_dir/docs/images/$(basename "$url")" ] || fail "screenshot $url is not in docs/images"
done
exit $failed
