#!/usr/bin/env bash
# peer-comparison.sh [CORPUS_DIR [OUT_DIR]]
#
# The batch job "fit within 1024 x 768, metadata kept, turned upright" on the
# 24 photographs (6000 x 4000) of the shared benchmark corpus, run by
# pellora-batch and by vipsthumbnail as two processes (one thread each) in the
# same run, rounds alternating; ImageMagick and GraphicsMagick too when
# installed, two files at a time, one thread each, decoding at no less than
# twice the box (as we do). JPEG quality 80, then PNG. Prints per tool the
# median wall time, images per second, CPU time (user + system: the steadier
# figure on a shared machine), the peak memory of its largest process,
# the ratio of vipsthumbnail's time to its own (above 1: faster than
# vipsthumbnail) and, for PNG, the PSNR against a float Lanczos-3 resize of the
# full-size decode (the shared quality scorer; SSIM too when python3-skimage
# is installed).
#
# The corpus and the scorer come from the shared benchmark folder
# (PELLORA_BENCH_SHARED, default ../shared/bench beside the clone); without it
# the comparison is skipped. The corpus is built once into CORPUS_DIR (default
# build/bench-corpus, about 80 s and 420 MB); outputs and the scorer's cached
# references stay in OUT_DIR (default build/bench-peers).
# Needs: libvips-tools, time, python3-pil, python3-numpy (Debian); optional
# imagemagick, graphicsmagick.
# Env: ROUNDS (default 3), CORES (processes for the peer, default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
SHARED=${PELLORA_BENCH_SHARED:-$ROOT/../shared/bench}
BOX='1024x768>' HINT=2048x1536
# --one VARIANT OUTDIR FILE: one file through a per-file peer (called by xargs).
if [ "${1:-}" = --one ]; then
  o=$3/$(basename "${4%.*}")
  case $2 in
    im-p2)     MAGICK_THREAD_LIMIT=1 /usr/bin/convert -define jpeg:size=$HINT "$4" -auto-orient -resize "$BOX" -quality 80 "$o.jpg" ;;
    im-png-p2) MAGICK_THREAD_LIMIT=1 /usr/bin/convert -define jpeg:size=$HINT "$4" -auto-orient -resize "$BOX" -quality 65 "$o.png" ;;
    gm-p2)     OMP_NUM_THREADS=1 gm convert -size $HINT "$4" -auto-orient -resize "$BOX" -quality 80 "$o.jpg" ;;
    gm-png-p2) OMP_NUM_THREADS=1 gm convert -size $HINT "$4" -auto-orient -resize "$BOX" -quality 65 "$o.png" ;;
  esac   # PNG quality 65: zlib level 6 with adaptive filters
  exit
fi
RUN=
if [ "${1:-}" = --run ]; then RUN=$2; shift 2; fi   # one pass of one tool (timed by the caller)
CORPUS=${1:-$ROOT/build/bench-corpus}
OUT=${2:-$ROOT/build/bench-peers}
ROUNDS=${ROUNDS:-3}
CORES=${CORES:-2}
BATCH=$ROOT/build/bin/pellora-batch
PY=/usr/bin/python3

skip() { echo "peer comparison skipped: $*"; exit 0; }
if [ -z "$RUN" ]; then
[ -x "$BATCH" ] || skip "build/bin/pellora-batch is not built"
[ -x /usr/bin/time ] || skip "/usr/bin/time missing (Debian package time)"
command -v vipsthumbnail >/dev/null || skip "vipsthumbnail missing (Debian package libvips-tools)"
if [ ! -f "$CORPUS/jpeg/IMG_0024.jpg" ]; then
  [ -x "$SHARED/make-corpus.sh" ] || [ -f "$SHARED/make-corpus.sh" ] || skip "no corpus and no $SHARED/make-corpus.sh"
  echo "building the corpus in $CORPUS (once)"
  bash "$SHARED/make-corpus.sh" "$CORPUS" >/dev/null
