#!/bin/sh
# Installs the Debian package into a fresh Debian 12 system (debootstrap, minbase) and
# uses it as an administrator would: --help and --version, then as a member of the
# group vorlixbackup (not root) a headless /BACKUP into the default target and a
# /RESTORE that must give back the saved tree byte for byte. Then it purges the package
# and checks that /opt is still there and nothing of the package is left but what the
# user made; a second install and purge without use must leave no folder at all.
#
# Needs root and Debian's package archive (debootstrap and apt fetch from MIRROR).
#   sudo packaging/check-in-chroot.sh [build/vorlixbackup_<version>_<arch>.deb]
# BASE keeps a pristine minbase system between runs (made on the first); every run
# works on a fresh copy of it in WORK.
set -eu

deb=${1:-$(ls build/vorlixbackup_*.deb | head -n 1)}
MIRROR=${MIRROR:-http://deb.debian.org/debian}
BASE=${BASE:-/var/tmp/vorlixbackup-chroot-base}
WORK=${WORK:-/var/tmp/vorlixbackup-chroot}

[ "$(id -u)" = 0 ] || { echo "needs root" >&2; exit 2; }
[ -f "$deb" ] || { echo "no package: $deb" >&2; exit 2; }

if [ ! -x "$BASE/usr/bin/apt-get" ]; then
    rm -rf "$BASE"
    debootstrap --variant=minbase bookworm "$BASE" "$MIRROR"
fi
rm -rf "$WORK"
cp -a "$BASE" "$WORK"
mount -t proc proc "$WORK/proc"
trap 'umount "$WORK/proc"' EXIT
cp "$deb" "$WORK/tmp/vorlixbackup.deb"

in_root() { chroot "$WORK" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
as_user() { in_root runuser -u lehrer -- env HOME=/home/lehrer "$@"; }
check() {  # check <description> <command...>: prints the result, counts failures
    if "$@"; then echo "ok:   $description"; else echo "FAIL: $description"; failures=$((failures + 1)); fi
}
failures=0

echo "== install"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/vorlixbackup.deb >/dev/null
in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' vorlixbackup
opt_before=$(in_root sh -c 'test -d /opt && echo present || echo absent')
in_root ls -ld /var/lib/vorlixbackup /var/backups/vorlixbackup

echo "== --help, --version"
in_root vorlixbackup --help | head -n 3
in_root vorlixbackup --version
description="--version exits 0 with the version"; check in_root sh -c 'vorlixbackup --version | grep -q "^VorlixBackup [0-9]"'

echo "== /BACKUP and /RESTORE as a member of the group vorlixbackup"
in_root useradd --create-home --shell /bin/sh lehrer
in_root adduser --quiet lehrer vorlixbackup
in_root id lehrer
as_user sh -c 'mkdir -p ~/Schule/Noten/Klasse\ 5 ~/Schule/Leer &&
    printf "Mathematik 2\r\n" > ~/Schule/Noten/Klasse\ 5/Müller.txt &&
    head -c 300000 /dev/urandom > ~/Schule/Noten/zufall.bin &&
    printf "Deutsch 1\n" > ~/Schule/notiz.txt'
as_user sh -c 'printf "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nSchule,/home/lehrer/Schule,*.*,1,1\r\n" > /var/lib/vorlixbackup/schule.csv &&
    printf "BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nSchule,/var/backups/vorlixbackup,/var/lib/vorlixbackup/schule.csv,1,\r\n" > /var/lib/vorlixbackup/Backupjobs.csv'
in_root cp -a /home/lehrer/Schule /root/Schule-Original
status=0; as_user vorlixbackup /BACKUP || status=$?
echo "/BACKUP exit status $status"
description="/BACKUP as a group member exits 0"; check test "$status" = 0
in_root ls -l /var/backups/vorlixbackup /var/lib/vorlixbackup
as_user rm -rf /home/lehrer/Schule/Noten /home/lehrer/Schule/notiz.txt
status=0; as_user vorlixbackup /RESTORE || status=$?
echo "/RESTORE exit status $status"
description="/RESTORE as a group member exits 0"; check test "$status" = 0
description="the restored tree equals the saved one"; check in_root diff -r /root/Schule-Original /home/lehrer/Schule

echo "== purge after use"
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq vorlixbackup >/dev/null
description="/opt is as before ($opt_before)"; check test "$(in_root sh -c 'test -d /opt && echo present || echo absent')" = "$opt_before"
description="the group vorlixbackup is gone"; check in_root sh -c '! getent group vorlixbackup'
description="no file of the package is left"; check in_root sh -c '! test -e /usr/bin/vorlixbackup && ! test -e /usr/share/vorlixbackup && ! test -e /usr/share/doc/vorlixbackup && ! dpkg-query -W vorlixbackup 2>/dev/null'
echo "left for the user to decide:"
in_root find /var/lib/vorlixbackup /var/backups/vorlixbackup -exec ls -ld {} +

echo "== install and purge without use"
in_root rm -rf /var/lib/vorlixbackup /var/backups/vorlixbackup
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/vorlixbackup.deb >/dev/null
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq vorlixbackup >/dev/null
description="no folder of the package is left"; check in_root sh -c '! test -e /var/lib/vorlixbackup && ! test -e /var/backups/vorlixbackup && ! getent group vorlixbackup'
description="/opt is as before ($opt_before)"; check test "$(in_root sh -c 'test -d /opt && echo present || echo absent')" = "$opt_before"

echo "== $failures failed"
[ "$failures" = 0 ]
