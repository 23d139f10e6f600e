#!/usr/bin/env python3
"""Deterministic benchmark dataset: a school-administration server's data folders.

Usage:
    make_dataset.py OUTDIR [--scale S] [--seed N] [--force]
    make_dataset.py OUTDIR --many-small [--seed N] [--force]
    make_dataset.py OUTDIR --touch-fraction F [--touch-also GLOB]... [--seed N]

The first form writes a new tree (about 400 MB at scale 1.0).  The same seed
and scale always give a byte-identical tree with identical mtimes.
The second form modifies a fraction F of the regular files of an existing tree
in place (content, size and mtime change), for incremental-backup benchmarks.
Only the Python standard library is used; memory stays bounded (a few MiB).
See DATASET.md beside this file for the composition.
"""

import argparse
import fnmatch
import hashlib
import os
import random
import shutil
import struct
import sys
import time

BASE_MTIME = 1710496800          # 2024-03-15 10:00:00 UTC, an even second
YEAR_S = 365 * 86400
CHUNK = 1 << 20
PAGE = 4096

# ---------------------------------------------------------------------------
# Determinism helpers.  Only random.Random(int).random() (Mersenne Twister,
# stable across Python 3 versions), float multiplication and SHAKE-128 are
# used, so the output does not depend on the Python version or the libm.
# ---------------------------------------------------------------------------


def seed_for(seed, *parts):
    text = "%d|%s" % (seed, "|".join(str(p) for p in parts))
    return int.from_bytes(hashlib.sha256(text.encode("utf-8")).digest()[:8], "little")


_SEED = ["1"]


def rand_bytes(key, n):
    """n incompressible bytes, deterministic for the seed and key (a str)."""
    if n <= 0:
        return b""
    return hashlib.shake_128(("%s|%s" % (_SEED[0], key)).encode("utf-8")).digest(n)


class Rng:
    __slots__ = ("rnd",)

    def __init__(self, s):
        self.rnd = random.Random(s).random

    def below(self, n):
        return int(self.rnd() * n)

    def between(self, a, b):
        return a + int(self.rnd() * (b - a + 1))

    def choice(self, seq):
        return seq[int(self.rnd() * len(seq))]

    def chance(self, p):
        return self.rnd() < p

    def skewed(self, lo, hi, power=3):
        """lo..hi, skewed towards lo (mean about lo + (hi-lo)/(power+1))."""
        u = self.rnd()
        v = u
        for _ in range(power - 1):
            v *= u
        return lo + int((hi - lo) * v)


# ---------------------------------------------------------------------------
# Vocabulary
# ---------------------------------------------------------------------------

WORDS = (
    "der die das und mit für von zum zur bei nach über unter wird werden ist sind "
    "hat haben wurde wurden nicht auch noch sowie gemäß laut bitte bis zum "
    "Schüler Schülerin Klasse Klassenlehrer Klassenlehrerin Lehrkraft Schulleitung "
    "Sekretariat Zeugnis Zeugnisse Halbjahr Schuljahr Unterricht Stundenplan "
    "Vertretung Fehlzeiten Entschuldigung Elternbrief Eltern Erziehungsberechtigte "
    "Konferenz Protokoll Beschluss Antrag Genehmigung Anmeldung Abmeldung Versetzung "
    "Förderung Prüfung Klassenarbeit Notenliste Fachnote Durchschnitt Mathematik "
    "Deutsch Englisch Französisch Biologie Chemie Physik Geschichte Erdkunde Sport "
    "Musik Kunst Religion Ethik Informatik Wahlpflichtfach Arbeitsgemeinschaft "
    "Wandertag Klassenfahrt Elternabend Sprechtag Hausaufgaben Termin Frist Datum "
    "Raum Gebäude Turnhalle Mensa Bibliothek Verwaltung Schulträger Schulamt "
    "Datenschutz Einverständnis Unterschrift Bescheinigung Nachweis Bestätigung "
    "regelmäßig pünktlich vollständig erfolgreich ausreichend befriedigend gut "
    "sehr mangelhaft ungenügend schriftlich mündlich verbindlich freiwillig "
    "zuständig beigefügt eingegangen geprüft erledigt vorgelegt beantragt "
    "genehmigt mitgeteilt vereinbart festgelegt berücksichtigt übermittelt "
    "Montag Dienstag Mittwoch Donnerstag Freitag Januar Februar März April Mai "
    "Juni Juli August September Oktober November Dezember Woche Stunde Pause"
).split()

