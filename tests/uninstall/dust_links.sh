#!/bin/sh
# dust_links.sh create|remove PREFIX: the Unix symlinks the leftover tests need (Wine cannot make them itself:
# its CreateSymbolicLinkW does nothing). All of them live in the prefix: C:\KxDustLinks, and one folder link on
# the user's desktop, made only when that desktop is a plain folder of the prefix.
set -eu
prefix=$1
root=$prefix/drive_c/KxDustLinks
desktops() {
  for d in "$prefix"/drive_c/users/*/Desktop; do
    case "$d" in */users/Public/Desktop) ;; *) [ -d "$d" ] && echo "$d" ;; esac
  done
}
case "$2" in
  create)
    rm -rf "$root"
    mkdir -p "$root/App" "$root/Outside" "$root/Shortcuts"
    echo data > "$root/App/data.txt"
    echo secret > "$root/Outside/secret.txt"
    ln -s ../Outside "$root/App/dirlink"
    ln -s ../Outside/secret.txt "$root/App/filelink.txt"
    desktops | while read -r d; do
      if [ -L "$d" ]; then echo "dust_links: $d links out of the prefix" >&2; exit 1; fi
      rm -f "$d/KxDustLinked"
      ln -s "$root/Shortcuts" "$d/KxDustLinked"
    done ;;
  remove)
    desktops | while read -r d; do [ -L "$d/KxDustLinked" ] && rm -f "$d/KxDustLinked"; done
    rm -rf "$root" ;;
esac
