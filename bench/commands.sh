#!/usr/bin/env bash
# Whole commands of plastora-cli side by side with the common tools doing the
# same job, in one run: CPU seconds (user + system), wall seconds and peak
# resident memory of each, and the ratio ours / peer.
#
#   bench/commands.sh [-b BUNDLE] [-o OLD_BUNDLE] [-s "1 6 12 24"] [-r RUNS]
#
# BUNDLE is a program folder (default build/bin); OLD_BUNDLE, when given, is
# a second one (an older build) measured in the same run for a before/after
# column. Photos of the given megapixel sizes are made from a bundled sample.
# Each figure is the median of RUNS runs (default 1: the machine is shared).
# Peers: ImageMagick (identify, convert, -colors 256 GIF), ffmpeg (MJPEG AVI,
# palettegen/paletteuse GIF), cjpeg (the two JPEGs of an MPO).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
bundle="$root/build/bin"
old=""
sizes="1 6"
runs=1
while getopts "b:o:s:r:" opt; do
  case $opt in
    b) bundle="$OPTARG" ;;
    o) old="$OPTARG" ;;
    s) sizes="$OPTARG" ;;
    r) runs="$OPTARG" ;;
    *) sed -n 2,13p "$0"; exit 2 ;;
  esac
done
for tool in identify convert ffmpeg cjpeg taskset; do
  command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/plastora-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# A copy of a program folder whose settings make N views.
bundle_with_views() {  # SRC N DEST
  cp -r "$1" "$3"
  if grep -q '^\[Lenticular\]' "$3/Plastora.ini"; then
    sed -i "/^\[Lenticular\]/a Size=$2" "$3/Plastora.ini"
  else
    printf '[Lenticular]\nSize=%s\n' "$2" >>"$3/Plastora.ini"
  fi
}

# Runs a command RUNS times; prints "cpu wall rss_mb" of the median run (by CPU).
# With REPEAT set, each run is REPEAT runs of the command in a row and the
# times are per command: a command of milliseconds is below the timer's
# hundredth of a second.
measure() {
  local i out=() reps="${REPEAT:-1}"
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f "%U %S %e %M" -o "$work/time" bash -c 'n=$1; shift; for ((k = 0; k < n; k++)); do "$@" || exit 1; done' \
      repeat "$reps" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; echo "nan nan nan"; return; }
    out+=("$(awk -v n="$reps" '{printf "%.4f %.4f %.0f\n", ($1 + $2) / n, $3 / n, $4 / 1024}' "$work/time")")
  done
  printf '%s\n' "${out[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

# Runs a command RUNS times held to the first core and RUNS times on all
# cores, alternately (so that a slow spell of the machine falls on both), and
# prints "median-1 median-all fastest-1 fastest-all" wall seconds.
# One run before them is not counted: it makes the outputs the timed runs
# replace, as a user's second run does.
wall_pair() {
  local i t0 t1 a=() b=()
  "$@" >/dev/null 2>&1 || true
  for ((i = 0; i < runs; i++)); do
    t0=$(date +%s%N)
    taskset -c 0 "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; echo "nan nan nan nan"; return; }
    t1=$(date +%s%N)
    a+=("$(awk -v d=$((t1 - t0)) 'BEGIN { printf "%.3f", d / 1e9 }')")
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; echo "nan nan nan nan"; return; }
    t1=$(date +%s%N)
    b+=("$(awk -v d=$((t1 - t0)) 'BEGIN { printf "%.3f", d / 1e9 }')")
  done
  local m=$(((runs + 1) / 2))
  echo "$(printf '%s\n' "${a[@]}" | sort -n | sed -n "${m}p") $(printf '%s\n' "${b[@]}" | sort -n | sed -n "${m}p")" \
    "$(printf '%s\n' "${a[@]}" | sort -n | head -1) $(printf '%s\n' "${b[@]}" | sort -n | head -1)"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0 && a == a + 0) printf "%.2f", a / b; else printf "-" }'; }

