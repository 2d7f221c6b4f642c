#!/bin/bash
# Makes a delay-import library that MinGW's linker lays out correctly.
#   make-delay-lib.sh TOOL_PREFIX MACHINE DEF OUTPUT
#
# dlltool puts the delay tables into .idata$4 and $5, the sections of the
# ordinary import tables, which the linker sorts by archive member name
# across every import library: the delay slots then land inside another
# DLL's import table and the loader leaves them zero (a call through one
# jumps to address 0). Renamed into .data$ sections whose names keep
# dlltool's order (head, one member a function, tail), each table stays
# whole and writable.
set -euo pipefail
prefix=$1 machine=$2 def=$3 output=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"${prefix}dlltool" --machine "$machine" --kill-at --input-def "$def" --output-delaylib "$work/raw.a"
tag=$(basename "$def" .def)
cd "$work"
members=$("${prefix}ar" t raw.a)
"${prefix}ar" x raw.a
for member in $members; do
  case $member in
    *_h.o) key=a ;;
    *_t.o) key=c ;;
    *_s[0-9]*.o) key=b$(echo "$member" | sed 's/.*_s\([0-9]*\)\.o$/\1/') ;;
    *) echo "make-delay-lib: unexpected member $member" >&2; exit 1 ;;
  esac
  renames=()
  for n in 4 5 6 7; do
    renames+=(--rename-section ".idata\$$n=.data\$didat_${tag}_$n$key,alloc,load,data,contents")
  done
  "${prefix}objcopy" "${renames[@]}" "$member"
done
rm -f "$output"
# shellcheck disable=SC2086
"${prefix}ar" rcs "$output" $members
