#!/usr/bin/env bash
# Draws every picture of the program with ImageMagick primitives into OUTDIR:
# 24-bit BMP3 bitmaps (what LoadImage/LoadBitmap read everywhere), the option
# icon strip (16x16 icons side by side, magenta = transparent) and Sorvex.ico.
# Usage: scripts/draw-resources.sh OUTDIR
set -euo pipefail
# Font names are looked up in their English form; a Chinese locale names them in Chinese.
export LC_ALL=C.UTF-8

out=${1:?usage: draw-resources.sh OUTDIR}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One thread, so that every run writes the same bytes.
export MAGICK_THREAD_LIMIT=1
# Plain 24-bit BMP with the old header: no alpha, no v4/v5 header for LoadImage to trip on.
bmp() { convert "$@" -alpha off -type TrueColor "BMP3:$OUTFILE"; }

# --- palette ------------------------------------------------------------------------
WIN='rgb(247,250,246)'       # window background
PANEL='rgb(234,245,232)'     # home page status panel (HomepagePanelPure)
BANNER='rgb(26,122,82)'      # top bar
OUT='#5B6770'; PAPER='#FFFFFF'; FOLD='#D5DCE2'; LINE='#A9B4BC'
TEAL='#169C8A'; TEALD='#0E6F62'; GREEN='#2E9E4F'; GREEND='#1F7A3A'; MINT='#9FD8B4'
BLUE='#2F7FD0'; BLUED='#1D5A9E'; SKY='#8CCBF2'
ORANGE='#F08A1C'; ORANGED='#B8620A'; RED='#D9412B'; REDD='#A02A1A'
YEL='#F5C53A'; YELD='#B88A10'; PURP='#8558C0'; PURPD='#5E3A94'
WOOD='#B5793A'; WOODD='#7E4F1F'; GREY='#8C979F'; GREYD='#5B6770'
FOLDER='#F3C14B'; FOLDERD='#C4902A'; FOLDERL='#FBDD83'
FONT='WenQuanYi-Zen-Hei'

# sparkle cx cy r colour: a four-pointed star.
sparkle() {
  echo "push graphic-context translate $1,$2 scale $3,$3 stroke none fill '$4'
        path 'M 0,-1 Q 0.18,-0.18 1,0 Q 0.18,0.18 0,1 Q -0.18,0.18 -1,0 Q -0.18,-0.18 0,-1 Z' pop graphic-context"
}
# twinkle cx cy colour: the same star drawn crisp for 16-pixel icons.
twinkle() { echo "stroke none fill '$3' rectangle $1,$(($2 - 2)) $1,$(($2 + 2)) rectangle $(($1 - 2)),$2 $(($1 + 2)),$2"; }
# at x y scale mvg: draws an MVG fragment moved and scaled.
at() { echo "push graphic-context translate $1,$2 scale $3,$3 $4 pop graphic-context"; }

