#!/usr/bin/env bash
# Draws the program's pictures into ui/resources/ with ImageMagick 6 and the
# DejaVu fonts (Debian: imagemagick, fonts-dejavu-core):
#   program.ico        the program icon (16, 32 and 48 pixels)
#   tray1.ico ... 8    the tray frames: 1 is the still icon, 2 to 8 the
#                      animation while mail moves (a spark running round)
#   about.bmp          the About picture, 900 x 496 pixels. The dialog shows it
#                      centred over its 513 x 303 dialog units, which are 770 to
#                      900 pixels wide depending on the font that stands in for
#                      "MS Sans Serif": everything that matters lies in the
#                      middle 770 pixels.
# The outputs are committed; run this again after changing a drawing.
set -euo pipefail
out=$(cd "$(dirname "$0")/../ui/resources" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
IM=(convert -define png:exclude-chunks=date,time)

NAVY='#1d3557'
TEAL='#2a9d8f'
SPARK='#f4a261'

# envelope SIZE FILE [more drawing]: a letter on a rounded teal tile.
envelope() {
    local s=$1 file=$2
    shift 2
    local r=$((s / 6)) l=$((s * 3 / 16)) t=$((s * 5 / 16)) rr=$((s * 13 / 16)) b=$((s * 11 / 16))
    local mx=$((s / 2)) my=$((s * 17 / 32)) w=$(((s + 23) / 24))
    "${IM[@]}" -size "${s}x${s}" xc:none \
        -fill "$TEAL" -stroke none -draw "roundrectangle 0,0 $((s - 1)),$((s - 1)) $r,$r" \
        -fill white -stroke "$NAVY" -strokewidth "$w" -draw "rectangle $l,$t $rr,$b" \
        -fill none -draw "polyline $l,$t $mx,$my $rr,$t" \
        "$@" "$file"
}

# The program icon: the letter with a spark in the corner.
for s in 16 32 48; do
    c=$((s * 13 / 16)) d=$((s * 3 / 16))
    envelope "$s" "$work/program$s.png" \
        -fill "$SPARK" -stroke "$NAVY" -strokewidth 1 -draw "circle $c,$c $c,$((c - d))"
done
"${IM[@]}" "$work/program16.png" "$work/program32.png" "$work/program48.png" "$out/program.ico"

# The tray frames: the still letter, then a spark that runs round it.
envelope 16 "$work/tray1.png"
positions=("3,3" "8,2" "13,3" "13,8" "13,13" "8,14" "3,13")
for i in "${!positions[@]}"; do
    p=${positions[$i]}
    x=${p%,*} y=${p#*,}
    envelope 16 "$work/tray$((i + 2)).png" \
        -fill "$SPARK" -stroke "$NAVY" -strokewidth 1 -draw "circle $x,$y $x,$((y - 2))"
done
for i in 1 2 3 4 5 6 7 8; do
    "${IM[@]}" "$work/tray$i.png" "$out/tray$i.ico"
done

# The About picture. The lower right stays calm: the dialog's buttons lie there.
envelope 200 "$work/emblem.png" \
    -fill "$SPARK" -stroke "$NAVY" -strokewidth 4 -draw "circle 162,162 162,134"
"${IM[@]}" -size 900x496 xc:'#f1faee' \
    -fill "$NAVY" -draw "rectangle 0,0 899,150" \
    -fill "$TEAL" -draw "rectangle 0,150 899,158" \
    "$work/emblem.png" -geometry +105+40 -composite \
    -font DejaVu-Sans-Bold -pointsize 64 -fill white -annotate +345+115 'Mirelink' \
    -font DejaVu-Sans -pointsize 22 -fill "$NAVY" -annotate +345+215 'Your web mail in any mail program' \
    -pointsize 16 -annotate +345+255 'A POP3 and SMTP server on this computer' \
    -annotate +345+280 'that fetches and sends your Hotmail mail.' \
    -annotate +345+320 'Point your mail program at 127.0.0.1 and log in' \
    -annotate +345+345 'with your web mail address and password.' \
    -pointsize 13 -fill "$TEAL" -annotate +105+465 'Quenvar' \
    -type Palette -colors 64 "BMP3:$out/about.bmp"
echo "draw_artwork: pictures written to $out"