fi
fi
mapfile -t FILES < <(ls "$CORPUS"/jpeg/IMG_*.jpg)
N=${#FILES[@]}

# Settings the program stores stay in a scratch home.
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/pellora-peers.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
export HOME=$SCRATCH XDG_CONFIG_HOME=$SCRATCH/.config XDG_DATA_HOME=$SCRATCH/.local/share

# run VARIANT: one pass of a tool over the corpus into OUT/VARIANT.
run() {
  local v=$1 d=$OUT/$1
  rm -rf "$d"; mkdir -p "$d"
  case $v in
    pellora)     "$BATCH" -o "$d" --width 1024 --height 768 --format jpeg --quality 80 \
                   --metadata --rotate --overwrite "${FILES[@]}" >/dev/null ;;
    pellora-png) "$BATCH" -o "$d" --width 1024 --height 768 --format png \
                   --metadata --rotate --overwrite "${FILES[@]}" >/dev/null ;;
    vips-p2|vips-png-p2)
      local save='[Q=80]' ext=jpg
      [ "$v" = vips-png-p2 ] && save='[compression=6,filter=all]' ext=png
      printf '%s\0' "${FILES[@]}" |
        VIPS_CONCURRENCY=1 xargs -0 -n $(((N + CORES - 1) / CORES)) -P "$CORES" \
          vipsthumbnail --size "$BOX" -o "$d/%s.$ext$save" ;;
    im-*|gm-*) printf '%s\0' "${FILES[@]}" | xargs -0 -n 1 -P "$CORES" bash "$0" --one "$v" "$d" ;;
  esac
}

# measure VARIANT: prints "wall_seconds peak_kb cpu_seconds" of one pass.
measure() {
  /usr/bin/time -f '%e %M %U %S' -o "$SCRATCH/time" bash "$0" --run "$1" "$CORPUS" "$OUT" >/dev/null
  awk '{print $1, $2, $3 + $4}' "$SCRATCH/time"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

compare() {  # compare VIPS OTHERS...: every tool each round; ratios to the first
  local vips=$1 r v
  declare -A walls peaks cpus
  for r in $(seq 1 "$ROUNDS"); do
    for v in "$@"; do
      read -r wall peak cpu < <(measure "$v")
      walls[$v]+="$wall"$'\n'; cpus[$v]+="$cpu"$'\n'; peaks[$v]=$(( ${peaks[$v]:-0} > peak ? ${peaks[$v]:-0} : peak ))
    done
  done
  local peerWall; peerWall=$(printf '%s' "${walls[$vips]}" | median)
  for v in "$@"; do
    local w c; w=$(printf '%s' "${walls[$v]}" | median); c=$(printf '%s' "${cpus[$v]}" | median)
    awk -v v="$v" -v w="$w" -v c="$c" -v n="$N" -v p="${peaks[$v]}" -v pw="$peerWall" 'BEGIN {
      printf "%-12s %3d files  %6.2f s  %5.1f img/s  cpu %5.2f s  peak %4.0f MiB  vips/this %.2f\n",
             v, n, w, n / w, c, p / 1024, pw / w }'
  done
}

if [ -n "$RUN" ]; then run "$RUN"; exit; fi

mkdir -p "$OUT"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores; median of $ROUNDS alternating rounds"
JPEG=(vips-p2 pellora) PNG=(vips-png-p2 pellora-png)
if [ -x /usr/bin/convert ]; then JPEG+=(im-p2); PNG+=(im-png-p2); fi
if command -v gm >/dev/null; then JPEG+=(gm-p2); PNG+=(gm-png-p2); fi
echo "-- JPEG quality 80"
compare "${JPEG[@]}"
echo "-- PNG"
compare "${PNG[@]}"
if [ -f "$SHARED/quality.py" ] && $PY -c 'import PIL, numpy' 2>/dev/null; then
  echo "-- quality against the float reference (PSNR dB mean, worst)"
  $PY "$SHARED/quality.py" "$CORPUS" "$OUT" "${PNG[@]}" "${JPEG[@]}"
else
  echo "quality skipped: needs $SHARED/quality.py and python3-pil, python3-numpy"
fi