# --- 16x16 building blocks (pixel centres are whole numbers in ImageMagick) ---------
# page [left right bottom]: a sheet with a folded corner.
page() {
  local l=${1:-2} r=${2:-13} b=${3:-15} f
  f=$((r - 3))
  echo "stroke '$OUT' stroke-width 1 fill '$PAPER' path 'M $l,0 L $f,0 L $r,3 L $r,$b L $l,$b Z'
        fill '$FOLD' path 'M $f,0 L $f,3 L $r,3 Z'"
}
# lines x0 x1 y...: grey text lines on a page.
lines() {
  local x0=$1 x1=$2; shift 2
  local s="stroke '$LINE' stroke-width 1 fill none"
  for y in "$@"; do s+=" line $x0,$y $x1,$y"; done
  echo "$s"
}
# Badges sit in the bottom-right corner (centre 11,11, radius 4).
badge_clock() {
  echo "stroke '$TEALD' stroke-width 1 fill '$PAPER' circle 11,11 15,11
        stroke '$TEALD' line 11,11 11,8.5 line 11,11 13,11"
}
badge_x() {
  echo "stroke '$REDD' stroke-width 1 fill '$RED' circle 11,11 15,11
        stroke '$PAPER' stroke-width 1.4 line 9.3,9.3 12.7,12.7 line 12.7,9.3 9.3,12.7"
}
badge_plus() {
  echo "stroke '$GREEND' stroke-width 1 fill '$GREEN' circle 11,11 15,11
        stroke '$PAPER' stroke-width 1.6 line 11,8.6 11,13.4 line 8.6,11 13.4,11"
}
# gear cx cy outer body hole colour holecolour
gear() {
  local cx=$1 cy=$2 R=$3 r=$4 h=$5 c=$6 hc=$7 s
  s="push graphic-context translate $cx,$cy stroke none fill '$c'"
  for a in 0 45 90 135; do
    s+=" push graphic-context rotate $a rectangle -1.1,-$R 1.1,$R pop graphic-context"
  done
  s+=" circle 0,0 $r,0 fill '$hc' circle 0,0 $h,0 pop graphic-context"
  echo "$s"
}
# globe cx cy r fill dark lines
globe() {
  local cx=$1 cy=$2 r=$3 f=$4 d=$5 l=$6
  echo "stroke '$d' stroke-width 1 fill '$f' circle $cx,$cy $((cx + r)),$cy
        stroke '$l' fill none ellipse $cx,$cy $(printf '%d.%02d' $((r * 45 / 100)) $((r * 45 % 100))),$r 0,360
        line $((cx - r + 1)),$cy $((cx + r - 1)),$cy"
}
# A browser window: frame, title bar.
window() {
  local l=$1 t=$2 r=$3 b=$4
  echo "stroke '$BLUED' stroke-width 1 fill '$PAPER' rectangle $l,$t $r,$b
        fill '$BLUE' rectangle $l,$t $r,$((t + 2))"
}
folder() {
  local f=$1 d=$2 l=$3
  echo "stroke '$d' stroke-width 1 fill '$d' path 'M 1,3 L 5,3 L 6,4 L 14,4 L 14,13 L 1,13 Z'
        fill '$f' rectangle 1,6 14,13 stroke '$l' line 2,7 13,7"
}
# An isometric cube of half width w at (cx, top): faces only, the shades part them.
cube() {
  local cx=$1 ty=$2 w=$3 top=$4 left=$5 right=$6
  echo "push graphic-context translate $cx,$ty scale $w,$w stroke none
        fill '$top' polygon 0,0 1,0.5 0,1 -1,0.5
        fill '$left' polygon -1,0.5 0,1 0,2 -1,1.5
        fill '$right' polygon 0,1 1,0.5 1,1.5 0,2 pop graphic-context"
}
shield() {
  local f=$1 d=$2
  echo "stroke '$d' stroke-width 1 fill '$f'
        path 'M 8,0.5 L 14,2.5 L 14,7 Q 14,12 8,15 Q 2,12 2,7 L 2,2.5 Z'"
}
play() { echo "stroke none fill '$1' polygon $2,$3 $4,$(( (${3} + ${5}) / 2 )) $2,$5"; }

# --- the 56 option icons --------------------------------------------------------------
declare -a ICON
# broom16 binding handle: an upright broom (a slanted one blurs at this size).
broom16() {
  echo "stroke none fill '$2' rectangle 7,0 8,6
    fill '$YEL' polygon 4,8.5 11,8.5 13.6,15.5 1.4,15.5
    stroke '$YELD' stroke-width 1 line 5.5,9 4,15.5 line 9.5,9 11,15.5 line 7.5,9 7.5,15.5
    stroke none fill '$1' rectangle 4,6 11,8"
}
# 0 system traces: a broom
ICON[0]="$(broom16 "$TEAL" "$WOOD") $(twinkle 12 3 "$TEAL")"
# 1 run box: a window with a green arrow
ICON[1]="$(window 1 2 14 13)
  stroke none fill '$GREEN' path 'M 4,7.5 L 7.5,7.5 L 7.5,5.5 L 11.5,8.5 L 7.5,11.5 L 7.5,9.5 L 4,9.5 Z'"
# 2 programs run lately: a window with a clock
ICON[2]="$(window 0 1 12 11) $(lines 2 6 6 8) $(badge_clock)"
# 3 folder (open/save history, folders found)
ICON[3]="$(folder "$FOLDER" "$FOLDERD" "$FOLDERL")"
# 4 window placement, programs: two windows
ICON[4]="$(window 0 0 10 9) stroke '$BLUED' stroke-width 1 fill '$PAPER' rectangle 5,5 15,15
  fill '$BLUE' rectangle 5,5 15,7 $(lines 7 13 10 12)"
# 5 find computer: a screen and a magnifier
ICON[5]="stroke '$GREYD' stroke-width 1 fill '$SKY' rectangle 0,1 11,9
  fill '$GREY' stroke none rectangle 4,10 7,11 rectangle 2,12 9,12
  stroke '$GREYD' stroke-width 2 stroke-linecap round line 12.6,12.6 14.6,14.6
  stroke '$GREYD' stroke-width 1.3 fill '$PAPER' circle 10.5,10.5 13.5,10.5
  stroke none fill '$SKY' circle 10.5,10.5 11.8,10.5"
