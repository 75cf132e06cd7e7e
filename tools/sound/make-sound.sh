#!/usr/bin/env bash
# Makes the end-of-batch chime, src/ui/resources/sound.wav: two bell-like notes, C6 then G6,
# each with a faint overtone and a soft decay; about one second, 22 050 Hz mono, 16-bit.
# Usage: make-sound.sh [OUTPUT.wav]    (needs sox)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$root/src/ui/resources/sound.wav}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# note FILE FREQUENCY DELAY LENGTH VOLUME
note() {
  sox -D -R -n -r 22050 -b 16 -c 1 "$work/$1" synth "$4" sine "$2" fade l 0.006 "$4" "$(awk -v l="$4" 'BEGIN{print l-0.01}')" \
    vol "$5" pad "$3"
}
note c6.wav 1046.50 0.00 0.85 0.55
note c6-over.wav 2793.83 0.00 0.35 0.10
note g6.wav 1567.98 0.16 0.90 0.50
note g6-over.wav 4186.01 0.16 0.30 0.06

# Mixed, brought to a comfortable level, a few milliseconds of silence at the end.
sox -D -R -m "$work"/c6.wav "$work"/c6-over.wav "$work"/g6.wav "$work"/g6-over.wav -b 16 "$work/mix.wav" \
  norm -6 pad 0 0.05
# Plain PCM with no extra chunks, the same bytes on every run.
sox -D -R "$work/mix.wav" -t wavpcm -r 22050 -b 16 -c 1 "$out"
echo "wrote $out ($(soxi -D "$out") s)"
