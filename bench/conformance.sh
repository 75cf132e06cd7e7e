#!/usr/bin/env bash
# Conformance of data/conv.exe's 3GP files across the picker matrix (every size × every video
# bitrate × 14.985 / 29.97), read by our own conformance reader (tests/encoder/conformance_*,
# built as conv_conformance), beside ffmpeg's own 3GP output of the same source as the peer.
# Prints, per rule, how many files conform out of those the rule applies to.
#
# Usage: bench/conformance.sh [BUILD_DIR]
#   CONV=/path/to/conv.exe   another encoder to measure (default BUILD_DIR/bin/data/conv.exe)
#   SIZES, RATES, BITRATES   subsets of the matrix; CLIP_SECONDS the source's length (default 15)
#   VINTREL_BENCH_DIR        where the source and outputs are kept
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
conv=${CONV:-$build/bin/data/conv.exe}
reader=$build/tests/bin/conv_conformance
[ -x "$conv" ] || { echo "no $conv: build first" >&2; exit 1; }
[ -x "$reader" ] || { echo "no $reader: build the target conv_conformance" >&2; exit 1; }
cache=${VINTREL_BENCH_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/vintrel-bench}/conformance
mkdir -p "$cache"
cd "$cache"

sizes=${SIZES:-"128x96 160x120 176x144 352x288"}
rates=${RATES:-"14.985 29.97"}
bitrates=${BITRATES:-"40 80 120 256 512"}
seconds=${CLIP_SECONDS:-15}

# Hard content: noise over moving test patterns, with a cut to another picture every 3 s.
source=noisy-$seconds.avi
if [ ! -s "$source" ]; then
  echo "making $source ..." >&2
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=640x480:rate=25:duration=$seconds,noise=alls=40:allf=t+u" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$seconds" \
    -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 128k -shortest "partial-$source"
  mv "partial-$source" "$source"
fi

declare -A ours peers applies_ours applies_peers
tally() {  # array-prefix, file, rate
  local line rule state
  while read -r line; do
    rule=${line%% *}
    state=${line#* }
    [ "$state" = "n/a" ] && continue
    if [ "$1" = ours ]; then
      applies_ours[$rule]=$((${applies_ours[$rule]:-0} + 1))
      [ "$state" = ok ] && ours[$rule]=$((${ours[$rule]:-0} + 1))
    else
      applies_peers[$rule]=$((${applies_peers[$rule]:-0} + 1))
      [ "$state" = ok ] && peers[$rule]=$((${peers[$rule]:-0} + 1))
    fi
  done < <("$reader" "$2" "$3" || true)
}

files=0
for size in $sizes; do
  for rate in $rates; do
    for kbit in $bitrates; do
      out=ours-$size-$rate-$kbit.3gp
      peer=ffmpeg-$size-$rate-$kbit.3gp
      "$conv" -i "$source" -b "${kbit}k" -y -r "$rate" -s "$size" -acodec libamr_nb -ar 8000 -ac 1 -ab 5.15k \
        "$out" > /dev/null 2>&1 || { echo "conv.exe failed on $out" >&2; continue; }
      codec=h263
      [ "$size" = 160x120 ] && codec=mpeg4
      ffmpeg -v error -y -i "$source" -s "$size" -r "$rate" -c:v "$codec" -b:v "${kbit}k" \
        -c:a libopencore_amrnb -ar 8000 -ac 1 -b:a 5.15k "$peer" || { echo "ffmpeg failed on $peer" >&2; continue; }
      tally ours "$out" "$rate"
      tally peers "$peer" "$rate"
      files=$((files + 1))
    done
  done
done

echo "files per encoder: $files (source $source)"
printf '%-16s %14s %14s\n' rule conv.exe ffmpeg
while read -r line; do
  rule=${line%% *}
  printf '%-16s %8s of %-3s %8s of %-3s\n' "$rule" "${ours[$rule]:-0}" "${applies_ours[$rule]:-0}" \
    "${peers[$rule]:-0}" "${applies_peers[$rule]:-0}"
done < <("$reader" /dev/null 2>/dev/null || true)