# 6 text file, log file, recent documents
ICON[6]="$(page) $(lines 4 11 5 7 9 11) $(lines 4 8 13)"
# 7 any other file, temporary files
ICON[7]="$(page) stroke '$GREY' stroke-width 1.3 fill none path 'M 4.5,9.5 Q 6.2,7.2 8,9.5 Q 9.8,11.8 11.5,9.5'"
# 8 menus, notification area: a pop-up menu
ICON[8]="stroke '$GREYD' stroke-width 1 fill '$PAPER' rectangle 1,1 13,14
  stroke none fill '#E3EEF7' rectangle 2,2 4,13
  $(lines 6 11 4 11 13) stroke none fill '$BLUE' rectangle 2,6 12,9
  fill '$PAPER' polygon 9.5,6.5 11.5,7.5 9.5,8.5 stroke '$PAPER' line 6,7.5 8,7.5"
# 9 Internet Explorer: a globe with an orbit
ICON[9]="$(globe 8 8 6 "$BLUE" "$BLUED" "$SKY")
  push graphic-context translate 8,8 rotate -30 stroke '$YEL' stroke-width 1.4 fill none
  ellipse 0,0 8,2.6 190,350 pop graphic-context
  push graphic-context translate 8,8 rotate -30 stroke '$YEL' stroke-width 1.4 fill none
  ellipse 0,0 8,2.6 0,180 pop graphic-context"
# 10 web page, IE cache
ICON[10]="$(page 2 12 15) $(lines 4 9 5 7) $(globe 11 11 4 "$BLUE" "$BLUED" "$SKY")"
# 11 applications, installers: a software box
ICON[11]="$(cube 8 0.5 7 '#F0C98B' '#D9A35A' '#BC8236' '#8E5E22')
  stroke none fill '$TEAL' polygon 8,7.5 10.5,6.25 10.5,14.25 8,15.5"
# 12 Paint: a palette and a brush
ICON[12]="stroke '#B88A4A' stroke-width 1 fill '#F3DDAE'
  path 'M 8,2 Q 15,2 15,8 Q 15,12 11,12 Q 9,12 9,14 Q 9,15 7,15 Q 1,15 1,8.5 Q 1,2 8,2 Z'
  stroke none fill '$RED' circle 4.5,9 5.7,9 fill '$BLUE' circle 5.5,5.5 6.7,5.5
  fill '$GREEN' circle 9,4.5 10.2,4.5 fill '$YEL' circle 12,6.5 13.2,6.5
  stroke '$WOODD' stroke-width 1.6 stroke-linecap round line 14.5,0.5 9.5,8.5
  stroke none fill '$GREYD' circle 8.8,9.8 9.9,9.8"
# 13 WordPad: a note pad and a pen
ICON[13]="stroke '$GREYD' stroke-width 1 fill '$PAPER' rectangle 1,2 11,15
  $(lines 3 9 6 8 10 12) stroke '$GREYD' fill none
  line 3,0.5 3,3 line 6,0.5 6,3 line 9,0.5 9,3
  stroke '$BLUE' stroke-width 2 stroke-linecap round line 14.5,4 8.5,12
  stroke none fill '$BLUED' polygon 7.4,11.3 9.2,12.8 6.8,14"
# 14 Media Player: an orange play button
ICON[14]="stroke '$ORANGED' stroke-width 1 fill '$ORANGE' circle 8,8 15,8 $(play "$PAPER" 6 4 12 12)"
# 15 FrontPage: a web layout and a pencil
ICON[15]="$(page) stroke none fill '$BLUE' rectangle 3,4 12,5
  fill '$SKY' rectangle 4,7 6,12 $(lines 8 11 7 9 11)
  stroke '$TEALD' stroke-width 2 stroke-linecap round line 15,8 9.5,14
  stroke none fill '$TEALD' polygon 8.5,13.5 10.2,15 8,15.5"
# 16 PowerPoint: a slide on an easel
ICON[16]="stroke '$GREYD' stroke-width 1 line 7.5,11 4,15 line 7.5,11 11,15
  stroke '$ORANGED' fill '$PAPER' rectangle 1,2 14,11 stroke none fill '$ORANGE' rectangle 1,2 14,3
  fill '$ORANGE' path 'M 5,7 L 5,4.6 A 2.4,2.4 0 1,1 2.6,7 Z' fill '$RED' path 'M 4.4,6.4 L 2.2,6.4 A 2.2,2.2 0 0,1 4.4,4.2 Z'
  $(lines 9 12 5 7 9)"
