#!/bin/sh
# dust_links.sh create|remove PREFIX: the Unix symlinks the leftover tests need (Wine cannot make them itself:
# its CreateSymbolicLinkW does nothing). All of them live in the prefix: C:\KxDustLinks, and one folder link on
# the user's desktop, made only when that desktop is a plain folder of the prefix. Besides, where /dev/shm is a
# file system of its own, drive T: of the prefix is a folder there: the Recycle Bin (the prefix's own trash) cannot
# take a folder from it, and the shell then deletes the folder for good.
set -eu
prefix=$1
root=$prefix/drive_c/KxDustLinks
shm=/dev/shm/kx-dust-links-$(printf '%s' "$prefix" | cksum | cut -d' ' -f1)
# Drive T: is removed only when it is ours.
drop_drive() { [ "$(readlink "$prefix/dosdevices/t:" 2>/dev/null)" = "$shm" ] && rm -f "$prefix/dosdevices/t:"; return 0; }
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
    # Leftover folders that hold a link to a folder the sweep must never reach.
    mkdir -p "$root/Kept" "$root/Swept/sub"
    echo keep > "$root/Kept/keep.txt"
    echo data > "$root/Swept/data.txt"
    echo data > "$root/Swept/sub/more.txt"
    ln -s ../../Kept "$root/Swept/sub/dirlink"
    mkdir -p "$root/Centre/sub"
    ln -s ../../Kept "$root/Centre/sub/dirlink"
    drop_drive
    rm -rf "$shm"
    if [ -d /dev/shm ] && [ ! -e "$prefix/dosdevices/t:" ] && [ "$(stat -c %d /dev/shm)" != "$(stat -c %d "$prefix/drive_c")" ]; then
      mkdir -p "$shm/Swept/sub"
      echo data > "$shm/Swept/data.txt"
      echo data > "$shm/Swept/sub/more.txt"
      ln -s "$root/Kept" "$shm/Swept/sub/dirlink"
      ln -s "$shm" "$prefix/dosdevices/t:"
    fi
    desktops | while read -r d; do
      if [ -L "$d" ]; then echo "dust_links: $d links out of the prefix" >&2; exit 1; fi
      rm -f "$d/KxDustLinked"
      ln -s "$root/Shortcuts" "$d/KxDustLinked"
    done ;;
  remove)
    desktops | while read -r d; do [ -L "$d/KxDustLinked" ] && rm -f "$d/KxDustLinked"; done
    drop_drive
    rm -rf "$root" "$shm" ;;
esac