VORNAMEN = (
    "Lukas Leon Finn Jonas Noah Elias Paul Ben Felix Luis Maximilian Henry Emil "
    "Anton Jakob Moritz Julian Niklas Tim Jan Mia Emma Hannah Sofia Anna Lea Lena "
    "Marie Emilia Lina Clara Leonie Johanna Amelie Laura Lara Sophie Charlotte "
    "Jana Nele Jürgen Björn Sören Jörg Günther Käthe Gülsen Özlem Ümit Zoë"
).split()

NACHNAMEN = (
    "Müller Schmidt Schneider Fischer Weber Meyer Wagner Becker Schulz Hoffmann "
    "Schäfer Koch Bauer Richter Klein Wolf Schröder Neumann Schwarz Zimmermann "
    "Braun Krüger Hofmann Hartmann Lange Schmitt Werner Schmitz Krause Meier "
    "Lehmann Schmid Schulze Maier Köhler Herrmann König Walter Mayer Huber Kaiser "
    "Fuchs Peters Lang Scholz Möller Weiß Jung Hahn Schubert Vogel Friedrich "
    "Keller Günther Frank Berger Winkler Roth Beck Lorenz Baumann Franke Albrecht "
    "Schuster Simon Ludwig Böhm Winter Kraus Martin Schumacher Krämer Vogt Stein "
    "Jäger Otto Sommer Groß Seidel Heinrich Brandt Haas Schreiber Graf Yılmaz"
).split()

STRASSEN = (
    "Hauptstraße Schulstraße Gartenstraße Bahnhofstraße Dorfstraße Bergstraße "
    "Birkenweg Lindenstraße Kirchstraße Waldstraße Ringstraße Schillerstraße "
    "Goethestraße Mühlenweg Am Anger Wiesengrund Rosenweg Eichendorffstraße "
    "Friedhofstraße Mozartstraße Ahornweg Lessingstraße Brückenstraße"
).split()

ORTE = (
    "Mühlhausen Neustadt Königsbrück Lüdenscheid Großenhain Bad Tölz Fürth "
    "Göttingen Lübeck Würzburg Düren Passau Jülich Lörrach Gütersloh Nürtingen"
).split()

FAECHER = ("D", "M", "E", "F", "BIO", "CH", "PH", "GE", "EK", "SP", "MU", "KU", "REL", "INF")

INI_KEYS = (
    "Pfad", "Datenbank", "Server", "Drucker", "Sprache", "Fenster", "Schriftart",
    "Farbe", "LetzterBenutzer", "Sicherung", "Intervall", "Protokoll", "Modus",
    "Version", "Schulnummer", "Schuljahr", "Halbjahr", "Vorlage", "Export", "Import",
)

CP = "cp1252"
CRLF = "\r\n"

# ---------------------------------------------------------------------------
# Output bookkeeping
# ---------------------------------------------------------------------------