# 17 Excel: a green spreadsheet
ICON[17]="stroke '$GREEND' stroke-width 1 fill '$PAPER' rectangle 1,1 14,14
  stroke none fill '$GREEN' rectangle 1,1 14,4
  stroke '$MINT' line 5,5 5,13 line 9,5 9,13 line 2,7.5 13,7.5 line 2,10.5 13,10.5
  stroke none fill '$GREEND' rectangle 2,5 4,6"
# 18 archives: three books held by a strap
ICON[18]="stroke '$REDD' stroke-width 1 fill '$RED' rectangle 1,1 14,4
  stroke '$GREEND' fill '$GREEN' rectangle 1,6 14,9 stroke '$BLUED' fill '$BLUE' rectangle 1,11 14,14
  stroke none fill '#E9EEF1' rectangle 2,2 3,3 rectangle 2,7 3,8 rectangle 2,12 3,13
  fill '#5A3A1E' rectangle 8,0 10,15 fill '$YEL' rectangle 7,6 11,9 fill '#5A3A1E' rectangle 8,7 10,8"
# 19 registry, key names: three blue cubes
ICON[19]="$(cube 8 0.5 3.6 '#BFE0FA' "$BLUE" "$BLUED")
  $(cube 4.4 7.7 3.6 '#BFE0FA' "$BLUE" "$BLUED")
  $(cube 11.6 7.7 3.6 '#BFE0FA' "$BLUE" "$BLUED")"
# 20 values and detail lines: a value field
ICON[20]="stroke '$GREYD' stroke-width 1 fill '$PAPER' roundrectangle 0,3 15,12 2,2
  stroke none fill '$REDD' font '$FONT-Sharp' font-size 11 text 2,11 'ab'"
# 21 Word: a document with a blue W
ICON[21]="$(page) $(lines 9 11 6 8 10 12) stroke '$BLUED' stroke-width 1 fill '$BLUE' rectangle 0,4 8,12
  stroke '$PAPER' stroke-width 1.1 fill none polyline 1.5,6 2.8,10.3 4,7.5 5.2,10.3 6.5,6"
# 22 RealPlayer: a blue play button
ICON[22]="stroke '$BLUED' stroke-width 1 fill '$BLUE' roundrectangle 1,1 14,14 3,3 $(play "$PAPER" 6 4 12 12)"
# 23 video list: a film strip
ICON[23]="stroke none fill '#3A444C' rectangle 2,0 13,15 fill '$PAPER'
  rectangle 3,1 3,2 rectangle 3,5 3,6 rectangle 3,9 3,10 rectangle 3,13 3,14
  rectangle 12,1 12,2 rectangle 12,5 12,6 rectangle 12,9 12,10 rectangle 12,13 12,14
  fill '$SKY' rectangle 5,1 10,6 fill '$MINT' rectangle 5,9 10,14"
# 24 EditPlus: a page with a green plus
ICON[24]="$(page 2 12 15) $(lines 4 9 5 7 9) $(badge_plus)"
# 25 UltraEdit: a page of code with an orange pencil
ICON[25]="$(page 2 12 15) stroke '$TEAL' stroke-width 1 line 4,5 7,5 line 5,7 9,7 line 5,9 8,9 line 4,11 6,11
  stroke '$ORANGE' stroke-width 2.2 stroke-linecap round line 15,6.5 9.5,12.5
  stroke none fill '$ORANGED' polygon 8.4,11.8 10.2,13.6 7.6,14.5"
# 26 zip: a folder with a zipper
ICON[26]="$(folder "$FOLDER" "$FOLDERD" "$FOLDERL")
  stroke none fill '#4A5560' rectangle 7,4 8,13
  fill '$PAPER' rectangle 7,5 7,5 rectangle 8,7 8,7 rectangle 7,9 7,9
  fill '#4A5560' rectangle 6,10 9,13 fill '$GREY' rectangle 7,11 8,12"
# 27 event logs: a list with information, warning and error marks
ICON[27]="stroke '$GREYD' stroke-width 1 fill '$PAPER' rectangle 1,1 14,14
  stroke none fill '$GREY' rectangle 1,1 14,3
  fill '$BLUE' circle 4,6 5.4,6 fill '$YEL' circle 4,9 5.4,9 fill '$RED' circle 4,12 5.4,12
  $(lines 7 12 6 9 12)"
# 28 cookies (spare)
ICON[28]="stroke '#9C6630' stroke-width 1 fill '#D9A066' circle 8,8 14.5,8
  stroke none fill '#5E3815' circle 5,6 6.2,6 circle 9.5,4.5 10.5,4.5 circle 10.5,9.5 11.7,9.5
  circle 6,11 7,11 circle 8,8 8.7,8"
