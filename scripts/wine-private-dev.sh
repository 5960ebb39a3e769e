# Sourced at the top of the Wine test scripts: Wine lists the machine's own
# serial devices (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*) as COM ports beside
# the simulated modules' ptys, and a search would open them. No registry
# value switches that off (an empty value under Wine\Ports is listed too, and
# the device takes the next free number), so the tests run in a private mount
# namespace whose /dev is the machine's without those devices. Where no
# namespace can be made (no unshare, no rights), the tests run as before.
if [ -z "${KV9_WINE_PRIVATE_DEV:-}" ]; then
  if unshare --mount --propagation private true 2>/dev/null; then
    export KV9_WINE_PRIVATE_DEV=1
    exec unshare --mount --propagation private -- bash "$0" "$@"
  fi
  export KV9_WINE_PRIVATE_DEV=none
elif [ "$KV9_WINE_PRIVATE_DEV" = 1 ]; then
  KV9_WINE_PRIVATE_DEV=done
  kv9_machine_dev=$(mktemp -d /tmp/kv9-dev.XXXXXX)
  kv9_machine_pts=$(mktemp -d /tmp/kv9-pts.XXXXXX)
  # The machine's pty instance itself, taken first (a copy made through the
  # whole /dev shows an empty lower one): a pty's numbers are the
  # machine's, so the port component's search for other holders of a device
  # stays right.
  mount --bind /dev/pts "$kv9_machine_pts"
  mount --rbind /dev "$kv9_machine_dev"
  mount -t tmpfs -o mode=755 kv9-dev /dev
  for kv9_entry in "$kv9_machine_dev"/* "$kv9_machine_dev"/.[!.]*; do
    [ -e "$kv9_entry" ] || [ -L "$kv9_entry" ] || continue
    kv9_name=${kv9_entry##*/}
    case $kv9_name in ttyS[0-9]* | ttyUSB[0-9]* | ttyACM[0-9]* | pts | ptmx) continue ;; esac
    if [ -L "$kv9_entry" ]; then
      cp -P "$kv9_entry" "/dev/$kv9_name"
    elif [ -d "$kv9_entry" ]; then
      mkdir "/dev/$kv9_name" && mount --rbind "$kv9_entry" "/dev/$kv9_name"
    else
      : >"/dev/$kv9_name" && mount --bind "$kv9_entry" "/dev/$kv9_name"
    fi
  done
  mkdir /dev/pts
  mount --move "$kv9_machine_pts" /dev/pts
  # New ptys come from that instance's own multiplexer.
  ln -s pts/ptmx /dev/ptmx
  export KV9_WINE_PRIVATE_DEV
  unset kv9_entry kv9_name
fi
