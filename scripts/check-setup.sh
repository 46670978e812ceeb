#!/bin/bash
# Fails unless every outside command that the scripts and the CMake builds
# call comes with a package that scripts/setup.sh installs: one of its list,
# one that apt-get brings with them (Depends, Pre-Depends), or one that every
# Debian system has. Reads the CMake caches, so it runs after the builds.
set -eu
cd "$(dirname "$0")/.."

listed=$(sed -n '/^packages=(/,/^)/{/[()]/d;p}' scripts/setup.sh | tr -s ' ' '\n' | sed '/^$/d' | sort -u)
installed=$listed
new=$listed
while [ -n "$new" ]; do
  # A choice between packages ("a | b") makes neither of them certain.
  new=$(dpkg-query -W -f='${Depends}, ${Pre-Depends}\n' $new 2>/dev/null | sed 's/, /\n/g' | grep -v '|' |
    sed 's/ *(.*//; s/:any$//; /^,*$/d' | sort -u | comm -23 - <(echo "$installed") || true)
  installed=$(printf '%s\n%s\n' "$installed" "$new" | sed '/^$/d' | sort -u)
done

# Commands: the first word of each shell command (comments left out, quoted
# text a mere word), what the Python scripts start, the interpreters of the scripts,
# and the programs that the CMake builds run (compilers, archiver, ninja,
# objdump, python3).
shell_words() {
  sed -e '/^packages=(/,/^)/d' -e 's/^\s*#.*//; s/\s#.*//' -e "s/'[^']*'/_/g; s/\"[^\"]*\"/_/g" "$@" |
    grep -oP '(^|[|;&`]|(?<![=($])\(|\$\(|[<>]\(|\b(then|do|else|exec|if|while|until)\b|!)\s*(\w+=(?!\$?\()\S*\s+)*\K[A-Za-z][\w.+-]*(?=[\s;)|&]|$)' |
    grep -vxF -f <(grep -ohP '^\s*\K[\w-]+(?=\(\)\s*\{)' "$@")
}
commands=$(
  shell_words scripts/*.sh .ci/run
  grep -hoP 'subprocess\.\w+\(\s*\[\s*"\K[^"]+' $(git ls-files '*.py')
  grep -hoP '^#!(/usr/bin/env )?\K\S+' $(git ls-files '*.py' '*.sh') .ci/run | xargs -n1 basename
  cat build/*/CMakeCache.txt build/*/CMakeFiles/*/CMake*Compiler.cmake 2>/dev/null |
    grep -oP '^(set\()?(CMAKE_(\w+_COMPILER|AR|RANLIB|MAKE_PROGRAM|OBJDUMP)|_?Python3_EXECUTABLE)(:\w+=| ")\K[^"\s]+' |
    xargs -r -n1 basename
)

# The package that makes /usr/bin/NAME: follow the links (alternatives) until
# dpkg knows a step; /bin and /usr/bin are one folder.
owner() {
  local path=$1 step
  for step in 1 2 3 4 5 6; do
    dpkg -S "$path" 2>/dev/null | sed -n '1{s/[:,].*//;p}' | grep . && return
    dpkg -S "${path/#\/usr\/bin\//\/bin\/}" 2>/dev/null | sed -n '1{s/[:,].*//;p}' | grep . && return
    [ -L "$path" ] || return 1
    path=$(cd "$(dirname "$path")" && realpath -s "$(readlink "$path")")
  done
  return 1
}

faults=()
seen=()
for name in $(sort -u <<<"$commands"); do
  grep -qxE 'builtin|keyword' <<<"$(type -t "$name")" && continue
  path=
  for dir in /usr/bin /usr/sbin /bin /sbin; do [ -e "$dir/$name" ] && path=$dir/$name && break; done
  if [ -z "$path" ]; then
    faults+=("$name: not installed by any package")
    continue
  fi
  package=$(owner "$path") || { faults+=("$name: no package owns $path"); continue; }
  if ! grep -qx "$package" <<<"$installed" && [ "$(dpkg-query -W -f='${Priority}' "$package")" != required ]; then
    faults+=("$name: its package $package is not in scripts/setup.sh")
    continue
  fi
  seen+=("$name($package)")
done
echo "commands called, with their packages: ${seen[*]}"
if ((${#faults[@]})); then
  printf 'set-up misses: %s\n' "${faults[@]}"
  exit 1
fi
echo "set-up: every command called comes with scripts/setup.sh"