# 29 MyIE2: a violet globe
ICON[29]="$(globe 8 8 7 "$PURP" "$PURPD" '#D2C0EE')"
# 30 Storm player: a storm funnel
ICON[30]="stroke-linecap round stroke-width 2 fill none
  stroke '#2A78C2' line 1,2 13,2 line 3,5.3 12,5.3 stroke '#3C96DC' line 5,8.5 10.5,8.5
  stroke '#62B1EA' line 6,11.5 9,11.5 line 6.8,14.3 7.4,14.3
  $(play "$ORANGE" 11 8 15 15)"
# 31 KuGoo: music notes
ICON[31]="stroke '$BLUED' stroke-width 1.3 line 6,4 6,12 line 13.5,2 13.5,10
  stroke none fill '$BLUE' polygon 5.4,2 14.1,0 14.1,3 5.4,5
  push graphic-context translate 4,12.3 rotate -20 ellipse 0,0 2.3,1.7 0,360 pop graphic-context
  push graphic-context translate 11.5,10.3 rotate -20 ellipse 0,0 2.3,1.7 0,360 pop graphic-context"
# 32 Maxthon: a browser window with tabs
ICON[32]="stroke '$BLUED' stroke-width 1 fill '$SKY' rectangle 7,2 13,4
  fill '$PAPER' rectangle 1,4 14,14 rectangle 1,1 7,4
  stroke none fill '$PAPER' rectangle 2,3 6,4 fill '$BLUE' rectangle 2,2 6,2
  stroke '$LINE' fill none rectangle 3,6 12,7 $(lines 3 10 10 12)"
# 33 KMPlayer: a clapperboard
ICON[33]="stroke none fill '#3A444C' rectangle 1,2 14,5 rectangle 1,7 14,15
  fill '$PAPER' polygon 3,2 5,2 4,5 2,5 polygon 7,2 9,2 8,5 6,5 polygon 11,2 13,2 12,5 10,5
  $(play "$YEL" 6 9 11 14)"
# 34 Firefox data: a page with the Firefox mark
ICON[34]="$(page 2 12 15) $(lines 4 9 5 7) stroke '$ORANGED' stroke-width 1 fill '$ORANGE' circle 11,11 15,11
  stroke none fill '$BLUE' circle 11.8,10.2 14.2,10.2"
# 35 Firefox: a globe wrapped in an orange crescent
ICON[35]="stroke '$ORANGED' stroke-width 1 fill '$ORANGE' circle 8,8 15,8
  stroke none fill '$BLUED' circle 9.3,6.7 14.6,6.7 stroke '$SKY' stroke-width 0.8 fill none
  ellipse 9.3,6.7 2.4,5.3 0,360 line 4.5,6.7 14,6.7"
# 36 Opera data: a page with a red ring
ICON[36]="$(page 2 12 15) $(lines 4 9 5 7) stroke '$RED' stroke-width 2 fill '$PAPER' ellipse 11,11 2.6,3.6 0,360"
# 37 Opera: a red ring
ICON[37]="stroke '$RED' stroke-width 3.2 fill none ellipse 8,8 4.4,6.2 0,360
  stroke '$REDD' stroke-width 0.8 ellipse 8,8 6,7.8 0,360"
# 38 Chrome: a three-coloured wheel
ICON[38]="stroke none fill '#DB4437' path 'M 8,8 L 1.94,4.5 A 7,7 0 0,1 14.06,4.5 Z'
  fill '#F4B400' path 'M 8,8 L 14.06,4.5 A 7,7 0 0,1 8,15 Z'
  fill '#0F9D58' path 'M 8,8 L 8,15 A 7,7 0 0,1 1.94,4.5 Z'
  fill '$PAPER' circle 8,8 11.6,8 fill '#4285F4' circle 8,8 10.6,8"
# 39 Internet temporary files: a teal globe
ICON[39]="$(globe 8 8 7 "$TEAL" "$TEALD" '#BFF0E6')
  stroke '#BFF0E6' fill none path 'M 3,4.5 Q 8,6 13,4.5' path 'M 3,11.5 Q 8,10 13,11.5'"
# 40 pictures: a landscape
ICON[40]="stroke '$GREYD' stroke-width 1 fill '$SKY' rectangle 0,2 15,13
  stroke none fill '$YEL' circle 11,5.5 12.6,5.5
  fill '$GREEN' polygon 1,12 5,6 8,10 10,8 14,12 fill '$GREEND' polygon 4,12 5,6 6.5,12"
