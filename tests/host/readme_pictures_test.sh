#!/usr/bin/env bash
# The README's pictures: every picture it names under docs/pictures/ is in the
# repository, and the animation has at least 10 frames in at most 1 MB.
#
#   readme_pictures_test.sh REPOSITORY
set -euo pipefail
root=$1
cd "$root"
status=0
pictures=$(grep -oE 'docs/pictures/[A-Za-z0-9_.-]+\.(png|gif)' README.md | sort -u)
[ -n "$pictures" ] || { echo "README.md shows no picture from docs/pictures/"; exit 1; }
for picture in $pictures; do
    if [ -d .git ] || [ -f .git ]; then
        git ls-files --error-unmatch "$picture" >/dev/null 2>&1 ||
            { echo "README.md shows $picture, which is not committed"; status=1; }
    elif [ ! -f "$picture" ]; then
        echo "README.md shows $picture, which is missing"
        status=1
    fi
done
animation=docs/pictures/tovamet.gif
if [ -f "$animation" ]; then
    frames=$(identify "$animation" | wc -l)
    bytes=$(stat -c %s "$animation")
    echo "$animation: $frames frames, $bytes bytes"
    [ "$frames" -ge 10 ] || { echo "the animation has $frames frames, not at least 10"; status=1; }
    [ "$bytes" -le 1048576 ] || { echo "the animation has $bytes bytes, more than 1 MB"; status=1; }
else
    echo "$animation is missing"
    status=1
fi
exit $status
