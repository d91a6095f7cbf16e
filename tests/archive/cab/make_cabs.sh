#!/usr/bin/env bash
# Makes the cabinets the Windows tests read, with the system's cabinet tool: the same
# three files (one in a folder, one nested deeper) stored and MSZIP-compressed, a cabinet
# whose one name the tests turn into names that leave the base folder, and a handful of
# small cabinets of varied content for the damage test. The sources stay in src/.
set -euo pipefail
out=$1
rm -rf "$out" && mkdir -p "$out/src/docs" "$out/src/sub/deep" "$out/evil/xx" "$out/varied"
cd "$out/src"
printf 'hello\n' > a.txt
for i in $(seq 1 300); do echo "line $i of a readme that compresses well"; done > docs/readme.txt
# Incompressible and deterministic: larger than one 32 KiB data block.
python3 -c 'import random,sys; r=random.Random(7); sys.stdout.buffer.write(bytes(r.getrandbits(8) for _ in range(200000)))' \
  > sub/deep/data.bin
touch -d '2021-03-04 05:06:08' a.txt docs/readme.txt sub/deep/data.bin
gcab -c ../none.cab a.txt docs/readme.txt sub/deep/data.bin
gcab -cz ../mszip.cab a.txt docs/readme.txt sub/deep/data.bin
cd "$out/evil"
printf 'must stay inside\n' > xx/evil.txt
gcab -c ../evil.cab xx/evil.txt
cd "$out/varied"
for i in 0 1 2 3 4 5 6 7; do
  mkdir -p "v$i/f"
  python3 -c 'import random,sys; i=int(sys.argv[1]); r=random.Random(i)
open(sys.argv[2],"wb").write(bytes(r.getrandbits(8) for _ in range(1000 + 23000 * i)))
open(sys.argv[3],"w").write("text %d\n" % i * (50 * i + 1))' "$i" "v$i/f/bin$i.dat" "v$i/t$i.txt"
  flag=-c; [ $((i % 2)) = 1 ] && flag=-cz
  (cd "v$i" && gcab $flag "../v$i.cab" "f/bin$i.dat" "t$i.txt")
done
# Names the tool marks as UTF-8 (attribute 0x80): one both code pages of a German Windows
# have, one only its ANSI page has, two that neither has, one in ASCII.
mkdir -p "$out/names/doc"
cd "$out/names"
printf 'Inhalt\r\n' > doc/Übersicht.txt
printf 'Preisliste\r\n' > 'Preis €.txt'
printf 'omega\r\n' > Ωmega.txt
printf 'Stadt\r\n' > łódź.txt
printf 'ascii\r\n' > plain.txt
gcab -c ../names.cab doc/Übersicht.txt 'Preis €.txt' Ωmega.txt łódź.txt plain.txt