# 41 libraries, thumbnails: a page of tiles
ICON[41]="$(page) stroke none fill '$BLUE' rectangle 4,5 7,8 fill '$TEAL' rectangle 8,5 11,8
  fill '$PURP' rectangle 4,9 7,12 fill '$ORANGE' rectangle 8,9 11,12"
# 42 audio and video files: a page with a play mark
ICON[42]="$(page) stroke '$PURPD' stroke-width 1 fill '$PURP' circle 7.5,9.5 11.5,9.5 $(play "$PAPER" 6 7 10 12)"
# 43 temporary files, empty folders: a folder with a clock
ICON[43]="stroke '$FOLDERD' stroke-width 1 fill '$FOLDERD' path 'M 0,2 L 4,2 L 5,3 L 12,3 L 12,11 L 0,11 Z'
  fill '$FOLDERL' rectangle 0,5 12,11 $(badge_clock)"
# 44 scripts: a page with code brackets
ICON[44]="$(page) stroke '$PURPD' stroke-width 1.4 fill none polyline 6.5,6.3 4,9.5 6.5,12.7
  polyline 9,6.3 11.5,9.5 9,12.7"
# 45 settings files: a page with a gear
ICON[45]="$(page 2 12 15) $(lines 4 9 5 7) $(gear 11 11 4.6 3.1 1.3 "$GREYD" "$PAPER")"
# 46 recycle bin: a trash can
ICON[46]="stroke '$TEALD' stroke-width 1 fill none rectangle 6,0 9,2
  fill '$TEAL' rectangle 1,2 14,4 fill '#7CC7B9' path 'M 2.5,5 L 12.5,5 L 11.5,15 L 3.5,15 Z'
  stroke '$PAPER' line 5.5,7 5.8,13 line 7.5,7 7.5,13 line 9.5,7 9.2,13"
# 47 error reports: a warning sign
ICON[47]="stroke '$YELD' stroke-width 1 stroke-linejoin round fill '$YEL' path 'M 8,1 L 15,14 L 1,14 Z'
  stroke none fill '#3A3A3A' polygon 7.2,5 8.8,5 8.4,10 7.6,10 circle 8,12 8.9,12"
# 48 dead shortcuts: a shortcut arrow with a red cross
ICON[48]="stroke '$GREYD' stroke-width 1 fill '$PAPER' rectangle 0,1 10,11
  stroke '$BLUE' stroke-width 1.6 fill none path 'M 2.5,9 Q 2.5,4.5 6.5,4.5'
  stroke none fill '$BLUE' polygon 6,2 9,4.5 6,7 $(badge_x)"
# 49 Symantec AntiVirus: a golden shield with a check mark
ICON[49]="$(shield "$YEL" "$YELD") stroke '#2E2E2E' stroke-width 1.8 fill none polyline 5,7.5 7.3,10 11,5"
# 50 Acrobat Reader: a red document
ICON[50]="$(page) $(lines 4 11 4 6) stroke '$REDD' stroke-width 1 fill '$RED' rectangle 0,8 10,13
  stroke '$PAPER' stroke-width 1 line 2,10.5 8,10.5"
# 51 Office: a briefcase
ICON[51]="stroke '#A9441A' stroke-width 1.3 fill none rectangle 5.5,2 9.5,4.5
  stroke '#A9441A' stroke-width 1 fill '#E0662A' rectangle 1,4 14,14
  stroke '#B84F20' line 1,8.5 14,8.5 stroke none fill '$YEL' rectangle 6,7 9,10"
# 52 Windows Defender: a blue shield
ICON[52]="$(shield "$BLUE" "$BLUED") stroke none fill '$SKY' path 'M 8,2 L 12.6,3.5 L 12.6,7 Q 12.6,11 8,13.4 Z'
  stroke '$PAPER' stroke-width 1.4 line 8,4.5 8,10.5 line 5.2,7.2 10.8,7.2"
# 53 Flash Player: a lightning bolt
ICON[53]="stroke '$REDD' stroke-width 1 fill '$RED' roundrectangle 1,1 14,14 3,3
  stroke none fill '$YEL' polygon 9.5,2.5 4.5,8.8 7.6,8.8 6,13.5 11.6,7 8.5,7 10.4,2.5"
# 54 help: a question mark
ICON[54]="stroke '$BLUED' stroke-width 1 fill '$BLUE' circle 8,8 15,8
  stroke '$PAPER' stroke-width 1.8 fill none path 'M 5.3,6 Q 5.3,3.3 8,3.3 Q 10.7,3.3 10.7,5.7 Q 10.7,7.3 8,8.3 L 8,9.6'
  stroke none fill '$PAPER' circle 8,12 9.1,12"
