#!/usr/bin/env bash
# The installed program: cmake --install into a fresh prefix, the default
# scene rendered from another folder by a user who may not write the
# program's folder, the bash completion, and the Debian package.
source "$(dirname "$0")/lib.sh"
build_dir=$3
chmod 755 "$work"

prefix=$work/prefix
cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }
for file in bin/morva share/morva/MORVA.TXT share/morva/MORVA.pal share/morva/scenes/maple/MORVA.TXT \
  share/man/man1/morva.1 share/bash-completion/completions/morva; do
  [ -f "$prefix/$file" ] || fail "$file not installed"
done

# Run with no scene from a folder of its own, the program finds the bundled
# scene in ../share/morva and writes the count files where it runs: the same
# bytes as the built program beside its own scene.
run=$work/run
mkdir "$run"
as_user=()
if [ "$(id -u)" -ne 0 ]; then
  chmod -R a-w "$prefix"
elif setpriv --reuid=nobody --regid=nogroup --clear-groups true 2>/dev/null; then
  chown nobody "$run"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  echo "note: setpriv cannot run as nobody here; the installed program runs as root" >&2
fi
(cd "$run" && "${as_user[@]}" "$prefix/bin/morva" --batch --quiet 2>"$work/run.log") \
  || { cat "$work/run.log"; fail "the installed program did not render its bundled scene"; }
mkdir "$work/built"
cp "$source_dir/assets/MORVA.TXT" "$source_dir/assets/MORVA.pal" "$work/built/"
"$morva" --batch --quiet --dir "$work/built" 2>/dev/null || fail "built program"
for file in MORVA.BMP MORVAHD.BMP; do
  cmp -s "$run/$file" "$work/built/$file" || fail "$file of the installed program differs"
done
[ -z "$(find "$prefix" -name '*.BMP')" ] || fail "the installed program wrote into its own folders"

# The completion offers options, and the entry names of the library on the
# line as the program lists them.
completion=/usr/share/bash-completion/bash_completion
if [ -f "$completion" ]; then
  printf '#!/bin/sh\n[ "$1" = --list ] && printf "fern 4 maps\\nbinary 3 maps\\ncoral 3 maps\\n"\n' >"$work/lister"
  chmod +x "$work/lister"
  touch "$work/shapes.ifs"
  result=$(cd "$work" && bash -c '
    source "$1"; source "$2"
    complete_line() {
      COMP_LINE=$1; COMP_POINT=${#COMP_LINE}
      read -ra COMP_WORDS <<<"$COMP_LINE"
      [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
      COMPREPLY=()
      _morva
      echo "${COMPREPLY[*]}"
    }
    complete_line "./lister --ou"
    complete_line "./lister shapes.ifs -q --entry "
    complete_line "./lister --list shapes.ifs --entry=c"' _ "$completion" "$prefix/share/bash-completion/completions/morva")
  [ "$result" = $'--out --output\nfern binary coral\ncoral' ] || fail "completion gave: $result"
fi

# The Debian package: its dependencies read from the linked libraries, and
# the program in it runs.
for tool in dpkg-deb dpkg-shlibdeps file; do
  command -v "$tool" >/dev/null || { echo "$tool missing: the Debian package is not tested" >&2; exit 77; }
done
(cd "$build_dir" && cpack -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=("$work"/deb/morva_*.deb)
[ -f "${deb[0]}" ] || fail "no .deb in $work/deb"
depends=$(dpkg-deb -f "${deb[0]}" Depends)
[[ $depends == *libpng16* && $depends == *libc6* ]] || fail "package dependencies: $depends"
dpkg-deb -x "${deb[0]}" "$work/root"
[ "$("$work/root/usr/bin/morva" --version)" = "$("$morva" --version)" ] || fail "morva --version from the package"
[ -f "$work/root/usr/share/morva/MORVA.TXT" ] || fail "the package lacks the default scene"
