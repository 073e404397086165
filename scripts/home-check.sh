#!/bin/sh
# The tests and the demo keep every tool's files in the build tree, never in
# the user's home. Usage:
#   home-check.sh HOME LIST            lists HOME (three levels) into LIST
#   home-check.sh HOME LIST --compare  fails, naming them, if paths were added
# The project's own folder is left out, wherever it lies.
set -eu
home=$1
list=$2
repo=$(cd "$(dirname "$0")/.." && pwd)

listing() {
    find "$home" -xdev -maxdepth 3 \( -path "$repo" -o -path "$repo/*" \) -prune -o -print 2>/dev/null | sort
}

if [ "${3:-}" != --compare ]; then
    listing > "$list"
    exit 0
fi
added=$(listing | comm -13 "$list" -)
if [ -n "$added" ]; then
    echo "home-check: the run wrote into $home (point that tool at the build tree):"
    printf '%s\n' "$added" | sed 's/^/  /'
    exit 1
fi
echo "home-check: nothing was written into $home"
