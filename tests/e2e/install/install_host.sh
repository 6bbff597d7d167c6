#!/usr/bin/env bash
# Installs the built library into a scratch prefix, then builds and runs a
# small host the way the README tells a game to: with pkg-config, and with
# CMake's find_package.
set -euo pipefail
build="$1"
source="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
libdir="$(ls -d "$work"/prefix/lib*/pkgconfig | head -n 1)"
export PKG_CONFIG_PATH="$libdir"
export LD_LIBRARY_PATH="$(dirname "$libdir")"

# shellcheck disable=SC2046
g++ -std=c++17 -o "$work/host" "$source/tests/e2e/host.cpp" $(pkg-config --cflags --libs kestrel)
"$work/host"

mkdir -p "$work/cmake-host"
cat > "$work/cmake-host/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(host CXX)
set(CMAKE_CXX_STANDARD 17)
find_package(kestrel REQUIRED)
add_executable(host "$source/tests/e2e/host.cpp")
target_link_libraries(host PRIVATE kestrel::kestrel)
CMAKE
cmake -S "$work/cmake-host" -B "$work/cmake-host/build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-host/build" >/dev/null
"$work/cmake-host/build/host"
echo "install_host: pkg-config and find_package hosts ran"