class Tree:
    def __init__(self, root, seed):
        self.root = root
        self.seed = seed
        self.stats = {}          # category -> [count, bytes]
        self.dirs = set()

    def path(self, rel):
        return os.path.join(self.root, *rel.split("/"))

    def _prepare(self, rel):
        d = os.path.dirname(self.path(rel))
        if d not in self.dirs:
            os.makedirs(d, exist_ok=True)
            self.dirs.add(d)

    def _finish(self, rel, category, size, rng):
        t = BASE_MTIME - 2 * rng.below(YEAR_S // 2)
        os.utime(self.path(rel), (t, t))
        st = self.stats.setdefault(category, [0, 0])
        st[0] += 1
        st[1] += size

    def rng(self, rel):
        return Rng(seed_for(self.seed, "file", rel))

    def write(self, rel, category, data):
        self._prepare(rel)
        with open(self.path(rel), "wb") as f:
            f.write(data)
        self._finish(rel, category, len(data), self.rng(rel + "#mtime"))

    def write_stream(self, rel, category, chunks):
        self._prepare(rel)
        n = 0
        with open(self.path(rel), "wb") as f:
            for c in chunks:
                f.write(c)
                n += len(c)
        self._finish(rel, category, n, self.rng(rel + "#mtime"))


# ---------------------------------------------------------------------------
# Text-like content
# ---------------------------------------------------------------------------


class Text:
    """Sentence pool plus helpers, shared by every text generator."""

    def __init__(self, seed):
        r = Rng(seed_for(seed, "sentence-pool"))
        pool = []
        for _ in range(4096):
            n = r.between(5, 16)
            words = [r.choice(WORDS) for _ in range(n)]
            s = " ".join(words)
            if r.chance(0.25):
                s += " am %02d.%02d.%04d" % (r.between(1, 28), r.between(1, 12), r.between(2019, 2024))
            if r.chance(0.15):
                s += " (%s %s, Klasse %d%s)" % (r.choice(VORNAMEN), r.choice(NACHNAMEN),
                                               r.between(5, 10), "abcd"[r.below(4)])
            pool.append(s[0].upper() + s[1:] + ".")
        self.pool = pool

    def paragraph(self, r, sentences):
        p = self.pool
        return " ".join([p[r.below(4096)] for _ in range(sentences)])

    def body(self, r, target):
        """Plain paragraphs until about target characters."""
        out = []
        n = 0
        while n < target:
            par = self.paragraph(r, r.between(2, 7))
            out.append(par)
            n += len(par) + 4
        return (CRLF + CRLF).join(out)


def person(r):
    return r.choice(NACHNAMEN), r.choice(VORNAMEN)


def date(r, y0=2019, y1=2024):
    return "%02d.%02d.%04d" % (r.between(1, 28), r.between(1, 12), r.between(y0, y1))


def letter(text, r, size, title):
    nach, vor = person(r)
    head = [
        "Städtische Gesamtschule Mühlhausen", "Sekretariat - Schulstraße 12 - 99974 Mühlhausen",
        "", "Familie %s" % nach, "%s %d" % (r.choice(STRASSEN), r.between(1, 120)),
        "%05d %s" % (r.between(1000, 99999), r.choice(ORTE)), "", "Mühlhausen, den %s" % date(r), "",
        "Betreff: %s" % title, "", "Sehr geehrte Familie %s," % nach, "",
    ]
    tail = ["", "Mit freundlichen Grüßen", "", "i. A. %s %s" % person(r)[::-1], "Klassenleitung", ""]
    body = text.body(r, max(0, size - 400))
    return (CRLF.join(head) + CRLF + body + CRLF + CRLF.join(tail)).encode(CP, "replace")


def protocol_html(text, r, size, title):
    out = [
        '<!DOCTYPE html>', '<html lang="de">', '<head>', '<meta charset="utf-8">',
        '<title>%s</title>' % title,
        '<style>body{font-family:Arial,sans-serif;font-size:10pt} table{border-collapse:collapse}'
        ' td,th{border:1px solid #999;padding:2px 6px}</style>',
        '</head>', '<body>', '<h1>%s</h1>' % title,
        '<p class="meta">Datum: %s &ndash; Protokoll: %s %s</p>' % ((date(r),) + person(r)),
    ]
    n = sum(len(x) for x in out)
    while n < size:
        if r.chance(0.45):
            rows = ['<table>', '<tr><th>Nr.</th><th>Name</th><th>Vorname</th>'
                    + "".join("<th>%s</th>" % f for f in FAECHER[:8]) + '<th>Bemerkung</th></tr>']
            for i in range(r.between(8, 30)):
                nach, vor = person(r)
                rows.append('<tr><td>%d</td><td>%s</td><td>%s</td>%s<td>%s</td></tr>' % (
                    i + 1, nach, vor, "".join("<td>%d</td>" % r.between(1, 6) for _ in range(8)),
                    r.choice(("", "", "versetzt", "Förderplan", "Nachprüfung", "entschuldigt"))))
            rows.append('</table>')
            block = "\n".join(rows)
        else:
            block = '<h2>TOP %d: %s</h2>\n<p>%s</p>' % (r.between(1, 12), r.choice(WORDS).capitalize(),
                                                      text.paragraph(r, r.between(3, 9)))
        out.append(block)
        n += len(block) + 1
    out += ['</body>', '</html>', '']
    return "\n".join(out).encode("utf-8")


def student_ini(r, ident):
    nach, vor = person(r)
    lines = [
        "[Schueler]", "ID=%d" % ident, "Name=%s" % nach, "Vorname=%s" % vor,
        "Geburtsdatum=%s" % date(r, 2006, 2016), "Strasse=%s %d" % (r.choice(STRASSEN), r.between(1, 99)),
        "PLZ=%05d" % r.between(1000, 99999), "Ort=%s" % r.choice(ORTE),
        "Telefon=0%d/%d" % (r.between(30, 9999), r.between(10000, 9999999)),
        "Konfession=%s" % r.choice(("ev", "rk", "ohne", "isl", "")), "", "[Kurse]",
    ]
    for f in FAECHER:
        if r.chance(0.7):
            lines.append("%s=%s;%d;%d" % (f, r.choice(("G", "E", "LK", "GK")), r.between(1, 6), r.between(1, 6)))
    lines += ["", "[Status]", "Aktiv=%d" % r.below(2), "Geaendert=%s" % date(r), ""]
    return CRLF.join(lines).encode(CP, "replace")


def config_ini(r, size):
    lines = []
    n = 0
    while n < size:
        sec = "[%s%s]" % (r.choice(INI_KEYS), r.choice(("", "", "Optionen", "Pfade", "Druck")))
        lines.append(sec)
        for _ in range(r.between(3, 14)):
            k = r.choice(INI_KEYS)
            v = r.choice((
                "C:\\Programme\\Schulverwaltung\\%s" % r.choice(WORDS),
                "\\\\server\\daten\\%s.mdb" % r.choice(NACHNAMEN), str(r.between(0, 5000)),
                "Ja", "Nein", date(r), "%s %s" % person(r), "Arial,%d" % r.between(8, 14)))
            lines.append("%s%d=%s" % (k, r.below(10), v))
        lines.append("")
        n += sum(len(x) for x in lines[-16:])
    return CRLF.join(lines).encode(CP, "replace")


def csv_export(r, size, year):
    cols = "ID;Nachname;Vorname;Geburtsdatum;Klasse;Strasse;PLZ;Ort;Telefon;Konfession;Eintritt;Notenschnitt"
    lines = [cols]
    n = len(cols)
    ident = r.between(1000, 5000)
    while n < size:
        ident += r.between(1, 3)
        nach, vor = person(r)
        line = '%d;"%s";"%s";%s;%d%s;"%s %d";%05d;"%s";0%d/%d;%s;%s;%d,%02d' % (
            ident, nach, vor, date(r, 2005, 2016), r.between(5, 13), "abcd"[r.below(4)],
            r.choice(STRASSEN), r.between(1, 150), r.between(1000, 99999), r.choice(ORTE),
            r.between(30, 9999), r.between(10000, 9999999), r.choice(("ev", "rk", "ohne", "isl")),
            date(r, year - 8, year), r.between(1, 5), r.below(100))
        lines.append(line)
        n += len(line) + 2
    lines.append("")
    return CRLF.join(lines).encode(CP, "replace")


def log_file(text, r, size):
    lines = []
    n = 0
    t = BASE_MTIME - r.below(YEAR_S)
    users = ("verwaltung", "sekretariat", "schulleitung", "admin", "lehrer%02d" % r.below(40))
    while n < size:
        t += r.between(1, 900)
        tm = time.gmtime(t)
        kind = r.below(10)
        if kind < 6:
            msg = "INFO  Benutzer %s: %s geöffnet (PC-VERW-%02d)" % (r.choice(users), r.choice(WORDS), r.between(1, 12))
        elif kind < 8:
            msg = "INFO  Datensatz %d in Tabelle %s gespeichert" % (r.between(1, 99999), r.choice(FAECHER))
        elif kind < 9:
            msg = "WARN  Sperre auf %s.mdb, Wiederholung %d" % (r.choice(("Schueler", "Noten", "Stammdaten")), r.between(1, 5))
        else:
            msg = "DEBUG " + text.pool[r.below(4096)]
        line = "%04d-%02d-%02d %02d:%02d:%02d %s" % (tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, msg)
        lines.append(line)
        n += len(line) + 2
    lines.append("")
    return CRLF.join(lines).encode(CP, "replace")


# ---------------------------------------------------------------------------
# Binary content
# ---------------------------------------------------------------------------


def record_pool(seed, text, count):
    """Fixed-layout, Jet-like table records (UTF-16LE text columns)."""
    r = Rng(seed_for(seed, "record-pool"))
    pool = []
    for i in range(count):
        nach, vor = person(r)
        strasse = "%s %d" % (r.choice(STRASSEN), r.between(1, 150))
        ort = r.choice(ORTE)
        fixed = struct.pack("<IIHHdB", 100000 + i, r.between(1, 9999), r.between(5, 13), r.below(4),
                            36000.0 + r.below(6000), r.below(256))
        grades = bytes(r.between(1, 6) for _ in range(12))
        guid = rand_bytes("guid:%d" % i, 16)
        memo = b""
        if r.chance(0.3):
            memo = text.pool[r.below(4096)][: r.between(10, 120)].encode(CP, "replace")
        cols = [c.encode("utf-16-le") for c in (nach, vor, strasse, ort)]
        var = b"".join(struct.pack("<H", len(c)) + c for c in cols)
        rec = fixed + grades + guid + var + struct.pack("<H", len(memo)) + memo
        if r.chance(0.5):
            rec += bytes(r.between(0, 24))                  # fixed-width padding
        pool.append(rec)
    return pool


def db_pages(key, size, pool, seed):
    """Yields ~1 MiB chunks of a page-structured database file of `size` bytes."""
    r = Rng(seed_for(seed, "db", key))
    npages = max(2, size // PAGE)
    header = b"SCHUL-DB\x00\x01" + struct.pack("<IIII", PAGE, npages, r.between(1, 1 << 30), 4) + b"Schulverwaltung Datenbank\x00"
    header += bytes(range(256)) * 2                          # "key table"
    header += rand_bytes("%s:hdr" % key, 128)
    first = header + bytes(PAGE - len(header))
    plen = len(pool)
    buf = [first]
    blen = PAGE
    key_base = r.between(1, 1000)
    for pno in range(1, npages):
        k = r.rnd()
        if k < 0.66:                                          # data page
            recs = []
            used = 14
            while True:
                rec = pool[int(r.rnd() * plen)]
                if used + len(rec) + 2 > PAGE - 64:
                    break
                recs.append(rec)
                used += len(rec) + 2
            offs = []
            pos = PAGE
            for rec in recs:
                pos -= len(rec)
                offs.append(pos)
            hdr = struct.pack("<HHIIH", 0x0101, pos - 14 - 2 * len(recs), pno, r.between(2, 40), len(recs))
            hdr += struct.pack("<%dH" % len(offs), *offs)
            recs.reverse()
            page = hdr + bytes(pos - len(hdr)) + b"".join(recs)
        elif k < 0.78:                                        # index page
            ents = []
            for _ in range(340):
                key_base += r.between(1, 7)
                ents.append(struct.pack("<IIB", key_base, r.between(1, npages), r.below(64)))
            body = b"".join(ents)
            page = struct.pack("<HHI", 0x0104, 0, pno) + body
            page += bytes(PAGE - len(page))
        elif k < 0.94:                                        # memo / OLE page: photos, attachments
            page = struct.pack("<HHI", 0x0105, 0, pno) + rand_bytes("%s:%d" % (key, pno), PAGE - 8)
        else:                                                 # free page
            page = struct.pack("<HHI", 0x0100, 0, pno) + bytes(PAGE - 8)
        buf.append(page)
        blen += PAGE
        if blen >= CHUNK:
            yield b"".join(buf)
            buf = []
            blen = 0
    if buf:
        yield b"".join(buf)


JPEG_HEAD = (b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x01\x00\x48\x00\x48\x00\x00"
             b"\xff\xe1\x00\x40Exif\x00\x00II*\x00\x08\x00\x00\x00")


def jpeg_chunks(key, size):
    head = JPEG_HEAD + bytes(0x40 - 8) + b"\xff\xdb\x00\x43\x00"
    yield head
    left = size - len(head) - 2
    i = 0
    while left > 0:
        n = min(CHUNK, left)
        yield rand_bytes("%s:%d" % (key, i), n)
        left -= n
        i += 1
    yield b"\xff\xd9"


def template(text, r, key, size, kind):
    """Report / letter templates: DFM-like object text plus embedded logo bitmaps."""
    out = [("object %sReport: T%sReport\r\n  PrinterSetup.PaperName = 'A4'\r\n"
            "  Template.Version = '%d.%d'\r\n" % (kind, kind, r.between(5, 12), r.below(10))).encode(CP)]
    n = len(out[0])
    gradient = bytes((i * 7) & 0xFF for i in range(1024))
    while n < size:
        c = r.rnd()
        if c < 0.7:
            obj = ("  object %s%d: Tpp%s\r\n    Left = %d\r\n    Top = %d\r\n    Width = %d\r\n"
                   "    Height = %d\r\n    Font.Name = 'Arial'\r\n    Font.Size = %d\r\n"
                   "    Caption = '%s'\r\n    DataField = '%s'\r\n  end\r\n") % (
                r.choice(("Label", "DBText", "Line", "Shape", "Memo")), r.below(500),
                r.choice(("Label", "DBText", "Line", "Shape", "Memo")), r.below(20000),
                r.below(29000), r.between(100, 9000), r.between(100, 2000), r.between(6, 16),
                text.pool[r.below(4096)][:60], r.choice(INI_KEYS))
            b = obj.encode(CP, "replace")
        elif c < 0.85:                                        # embedded bitmap: gradients with noise
            rows = []
            for y in range(r.between(16, 96)):
                off = r.below(512)
                rows.append(gradient[off:off + r.between(128, 480)])
                if r.chance(0.3):
                    rows.append(rand_bytes("%s:n:%d:%d" % (key, n, y), r.between(8, 64)))
            b = b"  Picture.Data = {" + b"".join(rows) + b"}\r\n"
        else:                                                 # compressed thumbnail / font blob
            b = b"  Blob = {" + rand_bytes("%s:b:%d" % (key, n), r.between(512, 8192)) + b"}\r\n"
        out.append(b)
        n += len(b)
    out.append(b"end\r\n")
    return b"".join(out)


# ---------------------------------------------------------------------------
# The tree
# ---------------------------------------------------------------------------


def scaled(n, scale):
    return max(1, int(n * scale + 0.5))


def classes():
    for grade in range(5, 11):
        for letter_ in "abcd":
            yield "Klasse_%d%s" % (grade, letter_)


def generate(root, scale, seed):
    tree = Tree(root, seed)
    text = Text(seed)

    # Hidden dotfile
    r = tree.rng(".sync_state")
    tree.write(".sync_state", "config (INI, dotfile)",
               ("[Sync]\r\nLetzterLauf=%s\r\nZaehler=%d\r\n" % (date(r), r.below(99999))).encode(CP))

    # Databases: a few large ones, some small auxiliary ones
    pool = record_pool(seed, text, 20000)
    big = [("DB/Schüler.mdb", 80), ("DB/Noten.mdb", 48), ("DB/Stammdaten.mdb", 36),
           ("DB/Stundenplan.mdb", 24), ("DB/Verwaltung.mdb", 20)]
    for rel, mb in big:
        tree.write_stream(rel, "database (.mdb, large)",
                          db_pages(rel, max(256 << 10, int(mb * scale * (1 << 20)) // PAGE * PAGE), pool, seed))
    for i, name in enumerate(("Temp", "Import", "Kataloge", "Orte", "Archiv/Altdaten_2019", "Archiv/Altdaten_2020")):
        rel = "DB/Hilfstabellen/%s.mdb" % name if "/" not in name else "DB/%s.mdb" % name
        r = tree.rng(rel)
        size = int(r.between(512, 4096) * 1024 * scale) // PAGE * PAGE
        tree.write_stream(rel, "database (.mdb, small)", db_pages(rel, max(4 * PAGE, size), pool, seed))

    # Configuration
    for i in range(scaled(24, scale)):
        rel = "Config/%s_%02d.ini" % (INI_KEYS[i % len(INI_KEYS)], i)
        r = tree.rng(rel)
        tree.write(rel, "config (INI, dotfile)", config_ini(r, r.skewed(300, 12000)))
    for i in range(scaled(12, scale)):
        rel = "Config/Arbeitsplätze/PC-VERW-%02d.ini" % (i + 1)
        r = tree.rng(rel)
        tree.write(rel, "config (INI, dotfile)", config_ini(r, r.skewed(300, 4000)))
    r = tree.rng("Config/Größentabelle.ini")
    tree.write("Config/Größentabelle.ini", "config (INI, dotfile)", config_ini(r, 2500))

    # Documents: school year / class / kind [/ subkind]
    ndirs = scaled(96, scale)
    years = []
    y = 2024
    while len(years) * 24 < ndirs:
        years.append("Schuljahr_%d-%02d" % (y - 1, y % 100))
        y -= 1
    done = 0
    ident = 1000
    for year in years:
        for cls in classes():
            if done >= ndirs:
                break
            done += 1
            base = "Dokumente/%s/%s" % (year, cls)
            for i in range(15):
                rel = "%s/Briefe/Elternbrief_%03d.txt" % (base, i + 1)
                r = tree.rng(rel)
                tree.write(rel, "documents (TXT, HTML, INI)", letter(text, r, r.skewed(2000, 20000), r.choice(WORDS).capitalize()))
            for i in range(8):
                rel = "%s/Protokolle/Protokoll_%02d.html" % (base, i + 1)
                r = tree.rng(rel)
                tree.write(rel, "documents (TXT, HTML, INI)", protocol_html(text, r, r.skewed(5000, 80000), "Protokoll %s %s" % (cls, year)))
            for i in range(4):
                rel = "%s/Protokolle/Konferenzen/Konferenz_%02d.txt" % (base, i + 1)
                r = tree.rng(rel)
                tree.write(rel, "documents (TXT, HTML, INI)", text.body(r, r.skewed(3000, 30000)).encode(CP, "replace"))
            for i in range(12):
                ident += 1
                rel = "%s/Schueler/Schueler_%05d.ini" % (base, ident)
                r = tree.rng(rel)
                tree.write(rel, "documents (TXT, HTML, INI)", student_ini(r, ident))
    specials = [
        ("Dokumente/Zeugnisübersicht.html", lambda r: protocol_html(text, r, 60000, "Zeugnisübersicht")),
        ("Dokumente/Notenschlüssel.txt", lambda r: text.body(r, 4000).encode(CP, "replace")),
        ("Dokumente/Prüfungsplan März.txt", lambda r: text.body(r, 9000).encode(CP, "replace")),
    ]
    for rel, fn in specials:
        tree.write(rel, "documents (TXT, HTML, INI)", fn(tree.rng(rel)))

    # CSV exports: ten a school year, and the number of years already grows with the
    # scale, so each export's size follows the scale only as far as the years do not
    # (at scale 1 there are four years and the factor is 1).
    export_size = scale * 4 / len(years)
    for yi, year in enumerate(years):
        for i, name in enumerate(("Schuelerliste", "Adressen", "Notenexport", "Kurswahl", "Fehlzeiten",
                                  "Lehrer", "Raeume", "Stundenplan", "Statistik", "Elternbeiräte")):
            rel = "Export/%s/%s.csv" % (year, name)
            r = tree.rng(rel)
            tree.write(rel, "exports (CSV)", csv_export(r, int(r.skewed(40000, 2200000) * export_size), 2024 - yi))
    r = tree.rng("Export/Straßenverzeichnis.csv")
    tree.write("Export/Straßenverzeichnis.csv", "exports (CSV)", csv_export(r, int(300000 * scale), 2024))

    # Logs
    for i in range(scaled(60, scale)):
        rel = "Logs/%s/Protokoll_%03d.log" % (("2023", "2024")[i % 2], i + 1)
        r = tree.rng(rel)
        tree.write(rel, "logs (LOG)", log_file(text, r, r.skewed(5000, 520000)))

    # Report and letter templates
    kinds = [("Zeugnisse", "rtm", "Zeugnis"), ("Listen", "wpl", "Liste"), ("Listen", "vpl", "Liste"),
             ("Serienbriefe", "vp", "Brief"), ("Formulare", "blo", "Formular")]
    for i in range(scaled(110, scale)):
        folder, ext, kind = kinds[i % len(kinds)]
        sub = "Berichte/%s/%s" % (folder, ("Standard", "Schule", "Archiv")[i % 3])
        rel = "%s/%s_%03d.%s" % (sub, kind, i + 1, ext)
        r = tree.rng(rel)
        tree.write(rel, "report templates (RTM, WPL, VPL, VP, BLO)", template(text, r, rel, r.skewed(10000, 1500000), kind))

    # Media (incompressible)
    for i in range(scaled(300, scale)):
        if i % 6 == 5:
            rel = "Bilder/Schulhaus/Foto_%04d.jpg" % (i + 1)
        else:
            rel = "Bilder/Schuelerfotos/%d/IMG_%05d.jpg" % (2021 + i % 4, 1000 + i)
        r = tree.rng(rel)
        tree.write_stream(rel, "media (JPG, random bytes)", jpeg_chunks(rel, r.skewed(20000, 900000)))

    # Fixed folder times, deepest first
    dirs = [dp for dp, _, _ in os.walk(root)]
    for d in sorted(dirs, key=lambda p: (-p.count(os.sep), p)):
        os.utime(d, (BASE_MTIME, BASE_MTIME))
    return tree.stats


# ---------------------------------------------------------------------------
# Touch mode
# ---------------------------------------------------------------------------


def many_small(root, seed, folders=100, per_folder=1000):
    """folders x per_folder short text files of 10-1,000 bytes, about 110 on average
    (11 MB in all): the case where the work grows with the number of files."""
    tree = Tree(root, seed)
    text = Text(seed)
    for d in range(folders):
        for n in range(per_folder):
            rel = "Klasse_%03d/Notiz_%04d.txt" % (d, n)
            r = tree.rng(rel)
            size = r.skewed(10, 1000, power=9)
            data = text.body(r, size).encode(CP, "replace")[:size]
            data += b"." * (size - len(data))
            tree.write(rel, "many small files", data)
    for d in set(tree.dirs):
        os.utime(d, (BASE_MTIME, BASE_MTIME))
    return tree.stats


def list_files(root):
    out = []
    for dirpath, dirnames, filenames in os.walk(root):
        for n in filenames:
            p = os.path.join(dirpath, n)
            if os.path.isfile(p) and not os.path.islink(p):
                out.append(os.path.relpath(p, root).replace(os.sep, "/"))
    out.sort(key=lambda s: s.encode("utf-8", "surrogateescape"))
    return out


def touch(root, fraction, seed, also=()):
    files = list_files(root)
    if not files:
        sys.exit("no files under %s" % root)
    sizes = [os.stat(os.path.join(root, f)).st_size for f in files]
    total = sum(sizes)
    k = min(len(files), max(1, int(fraction * len(files) + 0.5))) if fraction > 0 else 0
    # The tree's state (count, bytes) is part of the seed: a second touch picks other files.
    r = Rng(seed_for(seed, "touch", repr(fraction), len(files), total))
    idx = list(range(len(files)))
    for i in range(k):                                          # partial Fisher-Yates
        j = i + r.below(len(idx) - i)
        idx[i], idx[j] = idx[j], idx[i]
    chosen = set(idx[:k])
    for pat in also:                                            # forced picks, e.g. a database
        chosen.update(i for i, f in enumerate(files) if fnmatch.fnmatchcase(f, pat))
    text = Text(seed)
    changed = 0
    touched_bytes = 0
    for i in sorted(chosen):
        rel = files[i]
        p = os.path.join(root, rel)
        st = os.stat(p)
        fr = Rng(seed_for(seed, "touch-file", rel, st.st_size, st.st_mtime_ns))
        ext = rel.rsplit(".", 1)[-1].lower() if "." in rel.rsplit("/", 1)[-1] else ""
        if ext in ("txt", "ini", "csv", "log", "html", "sync_state"):
            add = (CRLF + text.body(fr, fr.between(40, 3000)) + CRLF).encode(CP if ext != "html" else "utf-8", "replace")
            with open(p, "ab") as f:
                f.write(add)
            delta = len(add)
        elif ext == "jpg":                                      # a new photo replaces the old one
            size = fr.skewed(20000, 900000)
            with open(p, "wb") as f:
                for c in jpeg_chunks("%s:touch:%d" % (rel, st.st_mtime_ns), size):
                    f.write(c)
            delta = size - st.st_size
        else:                                                   # databases, templates: rewrite pages, append one
            with open(p, "r+b") as f:
                npages = max(1, st.st_size // PAGE)
                for n in range(fr.between(1, 8)):
                    pg = fr.below(npages)
                    f.seek(pg * PAGE + 16)
                    f.write(rand_bytes("%s:t:%d:%d" % (rel, st.st_mtime_ns, n), min(PAGE - 16, max(0, st.st_size - pg * PAGE - 16))))
                f.seek(0, os.SEEK_END)
                tail = struct.pack("<HHI", 0x0101, 0, npages) + rand_bytes("%s:tail:%d" % (rel, st.st_mtime_ns), PAGE - 8)
                f.write(tail)
            delta = PAGE
        t = (st.st_mtime_ns // 1_000_000_000) + 86400
        t -= t % 2
        os.utime(p, (t, t))
        changed += 1
        touched_bytes += os.stat(p).st_size
        print("touched %s (%+d bytes)" % (rel, delta))
    print("touched %d of %d files; they now hold %d bytes" % (changed, len(files), touched_bytes))


# ---------------------------------------------------------------------------


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("outdir")
    ap.add_argument("--scale", type=float, default=1.0, help="size factor (1.0 = about 400 MB)")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--force", action="store_true", help="delete OUTDIR first if it exists")
    ap.add_argument("--many-small", action="store_true",
                    help="write 100 folders of 1,000 files of 10-1,000 bytes instead of the school data")
    ap.add_argument("--touch-fraction", type=float, default=None, metavar="F",
                    help="modify fraction F of the files of an existing tree instead of generating")
    ap.add_argument("--touch-also", action="append", default=[], metavar="GLOB",
                    help="with --touch-fraction: also modify the files whose relative path matches GLOB"
                         " (fnmatch, case-sensitive, '/' separators; repeatable), e.g. 'DB/Noten.mdb'")
    a = ap.parse_args()
    _SEED[0] = str(a.seed)
    root = os.path.abspath(a.outdir)
    if a.touch_fraction is not None:
        if not os.path.isdir(root):
            sys.exit("%s is not a directory" % root)
        if not 0.0 <= a.touch_fraction <= 1.0:
            sys.exit("--touch-fraction must be within 0..1")
        touch(root, a.touch_fraction, a.seed, a.touch_also)
        return
    if a.scale <= 0:
        sys.exit("--scale must be positive")
    if os.path.exists(root) and os.listdir(root):
        if not a.force:
            sys.exit("%s exists and is not empty (use --force to replace it)" % root)
        shutil.rmtree(root)
    os.makedirs(root, exist_ok=True)
    t0 = time.time()
    stats = many_small(root, a.seed) if a.many_small else generate(root, a.scale, a.seed)
    tc = tb = 0
    print("%-44s %7s %14s" % ("category", "files", "bytes"))
    for cat in sorted(stats):
        c, b = stats[cat]
        tc += c
        tb += b
        print("%-44s %7d %14d" % (cat, c, b))
    print("%-44s %7d %14d   (%.1f s)" % ("total", tc, tb, time.time() - t0))


if __name__ == "__main__":
    main()
