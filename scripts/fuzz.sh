#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and runs each for the given seconds.
set -euo pipefail
seconds=${1:-120}
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null | grep -q installed || missing="${missing:-} $p"
done
if [ -n "${missing:-}" ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get install -y -qq --no-install-recommends $missing
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKOVA_FUZZ=ON -DKOVA_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined"
targets=$(for f in tests/fuzz/*_fuzz.cpp; do basename "$f" .cpp; done)
# shellcheck disable=SC2086
cmake --build build-fuzz -j "$(nproc)" --target $targets
mkdir -p build-fuzz/corpus
for t in build-fuzz/tests/*_fuzz; do
  name=$(basename "$t")
  mkdir -p "build-fuzz/corpus/$name"
  echo "== $name for ${seconds}s"
  "$t" -max_total_time="$seconds" -print_final_stats=1 "build-fuzz/corpus/$name" 2>&1 | tail -n 12
done
