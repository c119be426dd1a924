#!/usr/bin/env bash
# Fails, one line per fault, when the includes of the window program or of the
# converter break their layouts.
#
# The window's folders include one way, from the lower to the higher:
#   common, layout, platform, dialogs <- ui/looks, ui/state, assets <- conversion <- ui <- app
# (tools/ uses layout/ only), and an include of a header of another folder names
# that folder ("ui/state/SettingsLists.h"; common/'s plain names are the exception).
#
# The converter's includes:
#   - includes run one way, from the lower folders to the higher:
#       base <- source, pipeline, output <- video, audio <- conversion <- cli, main
#     and confinement/ uses base/ only and is used by cli/ and main only;
#   - an include of a converter header names its folder ("video/video_stage.hpp");
#   - every header opens with a comment line saying what it is, and says
#     "Within FOLDER/ only." there exactly when, of the converter's own files,
#     only its folder includes it (tests may reach into any folder).
# conversion is src/conversion.*, main is src/main.cpp, fuzz/ may use anything.
# The tree checked is the project's, or the one whose root is the argument.
set -euo pipefail
cd "${1:-"$(dirname "$0")/.."}"

faults=0
fault() {
  echo "$1"
  faults=$((faults + 1))
}

# --- The window program ---

declare -A window_may=(
  [common]=""
  [layout]=""
  [platform]=""
  [dialogs]=""
  [ui/looks]="layout"
  [ui/state]="common layout"
  [assets]="layout"
  [tools]="layout"
  [conversion]="common layout platform dialogs ui/looks ui/state assets"
  [ui]="common layout platform dialogs ui/looks ui/state assets"
  [app]="common layout platform dialogs ui/looks ui/state assets conversion ui"
)
window_order="common, layout, platform, dialogs <- ui/looks, ui/state, assets <- conversion <- ui <- app (tools: layout)"

# The folder of the table a path of the tree (a file or an include) belongs to.
window_folder_of() {
  case $1 in
    ui/looks/* | ui/state/*) echo "${1%/*}" ;;
    */*) echo "${1%%/*}" ;;
  esac
}

mapfile -t window_sources < <(find common layout platform dialogs ui assets tools conversion app \
  \( -name '*.cpp' -o -name '*.h' \) | sort)
for file in "${window_sources[@]}"; do
  from=$(window_folder_of "$file")
  while IFS=: read -r line header; do
    if [[ $header == */* ]]; then
      [[ -f $header ]] || continue  # generated, or a library's
      to=$(window_folder_of "$header")
    elif [[ -f ${file%/*}/$header ]]; then
      continue  # its own folder's
    elif [[ -f common/$header || -f common/$header.in ]]; then
      to=common
    elif [[ -n $(find "${!window_may[@]}" -name "$header" -print -quit 2>/dev/null) ]]; then
      fault "$file:$line: \"$header\" must name its folder"
      continue
    else
      continue
    fi
    if [[ $to != "$from" && " ${window_may[$from]} " != *" $to "* ]]; then
      fault "$file:$line: $from/ includes $header, which runs upward or sideways: $window_order"
    fi
  done < <(grep -n '^#include "' "$file" | sed 's/^\([0-9]*\):#include "\([^"]*\)".*/\1:\2/')
done
window_faults=$faults

# --- The converter ---

src=converter/src
fuzz=converter/fuzz

declare -A may=(
  [base]=""
  [source]="base"
  [pipeline]="base"
  [output]="base"
  [confinement]="base"
  [video]="base source pipeline output"
  [audio]="base source pipeline output"
  [conversion]="base source pipeline output video audio"
  [cli]="base source pipeline output video audio conversion confinement"
  [main]="base source pipeline output video audio conversion confinement cli"
  [fuzz]="base source pipeline output video audio conversion confinement cli"
)
order="base <- source, pipeline, output <- video, audio <- conversion <- cli, main (confinement: base <- confinement <- cli, main)"

# The folder a file of the tree belongs to, as the table above names it.
folder_of() {
  local path=${1#"$src"/}
  case $path in
    main.cpp) echo main ;;
    */*) echo "${path%%/*}" ;;
    *) echo conversion ;;
  esac
}

mapfile -t sources < <(find "$src" -name '*.[ch]pp' | sort)
mapfile -t fuzz_sources < <(find "$fuzz" -maxdepth 1 -name '*.[ch]pp' 2>/dev/null | sort)

# users[header] = the folders whose files include it, besides its own .cpp
declare -A users=()
for file in "${sources[@]}" "${fuzz_sources[@]}"; do
  case $file in "$fuzz"/*) from=fuzz ;; *) from=$(folder_of "$file") ;; esac
  while IFS=: read -r line header; do
    if [[ $header == */* ]]; then
      if [[ ! -f $src/$header ]]; then
        fault "$file:$line: \"$header\" is no header of converter/src"
        continue
      fi
      to=${header%%/*}
    elif [[ -f $src/$header ]]; then
      to=conversion
    elif [[ $from != fuzz && -n $(find "$src" -mindepth 2 -name "$header" -print -quit) ]]; then
      fault "$file:$line: \"$header\" must name its folder"
      continue
    else
      continue  # common/ or the fuzz target's own
    fi
    [[ ${file%.cpp} == "$src/${header%.hpp}" ]] || users[$header]+=" $from"
    if [[ $to != "$from" && " ${may[$from]} " != *" $to "* ]]; then
      fault "$file:$line: $from/ includes $header, which runs upward or sideways: $order"
    fi
  done < <(grep -n '^#include "' "$file" | sed 's/^\([0-9]*\):#include "\([^"]*\)".*/\1:\2/')
done

for file in "${sources[@]}"; do
  [[ $file == *.hpp ]] || continue
  header=${file#"$src"/}
  first=$(head -n 1 "$file")
  if [[ $first != "// "* || $(sed -n 2p "$file") == "//"* ]]; then
    fault "$file:1: a header opens with one comment line saying what it is"
    continue
  fi
  own=$(folder_of "$file")
  marked=""
  [[ $first == *"Within $own/ only." ]] && marked=yes
  others=$(tr ' ' '\n' <<<"${users[$header]:-}" | grep -vx -e "$own" -e '' | sort -u | tr '\n' ' ' || true)
  if [[ -n $marked && -n $others ]]; then
    fault "$file:1: says \"Within $own/ only.\" but is included from ${others% }/"
  elif [[ -z $marked && -z $others && -n ${users[$header]:-} && $own != conversion ]]; then
    fault "$file:1: only $own/ includes it: its first line ends \"Within $own/ only.\""
  fi
done

converter_faults=$((faults - window_faults))
((window_faults)) && echo "$window_faults include fault(s) in the window program"
((converter_faults)) && echo "$converter_faults include fault(s) in the converter"
((faults)) && exit 1
echo "${#window_sources[@]} window sources include downward only"
echo "${#sources[@]} converter sources include downward only"