# 55 ActiveX and classes: a puzzle piece
ICON[55]="stroke none fill '$PURP' rectangle 1,5 10,14 circle 5.5,2.9 8.1,2.9 circle 12.1,9.5 14.7,9.5"
# Shapes cut out of an icon (a socket, a bite).
declare -a CUT
CUT[28]="circle 14.5,2 18.5,2"
CUT[55]="circle 0.4,9.5 3,9.5"

args=()
for i in $(seq 0 55); do
  [ -n "${ICON[$i]:-}" ] || { echo "icon $i missing" >&2; exit 1; }
  args+=( '(' -size 16x16 xc:none -draw "${ICON[$i]}" )
  if [ -n "${CUT[$i]:-}" ]; then
    args+=( '(' -size 16x16 xc:none -draw "fill black ${CUT[$i]}" ')' -compose DstOut -composite -compose Over )
  fi
  args+=( ')' )
done
# Semi-covered pixels blend into white (the trees' background); the rest turns magenta.
convert "${args[@]}" +append "$tmp/strip.png"
OUTFILE="$out/OptionIcons.bmp" bmp -size 896x16 xc:'#FF00FF' \
  '(' "$tmp/strip.png" -background white -alpha remove ')' \
  '(' "$tmp/strip.png" -alpha extract -threshold 45% ')' -composite

# --- the broom in a 100 x 100 box, for the larger pictures ----------------------------
# broom100 binding-colour bristle-outline
broom100() {
  local bind=${1:-$TEAL} edge=${2:-$YELD}
  echo "stroke '$WOOD' stroke-width 10 stroke-linecap round line 86,10 54,46
    stroke '$edge' stroke-width 2.5 stroke-linecap round stroke-linejoin round fill '$YEL'
    path 'M 36,40 L 62,64 Q 52,84 40,97 Q 18,92 4,68 Q 22,58 36,40 Z'
    stroke '$edge' stroke-width 3 line 42,56 20,80 line 51,62 33,89 line 36,50 12,70
    stroke '$bind' stroke-width 10 line 35,40 62,64"
}
# --- program icon: a white broom on a green tile ---------------------------------------
tile() {  # size
  local s=$1 r
  r=$((s * 22 / 100))
  echo "stroke none fill '$GREEND' roundrectangle 0,0 $((s - 1)),$((s - 1)) $r,$r
    fill '#27A465' roundrectangle 0,0 $((s - 1)),$((s - 2)) $r,$r"
}
for s in 32 48; do
  sc=$(printf '0.%02d' $((s - 6)))
  convert -size ${s}x${s} xc:none -draw "$(tile $s) $(at 3 3 "$sc" "$(broom100 "$PAPER")")
    $(sparkle $((s * 26 / 100)) $((s * 26 / 100)) $((s * 15 / 100)) "$PAPER")" \
    "$tmp/icon$s.png"
done
convert -size 16x16 xc:none -draw "stroke none fill '$GREEND' roundrectangle 0,0 15,15 3,3
  fill '#27A465' roundrectangle 0,0 15,14 3,3
  push graphic-context translate 0,-1 $(broom16 "$PAPER" '#F3D9A0')
  pop graphic-context $(twinkle 12 3 "$PAPER")" "$tmp/icon16.png"
convert "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon48.png" "$out/Sorvex.ico"

# --- page buttons, 38 x 38 on magenta (the speed button's transparent colour) ---------
# The badge edge is blended into a mid green so it reads on the banner and on the tab.
glyph() {  # name mvg
  convert -size 38x38 xc:none -draw "stroke '#1E8A5A' stroke-width 2 fill '$PAPER' circle 19,19 36,19 $2" "$tmp/$1.png"
  OUTFILE="$out/$1.bmp" bmp -size 38x38 xc:'#FF00FF' \
    '(' "$tmp/$1.png" -background '#7DB592' -alpha remove ')' \
    '(' "$tmp/$1.png" -alpha extract -threshold 50% ')' -composite
}
glyph BtnClean "$(at 8 8 0.22 "$(broom100)") $(sparkle 12 12 4 "$TEAL")"
# Advanced clean: a check list with a magnifier.
glyph BtnAdvanceClean "stroke '$GREYD' stroke-width 1.5 fill '$PAPER' roundrectangle 10,8 26,30 2,2
  stroke none fill '$TEAL' rectangle 14,6 22,10
  stroke '$GREEN' stroke-width 2 stroke-linecap round fill none
  polyline 12.5,14 14,15.5 16.5,12.5 polyline 12.5,20 14,21.5 16.5,18.5
  stroke '$LINE' stroke-width 1.6 line 19,14 23.5,14 line 19,20 22,20 line 13,26 20,26
  stroke '$GREYD' stroke-width 3 line 27.5,27.5 31,31
  stroke '$BLUED' stroke-width 2 fill '#D8EEFB' circle 24.5,24.5 28.5,24.5"