printf '| task | ours CPU s | ours wall s | ours MB |'
[ -n "$old" ] && printf ' before CPU s | before wall s | before MB | before/ours CPU | before/ours wall |'
printf ' peer | peer CPU s | peer MB | ours/peer CPU |\n'
printf '|---|---|---|---|'
[ -n "$old" ] && printf -- '---|---|---|---|---|'
printf -- '---|---|---|---|\n'

row() {  # TASK PEERNAME "PEER CMD" -- OUR ARGS...   (OUR ARGS run with each bundle)
  local task="$1" peer="$2" peercmd="$3"
  shift 4
  # Ours through a shell as well, as the peer's command line is run: both
  # pay the same start of a shell (a fair part of a command of milliseconds).
  read -r oc ow om < <(measure bash -c 'exec "$@"' ours "$bundle/plastora-cli" "$@")
  printf '| %s | %s | %s | %s |' "$task" "$oc" "$ow" "$om"
  if [ -n "$old" ]; then
    read -r bc bw bm < <(measure bash -c 'exec "$@"' ours "$old/plastora-cli" "$@")
    printf ' %s | %s | %s | %s | %s |' "$bc" "$bw" "$bm" "$(ratio "$bc" "$oc")" "$(ratio "$bw" "$ow")"
  fi
  if [ -n "$peercmd" ]; then
    read -r pc _ pm < <(measure bash -c "$peercmd")
    printf ' %s | %s | %s | %s |\n' "$peer" "$pc" "$pm" "$(ratio "$oc" "$pc")"
  else
    printf ' - | - | - | - |\n'
  fi
}

sample="$root/data/sample/astronaut.jpg"
for mp in $sizes; do
  w=$(awk -v m="$mp" 'BEGIN { printf "%d", sqrt(m * 1e6 * 1.5) }')
  h=$((w * 2 / 3))
  photo="$work/photo${mp}.jpg"
  convert "$sample" -resize "${w}x${h}!" -quality 92 "$photo"
  REPEAT=50 row "info ${mp} MP" identify "identify '$photo'" -- info "$photo"
  row "convert ${mp} MP to BMP" convert "convert '$photo' '$work/peer.bmp'" -- convert "$photo" "$work/ours.bmp"
  row "open ${mp} MP to A4 at 160 lpi" "" "" -- open "$photo" --paper a4 --lpi 160 --yes -o "$work/p${mp}.lyr"
  # A small output from a big photo: the peak memory against the pictures
  # made (a postcard and its high-resolution copy).
  row "open ${mp} MP to a postcard" "" "" -- open "$photo" --yes -o "$work/pc${mp}.lyr"
  # The views and composite of the project just made (its working size is
  # the paper's, so it grows little with the photo).
  b="$work/bundleBig8"
  [ -d "$b" ] || bundle_with_views "$bundle" 8 "$b"
  if [ -n "$old" ] && [ ! -d "$work/oldBig8" ]; then bundle_with_views "$old" 8 "$work/oldBig8"; fi
  saved="$bundle"; bundle="$b"
  if [ -n "$old" ]; then saved_old="$old"; old="$work/oldBig8"; fi
  mkdir -p "$work/bigviews$mp"
  row "views N=8 of the ${mp} MP project" "" "" -- views "$work/p${mp}.lyr" -o "$work/bigviews$mp"
  # The peer is the floor of any tool making this file: dd writing as many
  # bytes and flushing them to the disk, as our writer does.
  row "lenticular N=8 of the ${mp} MP project" "dd (same bytes, fsync)" \
    "dd if=/dev/zero of='$work/dd.bin' bs=1M count=\$(( \$(stat -c %s '$work/biglent$mp.bmp') >> 20 )) conv=fsync status=none" \
    -- lenticular "$work/p${mp}.lyr" -o "$work/biglent$mp.bmp"
  bundle="$saved"
  [ -n "$old" ] && old="$saved_old"
  big="$work/p${mp}.lyr"
  bigphoto="$photo"
