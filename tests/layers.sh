#!/usr/bin/env bash
# layers.sh SOURCE_ROOT: the libraries stand in layers, each including only
# its own folder and the folders below it:
#   model -> rules, eeprom -> hidlink -> workflow -> gui -> dialogs -> app, cli
# (folders on one rank do not include each other). A library also links only
# the quillan_* libraries whose folders it includes.
set -u
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2

declare -A rank=([model]=0 [rules]=1 [eeprom]=1 [hidlink]=2 [workflow]=3
                 [gui]=4 [dialogs]=5 [app]=6 [cli]=6)
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

for lib in "${!rank[@]}"; do
  [ -d "$lib" ] || { fail "$lib: no such folder"; continue; }
  # Folders this library includes, as "file:line:folder".
  included=$(grep -HnoE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z_]+/' \
               "$lib"/*.cpp "$lib"/*.h 2>/dev/null |
             sed -E 's/#[[:space:]]*include[[:space:]]+"([a-z_]+)\/$/\1/; s/:[[:space:]]*/:/2')
  while IFS=: read -r file line dir; do
    [ -n "$file" ] || continue
    [ "$dir" = "$lib" ] && continue
    if [ -z "${rank[$dir]+x}" ] || [ "${rank[$dir]}" -ge "${rank[$lib]}" ]; then
      fail "$file:$line includes $dir/ (against the layer order)"
    fi
  done <<<"$included"
  dirs=$(cut -d: -f3 <<<"$included" | sort -u)
  # Every quillan_* library named in the folder's target_link_libraries.
  linked=$(tr '\n' ' ' <"$lib/CMakeLists.txt" |
           grep -oE 'target_link_libraries\([^)]*\)' | grep -oE 'quillan_[a-z_]+' | sort -u)
  for target in $linked; do
    dir=${target#quillan_}
    [ "$dir" = "$lib" ] && continue
    grep -qx "$dir" <<<"$dirs" || fail "$lib/CMakeLists.txt links $target but $lib/ includes nothing of $dir/"
  done
done
[ "$failures" -eq 0 ] && echo "layers: ok"
exit $((failures > 0))