# --- status pictures, 48 x 48 on the status panel's colour ------------------------------
OUTFILE="$out/ImgRight.bmp" bmp -size 48x48 xc:"$PANEL" -draw "
  stroke '$GREEND' stroke-width 2 fill '#2EA55A' circle 24,24 44,24
  stroke '$PAPER' stroke-width 5 stroke-linecap round stroke-linejoin round fill none
  polyline 14,25 21,32 34,17"
OUTFILE="$out/ImgError.bmp" bmp -size 48x48 xc:"$PANEL" -draw "
  stroke '#B23A1C' stroke-width 2 fill '#E0532F' circle 24,24 44,24
  stroke none fill '$PAPER' roundrectangle 21,10 27,29 3,3 circle 24,36 27.4,36"

# Busy picture: a ring of dots around a small broom; BusyFrames holds eight steps of it.
busy() {  # frame
  local k=$1 s="" j c
  for j in 0 1 2 3 4 5 6 7; do
    case $(( (j - k + 8) % 8 )) in
      0) c="$TEALD";; 7) c="#3BAA98";; 6) c="#6CC1B2";; 5) c="#97D4C9";; *) c="#C2E5DE";;
    esac
    s+=" push graphic-context translate 24,24 rotate $((j * 45)) stroke none fill '$c'
         circle 0,-17 3.6,-17 pop graphic-context"
  done
  echo "$s $(at 13 13 0.22 "$(broom100)")"
}
frames=()
for k in 0 1 2 3 4 5 6 7; do
  frames+=( '(' -size 48x48 xc:"$PANEL" -draw "$(busy $k)" ')' )
done
OUTFILE="$out/BusyFrames.bmp" bmp "${frames[@]}" +append
OUTFILE="$out/BusyPicture.bmp" bmp -size 48x48 xc:"$PANEL" -draw "$(busy 0)"

# --- status panel background, 550 x 94 --------------------------------------------------
OUTFILE="$out/HomepagePanelPure.bmp" bmp -size 550x94 xc:"$WIN" -draw "
  stroke '#BFDDBE' stroke-width 1 fill '$PANEL' roundrectangle 0,0 549,93 8,8
  $(sparkle 518 30 11 '#D9ECD6') $(sparkle 536 56 6 '#D9ECD6') $(sparkle 504 62 5 '#DFF0DC')"

# --- the one-key picture behind the big link -------------------------------------------
# The right part stays the window colour: the link label paints its own background there.
OUTFILE="$out/OneKeyPicture.bmp" bmp -size 260x84 xc:"$WIN" -draw "
  stroke '#CFE6D2' stroke-width 4 fill none roundrectangle 3,4 256,81 38,38
  stroke '#3DAA6E' stroke-width 2 fill '$WIN' roundrectangle 2,2 256,79 38,38
  stroke '$GREEND' stroke-width 2 fill '#27A465' circle 41,41 73,41
  $(at 17 17 0.48 "$(broom100 "$PAPER")") $(sparkle 26 25 6 "$PAPER")
  $(sparkle 240 24 5 '#8FCFA6') $(sparkle 232 60 3.5 '#B5DFC3')"

# --- banner of the 70-pixel top bar ------------------------------------------------------
# Between x = 290 and 640 the bar is its plain colour, where the page buttons sit.
OUTFILE="$out/Banner.bmp" bmp -size 784x70 xc:"$BANNER" -draw "
  stroke none fill 'rgba(255,255,255,0.06)' circle 760,-10 860,-10 circle 690,80 740,80
  fill 'rgba(255,255,255,0.05)' circle 20,70 60,70
  stroke none fill 'rgba(0,0,0,0.18)' roundrectangle 12,13 60,61 10,10
  image Over 11,11 48,48 '$tmp/icon48.png'
  stroke 'rgba(255,255,255,0.55)' stroke-width 1 fill none roundrectangle 11,11 58,58 10,10
  stroke '$PAPER' stroke-width 0.7 fill '$PAPER' font '$FONT' font-size 24 text 72,37 'Velmora 一键清理'
  stroke none fill '#BFE6CF' font-size 12 text 73,58 '一键清理Sandrel版 V2.0'
  $(globe 712 35 7 "$BANNER" '#DFF3E7' '#DFF3E7')
  stroke none fill '#DFF3E7' font '$FONT' font-size 12 text 725,40 '官方网站'"
