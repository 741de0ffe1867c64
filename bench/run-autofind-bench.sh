#!/bin/sh
# Builds and runs the Autofind benchmark.
#   bench/run-autofind-bench.sh [BUILD_DIR] [--tree DIR] [--entries N] [--runs R]
# BUILD_DIR defaults to build/ beside this folder. Without --tree the benchmark
# builds a tree of 100 000 entries in a temp folder and removes it afterwards.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
case "$1" in
    ""|--*) ;;
    *) build=$1; shift ;;
esac
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target autofind-bench -j2
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} exec "$build/bench/autofind-bench" "$@"
