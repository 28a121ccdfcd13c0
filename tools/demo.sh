#!/usr/bin/env bash
# Demonstration of kelo_filter: makes a sample series of three 1024 x 1024
# detector images, filters it with the default parameters and shows what
# the program did.  Usage: tools/demo.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d /tmp/kelo_demo.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "== A sample series: scattering rings on a smooth background with counting"
echo "   noise, a block of dummy pixels (-1) and single-pixel spikes"
"$build/tools/make_sample_series" sample.wib 3 1024 1024 1 clean.wib
echo

echo "== kelo_filter sample.wib filtered.wib   (every other value at its default)"
"$build/kelo_filter" sample.wib filtered.wib
echo

echo "== What changed (spikes are the pixels that differ from the spike-free series)"
"$build/tools/compare_series" sample.wib clean.wib filtered.wib
echo

echo "== The same with an absolute threshold: only pixels more than 100 counts away"
echo "   from their neighbourhood's mean are replaced (kelo_filter -max 100 ...)"
"$build/kelo_filter" -max 100 sample.wib filtered_max.wib > /dev/null
"$build/tools/compare_series" sample.wib clean.wib filtered_max.wib
echo

echo "== Header of the first filtered image"
# The header is the text between the braces at the start of the file.
sed -n '2,/^}/p' filtered.wib | tr -d '\r' | grep -v '^ *$' | grep -v '^}' | sed 's/^/   /'
