#!/usr/bin/env bash
# Makes the seed inputs of the fuzz targets in <folder>/<target>/: small archives of
# every kind the reader meets (Info-ZIP plain, encrypted and streamed; Python's zipfile
# plain, Zip64, bzip2 and with a Unicode path field), job and definition lists in both
# encodings, .reg files as the registry store writes them, and the first page of each
# Jet fixture. Usage: make-fuzz-seeds.sh <folder>
set -euo pipefail
out=${1:?usage: make-fuzz-seeds.sh <folder>}
tests=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$out"
mkdir -p "$out"/{archive_reader_fuzz,aes_entry_fuzz,csv_table_fuzz,reg_file_fuzz,jet_header_fuzz}
out=$(cd "$out" && pwd)

# Archives: a text that deflates well, a few random bytes, an empty file, a subfolder.
files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
mkdir -p "$files/Schule/Noten"
for _ in $(seq 40); do printf 'Klasse Noten ' >>"$files/Schule/Liste.txt"; done
head -c 300 /dev/urandom >"$files/Schule/Noten/Foto.jpg"
: >"$files/Schule/leer.txt"
a="$out/archive_reader_fuzz"
(cd "$files" && zip -qr "$a/infozip.zip" . && zip -qr -P x "$a/infozip-password.zip" . \
    && zip -qr - . >"$a/infozip-streamed.zip")
for mode in "" zip64 bzip2; do
    python3 "$tests/zip/peers.py" make "$a/python${mode:+-$mode}.zip" "$files" $mode
done
python3 "$tests/zip/peers.py" make-upath "$a/python-upath.zip"

# AES entries with the password the AES target tries: stored and deflated, 128 and
# 256 bits, AE-1 (bsdtar) and AE-2 (7-Zip).
e="$out/aes_entry_fuzz"
sevenzip=$(command -v 7z || command -v 7zz)
(cd "$files" && "$sevenzip" a -tzip -mem=AES256 -px "$e/7zip-aes256.zip" . >/dev/null \
    && "$sevenzip" a -tzip -mx0 -mem=AES128 -px "$e/7zip-aes128-stored.zip" . >/dev/null \
    && bsdtar --format zip --options zip:encryption=aes256 --passphrase x -cf "$e/bsdtar-aes256.zip" Schule)

# CSV tables: the first byte picks the columns (1: job list, 0: definition list).
c="$out/csv_table_fuzz"
printf '\001BEZEICHNUNG:$255,ZIELVERZEICHNIS:$255,DEFINITIONSDATEI:$255,AUTOMATIK:!,BACKUPDATEI:$255\r\nVorlix-Backup,/opt/Vorlix/Backups,/var/opt/VorlixBackup/Vorlixbackup.csv,1,\r\n"Job, zwei","/srv/""b""",x.csv,0,Job_1.zip\r\n' >"$c/joblist.csv"
printf '\001BEZEICHNUNG:$255,ZIELVERZEICHNIS:$255,DEFINITIONSDATEI:$255,AUTOMATIK:!\r\nS\xfcdschule,/mnt/B\xe4nder,d.csv,-1\r\n' >"$c/joblist-cp1252.csv"
printf '\000NAME:$255,PFAD:$255,DATEIMASKE:$255,SICHERN:!,REKURSIV:!\r\nDaten,/opt/Vorlix/Daten,*.mdb;*.ldb,1,1\r\n"Mehr\r\nzeilig",/tmp,*.*,0,\r\n' >"$c/definitions.csv"
printf '\000\xef\xbb\xbfNAME:$255,PFAD:$255,DATEIMASKE:$255,SICHERN:!,REKURSIV:!\r\nB\xc3\xbcro \xe2\x82\xac,/home,*.txt,1,0\r\n' >"$c/definitions-utf8.csv"

# .reg files.
r="$out/reg_file_fuzz"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup]\n"STRATEGIE"=dword:00000002\n"Datenverzeichnis"="/home/sekretariat/Dokumente"\n@="x \\"y\\" \\\\z"\n\n[HKEY_CURRENT_USER\\Software\\Vorlix-Backup\\Fenster]\n"Zeilen"=hex(1):41,00,0a,00,42,00,00,00\n' >"$r/store.reg"
printf '\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n; kept\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"ProgramFilesDir"="/opt"\r\n"Liste"=hex(7):41,00,00,00,\\\r\n  42,00,00,00,00,00\r\n"Zahl"=hex(4):02,00,00,00\r\n' >"$r/machine.reg"

# Jet databases: the first page is all the header reader looks at.
for mdb in "$tests"/fixtures/jet/*.mdb; do
    head -c 4096 "$mdb" >"$out/jet_header_fuzz/$(basename "$mdb" .mdb)"
done