done

# View work on the bundled sample project (707 x 478, two regions).
project="$root/data/sample/coffee.lyr"
for n in 4 8 16; do
  b="$work/bundle$n"
  bundle_with_views "$bundle" "$n" "$b"
  saved="$bundle"
  bundle="$b"
  if [ -n "$old" ]; then bundle_with_views "$old" "$n" "$work/old$n"; saved_old="$old"; old="$work/old$n"; fi
  mkdir -p "$work/views$n"
  row "views N=$n" "" "" -- views "$project" -o "$work/views$n"
  row "lenticular N=$n" "" "" -- lenticular "$project" -o "$work/lent$n.bmp"
  bundle="$saved"
  [ -n "$old" ] && old="$saved_old"
done
row "anaglyph" "" "" -- anaglyph "$project" -o "$work/ana.bmp"

# Movies against the peers on the same frames (the views at the GIF's own
# size, 704 x 478, in the sweep order 0..N-1..1).
frames="$work/frames"
mkdir -p "$frames"
"$bundle/plastora-cli" views "$project" -o "$work/views" >/dev/null 2>&1
i=0
for v in 0 1 2 3 2 1; do
  # (ffmpeg reads the views: ImageMagick refuses a 24-bit BMP whose colour
  # count field is set.)
  ffmpeg -v error -y -i "$work/views/view_0$v.bmp" -vf crop=704:478:0:0 "$frames/f$(printf %02d $i).png"
  i=$((i + 1))
done
row "movie GIF (6 frames)" "ImageMagick" "convert -delay 12 -loop 0 '$frames'/f*.png -colors 256 '$work/im.gif'" \
  -- movie "$project" -o "$work/ours.gif"
row "movie GIF (6 frames)" "ffmpeg" "ffmpeg -v error -y -framerate 8 -i '$frames/f%02d.png' -vf 'split[a][b];[a]palettegen[p];[b][p]paletteuse' '$work/ff.gif'" \
  -- movie "$project" -o "$work/ours.gif"
row "movie AVI 640x480 (48 frames)" "ffmpeg" "ffmpeg -v error -y -stream_loop 7 -framerate 8 -i '$frames/f%02d.png' -vf 'scale=640:434,pad=640:480:0:23' -c:v mjpeg -q:v 3 '$work/ff.avi'" \
  -- movie "$project" -o "$work/ours.avi" --size 640x480 --loop 8
ffmpeg -v error -y -i "$work/views/view_00.bmp" "$work/l.ppm"
ffmpeg -v error -y -i "$work/views/view_03.bmp" "$work/r.ppm"
row "save-views MPO" "cjpeg x2" "cjpeg -quality 80 '$work/l.ppm' >'$work/l.jpg' && cjpeg -quality 80 '$work/r.ppm' >'$work/r.jpg'" \
  -- save-views "$project" -o "$work/ours.mpo"

# Both cores against one: the same commands held to the first core
# (taskset; OpenCV and OpenMP then start one worker, and the kernel's work
# for the process shares that core too), wall time of each (medians of RUNS).
echo
# Each figure is a median of RUNS runs, taken alternately with the other
# column; the last column compares the fastest runs of each.
header_speedup() {
  echo "| $1 | wall s, 1 core | wall s, all cores | speed-up | speed-up, fastest runs |"
  echo "|---|---|---|---|---|"
}
speedup_row() {  # TASK -- COMMAND...
  local task="$1" w1 wn f1 fn
  shift 2
  read -r w1 wn f1 fn < <(wall_pair "$@")
  printf '| %s | %s | %s | %s | %s |\n' "$task" "$w1" "$wn" "$(ratio "$w1" "$wn")" "$(ratio "$f1" "$fn")"
}
header_speedup "command (ours)"
speedup() {  # TASK -- OUR ARGS...
  local task="$1"
  shift 2
  speedup_row "$task" -- "$bundle/plastora-cli" "$@"
}
b16="$work/bundle16"
saved="$bundle"
bundle="$b16"
speedup "views N=16 (sample)" -- views "$project" -o "$work/views16"
speedup "lenticular N=16 (sample)" -- lenticular "$project" -o "$work/lent16.bmp"
bundle="$work/bundleBig8"
if [ -n "${big:-}" ]; then
  speedup "open (largest photo, A4 at 160 lpi)" -- open "$bigphoto" --paper a4 --lpi 160 --yes -o "$work/again.lyr"
  speedup "views N=8 (largest project)" -- views "$big" -o "$work/bigviews"
  speedup "lenticular N=8 (largest project)" -- lenticular "$big" -o "$work/biglent.bmp"
  speedup "save-views MPO (largest project)" -- save-views "$big" -o "$work/big.mpo"
