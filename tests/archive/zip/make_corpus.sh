#!/usr/bin/env bash
# Makes the interoperability corpus in $1: a source tree (src/) and the archives that
# the system's zip tools make of it. Every archive extracts to exactly src/, but for the
# volumes, which are refused.
set -euo pipefail
out=$1
rm -rf "$out"
mkdir -p "$out/src/docs/deep/er" "$out/src/empty folder" "$out/src/bin"
cd "$out/src"
python3 - <<'PY'
import os, random
random.seed(4)
words = [b"Morgen ", b"Update ", b"Archiv ", b"Quillmoor ", b"\r\n", b"Version 3.04 ", b"Datei "]
def text(n):
    out = bytearray()
    while len(out) < n: out += random.choice(words)
    return bytes(out[:n])
open("readme.txt", "wb").write(text(5000))
open("docs/manual.txt", "wb").write(text(300000))
open("docs/deep/er/nested.ini", "wb").write(b"[settings]\r\nport=2050\r\n")
open("bin/random.bin", "wb").write(os.urandom(700000))
open("bin/exact1024.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(1024)))
open("bin/exact65536.bin", "wb").write(text(65536))
open("empty.txt", "wb").write(b"")
open("bin/mixed.dat", "wb").write(text(100000) + os.urandom(50000) + bytes(80000))
PY
chmod 444 docs/deep/er/nested.ini
# Dates the tests check: DOS time has two-second steps.
find . -type f -exec touch -d '2024-03-05 14:22:36' {} +
touch -d '2023-11-30 08:00:10' readme.txt
cd "$out"
(cd src && zip -q -r -X ../zip_deflate.zip .)
(cd src && zip -q -r ../zip_extras.zip .)
(cd src && zip -q -r -0 ../zip_store.zip .)
(cd src && zip -q -r -P "geheim 1" ../zip_password.zip .)
(cd src && 7z a -bd -y -tzip -mm=Deflate ../7z_deflate.zip . >/dev/null)
(cd src && 7z a -bd -y -tzip -mm=Deflate64 ../7z_deflate64.zip . >/dev/null)
(cd src && 7z a -bd -y -tzip -mm=Deflate -mem=ZipCrypto -p"geheim 1" ../7z_zipcrypto.zip . >/dev/null)
# Streaming writes: sizes and CRC follow the data in descriptors, also of a stored entry.
python3 - <<'PY'
import os, zipfile, io
class Unseekable(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
with open("py_stream.zip", "wb") as raw:
    with zipfile.ZipFile(Unseekable(raw), "w", zipfile.ZIP_DEFLATED) as z:
        for root, dirs, files in os.walk("src"):
            dirs.sort()
            for name in sorted(files):
                p = os.path.join(root, name)
                stored = name == "readme.txt"
                z.write(p, os.path.relpath(p, "src"), zipfile.ZIP_STORED if stored else None)
PY
# Split set, renamed to this system's piece names: the first piece keeps the archive's
# name, piece n is .z0n, the last one holds the directory.
mkdir split && (cd src && zip -q -r -s 64k ../split/set.zip .)
n=$(ls split/set.z* | grep -c 'set\.z[0-9]')
mkdir spanned
cp split/set.z01 spanned/set.zip
for ((i = 2; i <= n; i++)); do cp "split/set.z$(printf %02d $i)" "spanned/set.z$(printf %02d $((i - 1)))"; done
cp split/set.zip "spanned/set.z$(printf %02d $n)"
rm -rf split
# 7-Zip's volumes are no such set: one archive cut into pieces of bytes (set.zip.001, .002,
# ...), its records counting over all of them. This library refuses them, as made and under
# the piece names above.
mkdir volumes volumes-renamed
(cd src && 7z a -bd -y -tzip -v64k ../volumes/set.zip readme.txt bin/random.bin >/dev/null)
n=$(ls volumes | wc -l)
cp volumes/set.zip.001 volumes-renamed/set.zip
for ((i = 2; i <= n; i++)); do cp "volumes/set.zip.$(printf %03d $i)" "volumes-renamed/set.z$(printf %02d $((i - 1)))"; done
# A self-extracting file: a program stub in front, offsets adjusted by zip -A.
python3 -c "import sys; sys.stdout.buffer.write(b'MZ' + bytes(range(256)) * 16)" > sfx.exe
cat zip_deflate.zip >> sfx.exe
zip -q -A sfx.exe
# Names marked as UTF-8, as each tool marks them: one name both code pages of a German
# Windows have, one only its ANSI page has, two that neither has, one in ASCII.
mkdir -p names/src/doc
(cd names/src
 printf 'Inhalt\r\n' > doc/Übersicht.txt
 printf 'Preisliste\r\n' > 'Preis €.txt'
 printf 'omega\r\n' > Ωmega.txt
 printf 'Stadt\r\n' > łódź.txt
 printf 'ascii\r\n' > plain.txt
 python3 - <<'PY'
import os, struct, zipfile, zlib
files = sorted(os.path.relpath(os.path.join(d, n)) for d, _, ns in os.walk(".") for n in ns)
with zipfile.ZipFile("../python.zip", "w", zipfile.ZIP_DEFLATED) as z:
    for f in files: z.write(f)
# Unmarked OEM names (a "?" where OEM lacks the character) and the Unicode path field.
class OemName(zipfile.ZipInfo):
    def _encodeFilenameFlags(self): return self.filename.encode("cp850", "replace"), self.flag_bits
with zipfile.ZipFile("../unicode_path.zip", "w") as z:
    for f in files:
        i = OemName(f, (2024, 3, 5, 14, 22, 36))
        oem, utf8 = f.encode("cp850", "replace"), f.encode("utf-8")
        field = struct.pack("<BI", 1, zlib.crc32(oem)) + utf8
        i.extra = struct.pack("<HH", 0x7075, len(field)) + field
        z.writestr(i, open(f, "rb").read())
PY
 7z a -bd -y -tzip ../7z.zip . >/dev/null
 # Info-ZIP marks names only where the locale it asks for by name is installed.
 mkdir -p ../locale && ln -sfn /usr/lib/locale/C.utf8 ../locale/en_US.UTF-8
 LOCPATH=$PWD/../locale zip -q -r ../infozip.zip .
 tar --format=pax -cf ../gnu_pax.tar .
 bsdtar --format=pax -cf ../bsd_pax.tar .
 # Where the locale is not UTF-8, bsdtar says the pax values are raw bytes.
 LC_ALL=C bsdtar --format=pax -cf ../bsd_binary.tar . 2>/dev/null)
rm -rf names/locale
