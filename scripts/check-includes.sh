#!/usr/bin/env bash
# Fails, one line per fault, when the converter's includes break its layout:
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

faults=0
fault() {
  echo "$1"
  faults=$((faults + 1))
}

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

if ((faults)); then
  echo "$faults include fault(s) in the converter"
  exit 1
fi
echo "${#sources[@]} converter sources include downward only"