fi
bundle="$saved"
speedup "movie GIF (sample)" -- movie "$project" -o "$work/ours.gif"
speedup "save-views MPO (sample)" -- save-views "$project" -o "$work/ours.mpo"

# What the disk and the start-up allow. The commands that write many or
# large files are measured again with their output in memory (tmpfs, no
# disk: only our own work and the kernel's copying), and the floors of any
# tool doing the same are measured the same way: starting the program (its
# shortest command), and for the largest project dd writing as many bytes
# and flushing them, one file at a time on one core and, for the views, two
# files at once on all cores (the lenticular composite is one file, which
# one writer fills).
mem="/dev/shm"
if [ -d "$mem" ] && [ -w "$mem" ]; then
  memdir="$(mktemp -d "$mem/plastora-bench.XXXXXX")"
  trap 'rm -rf "$work" "$memdir"' EXIT
  # N files of BYTES each, written and flushed under a temporary name and
  # renamed over the last run's, as our writer does; AT_ONCE at a time.
  cat >"$work/ddfloor.sh" <<'DD'
#!/usr/bin/env bash
dir=$1 count=$2 bytes=$3
# Two files at once only when more than one core is ours.
at_once=1
[ "$(nproc)" -gt 1 ] && at_once=${AT_ONCE_ALL:-1}
one() { dd if=/dev/zero of="$dir/.t$1" bs=1M count="$bytes" iflag=count_bytes conv=fsync status=none && mv "$dir/.t$1" "$dir/f$1"; }
for ((i = 0; i < count; i += at_once)); do
  for ((k = i; k < i + at_once && k < count; k++)); do one "$k" & done
  wait
done
DD
  chmod +x "$work/ddfloor.sh"
  mkdir -p "$work/floor" "$memdir/views16"
  echo
  header_speedup "command (sample), and what bounds it"
  bundle="$b16"
  speedup "views N=16, output in memory" -- views "$project" -o "$memdir/views16"
  speedup "lenticular N=16, output in memory" -- lenticular "$project" -o "$memdir/lent16.bmp"
  bundle="$saved"
  # (No dd floor for these small files: starting dd for each would weigh
  # more than the writing.)
  speedup "floor: start-up (--version)" -- --version
  rm -rf "$memdir/views16" "$memdir/lent16.bmp"
  if [ -n "${big:-}" ]; then
    echo
    header_speedup "command (largest project), and what bounds it"
    bundle="$work/bundleBig8"
    mkdir -p "$memdir/views"
    speedup "views N=8, output in memory" -- views "$big" -o "$memdir/views"
    speedup "lenticular N=8, output in memory" -- lenticular "$big" -o "$memdir/lent.bmp"
    rm -rf "$memdir/views" "$memdir/lent.bmp"
    bundle="$saved"
    AT_ONCE_ALL=2 speedup_row "floor: dd writing the 8 views" -- "$work/ddfloor.sh" "$work/floor" 8 \
      "$(stat -c %s "$work/bigviews/view_00.bmp")"
    AT_ONCE_ALL=1 speedup_row "floor: dd writing the composite" -- "$work/ddfloor.sh" "$work/floor" 1 \
      "$(stat -c %s "$work/biglent.bmp")"
  fi
fi
