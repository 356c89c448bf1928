#!/bin/sh
# Regenerates the pictures in docs/ from the three-page sample app/samples/stock-3pages.csv
# (the first 130 items and 8 columns of inventory.csv), on a virtual X display:
#
#   docs/preview-fit.png         the preview window as it opens: page 1 fitted to the window
#   docs/preview-full.png        the same window after "Zoom In": the page at full size
#   docs/preview-thumbnails.png  the thumbnails shown, page 3 typed into the page box (Ctrl+G),
#                                one zoom step up with "+"
#   docs/preview-zoom.png        the zoom box's list open
#   docs/printed-page-2.png      page 2 as printed, from the built-in PDF printer at 60 dpi
#
# The preview is the real window of `telmo-report --preview`, driven with xdotool (keys,
# clicks, typing) and read from the virtual display's frame buffer, so the pictures are what
# a user sees.
#
#   scripts/screenshots.sh [BUILD_DIR]     (default build/; needs telmo-report built there)
#
# Needs xvfb-run, xdotool, netpbm (xwdtopnm, pamcut, pnmtopng) and pdftoppm (poppler-utils).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
self="$root/scripts/$(basename "$0")"

die() {
    echo "screenshots: $*" >&2
    exit 1
}

if [ "${1:-}" != "--on-display" ]; then
    build=$(cd "${1:-$root/build}" 2>/dev/null && pwd) || die "no build directory ${1:-$root/build}"
    [ -x "$build/app/telmo-report" ] || die "$build/app/telmo-report is not built"
    for tool in xvfb-run xdotool xwdtopnm pamcut pnmtopng pdftoppm; do
        command -v "$tool" >/dev/null 2>&1 ||
            die "$tool is missing (apt-get install xvfb xdotool netpbm poppler-utils)"
    done
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT INT TERM
    # A fixed 96 dpi keeps one pixel at 15 twips, the scale the windows are designed for.
    # -fbdir makes the server keep its screen in an XWD file that the capture reads.
    status=0
    xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96 -fbdir $work" \
        sh "$self" --on-display "$build" "$work" || status=$?
    exit $status
fi

build=$2
work=$3
report="$build/app/telmo-report"
csv="$root/app/samples/stock-3pages.csv"
docs="$root/docs"
mkdir -p "$docs"

# The same titles for the preview and the printout; a fixed date keeps the pictures stable.
# The date line ends where title 2 would end right-aligned only when it is no wider than
# title 2: a longer one runs past the right margin (and, in the preview, off the paper).
set -- "$csv" --title1 "Warehouse Inventory" --size1 16 --title2 "Stock on hand by item and location" \
    --title3 "Main warehouse" --align3 left --date "6 December 2026" --separator

# Saves the window's part of the screen as a PNG.
capture() { # window file
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xwdtopnm "$work/Xvfb_screen0" 2>/dev/null |
        pamcut -left "$X" -top "$Y" -width "$WIDTH" -height "$HEIGHT" |
        pnmtopng >"$2"
    echo "wrote $2 (${WIDTH}x${HEIGHT})"
}

# A window still being drawn is not captured: wait until two looks a moment apart agree.
settle() {
    previous=""
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        sleep 0.5
        current=$(cksum <"$work/Xvfb_screen0")
        [ "$current" = "$previous" ] && return 0
        previous=$current
    done
}

"$report" "$@" --preview &
preview=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Print Preview" | head -n 1) ||
    die "the preview window did not open"
# There is no window manager to give the window the keyboard; the pointer goes out of the
# picture (the window opens centred, at four fifths of the screen).
xdotool windowfocus --sync "$window"
xdotool mousemove 1020 760
settle
capture "$window" "$docs/preview-fit.png"

# Alt+Z is the access key of "&Zoom In".
xdotool key alt+z
settle
capture "$window" "$docs/preview-full.png"

# Back to the fitted page; the thumbnails switch is the band's first button (at 15, 14).
xdotool key alt+z
xdotool mousemove --window "$window" 15 14 click 1 mousemove 1020 760
xdotool key ctrl+g
xdotool type 3
xdotool key Return plus
settle
capture "$window" "$docs/preview-thumbnails.png"

# The zoom box's arrow is at the right end of the box (twips 6110 to 7290 at 15 a pixel).
xdotool mousemove --window "$window" 478 14 click 1
settle
capture "$window" "$docs/preview-zoom.png"

xdotool key Escape Escape
wait "$preview" || die "the preview ended with status $?"

"$report" "$@" --pdf "$work/report.pdf" || die "printing the sample failed"
pdftoppm -r 60 -png -f 2 -l 2 -singlefile "$work/report.pdf" "$docs/printed-page-2"
echo "wrote $docs/printed-page-2.png"
