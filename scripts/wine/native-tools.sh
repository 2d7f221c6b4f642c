#!/bin/bash
# Source this from a suite in the repository's root: sets NATIVE_PACK and
# NATIVE_CHECK to the native update-pack and update-check (UPDATE_PACK_NATIVE
# and UPDATE_CHECK_NATIVE when given; else the g++ build's, built here when
# it has none), against which the Windows tools and media are compared.
NATIVE_PACK=${UPDATE_PACK_NATIVE:-}
NATIVE_CHECK=${UPDATE_CHECK_NATIVE:-}
if [ -z "$NATIVE_PACK" ] || [ -z "$NATIVE_CHECK" ]; then
  if [ -x build/gcc/tools/update-pack/update-pack ] &&
    [ -x build/gcc/tools/update-check/update-check ]; then
    native_tools=$PWD/build/gcc/tools
  else
    cmake -S . -B build/run-pack -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build/run-pack --target update-pack update-check -j2 >/dev/null
    native_tools=$PWD/build/run-pack/tools
  fi
  NATIVE_PACK=${NATIVE_PACK:-$native_tools/update-pack/update-pack}
  NATIVE_CHECK=${NATIVE_CHECK:-$native_tools/update-check/update-check}
fi
