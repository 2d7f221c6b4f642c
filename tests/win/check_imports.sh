#!/bin/bash
# Fails unless the given program imports only DLLs that every Windows system
# has: the program must run from the update medium with nothing beside it.
set -euo pipefail
EXE=${1:?usage: check_imports.sh PROGRAM.exe}
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}

# System DLLs the updater may use (msvcrt.dll is the C runtime of Windows).
ALLOWED="advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll"

dlls=$("$OBJDUMP" -p "$EXE" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
if [ -z "$dlls" ]; then
  echo "check_imports: no import table found in $EXE" >&2
  exit 1
fi
status=0
for dll in $dlls; do
  case " $ALLOWED " in
    *" $dll "*) echo "check_imports: $dll ok" ;;
    *) echo "check_imports: $EXE imports $dll, which is not a system DLL" >&2; status=1 ;;
  esac
done
echo "check_imports: $(echo $dlls | wc -w) DLLs checked"
exit $status
