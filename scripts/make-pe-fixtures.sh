#!/bin/sh
# Builds the PE fixtures of tests/data/pe/ from their .rc sources: images that hold
# nothing but a resource section, plus broken copies for the reader's failure paths.
# Needs binutils-mingw-w64-x86-64 and binutils-mingw-w64-i686, cpp and python3.
# The results are committed, so the build and CI never run this.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/tests/data/pe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# rc sources are UTF-8; the host cpp stands in for the cross compiler's preprocessor.
build() { # <rc> <exe> <32|64>
    rc="$1"; exe="$2"
    if [ "$3" = 32 ]; then
        x86_64-w64-mingw32-windres --preprocessor=cpp -F pe-i386 -c 65001 -i "$rc" -o "$work/res.o"
        i686-w64-mingw32-ld -s --no-insert-timestamp --subsystem windows -e 0 -o "$exe" "$work/res.o"
    else
        x86_64-w64-mingw32-windres --preprocessor=cpp -c 65001 -i "$rc" -o "$work/res.o"
        x86_64-w64-mingw32-ld -s --no-insert-timestamp --subsystem windows -e 0 -o "$exe" "$work/res.o"
    fi
}

build "$out/version64.rc" "$out/version64.exe" 64
build "$out/notranslation.rc" "$out/notranslation.exe" 64
build "$out/noversion.rc" "$out/noversion.exe" 64

# windres cannot write a string longer than its literal limit comfortably, so the
# long value is put in here: 60 times "0123456789", 1200 bytes of UTF-16.
long=$(python3 -c 'print("0123456789" * 60)')
sed "s/LONGVALUE/$long/" "$out/version32.rc" >"$work/version32.rc"
build "$work/version32.rc" "$out/version32.exe" 32

python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]

def patch_nul(path):
    # windres ends a value at a NUL, so "§" (U+00A7) marks where one goes.
    data = open(path, "rb").read()
    marker = "§".encode("utf-16-le")
    assert data.count(marker) == 1, path
    open(path, "wb").write(data.replace(marker, b"\0\0"))

patch_nul(f"{out}/version64.exe")

good = open(f"{out}/version64.exe", "rb").read()

# Cut inside the version resource: the headers and directories are whole, the data is not.
rsrc = good.find("VS_VERSION_INFO".encode("utf-16-le"))
open(f"{out}/truncated.exe", "wb").write(good[: rsrc + 40])
# Cut inside the section table.
open(f"{out}/truncated-headers.exe", "wb").write(good[:0x100])

def section(data, name):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + opt_size
    for i in range(count):
        at = table + 40 * i
        if data[at:at + 8].rstrip(b"\0") == name:
            va, raw_size, raw_ptr = struct.unpack_from("<III", data, at + 12)
            return at, va, raw_size, raw_ptr
    raise SystemExit("no section " + name.decode())

_, va, _, raw = section(good, b".rsrc")
# The version data entry is the only IMAGE_RESOURCE_DATA_ENTRY: find it by its size field
# following an RVA inside the section.
def data_entry(data):
    for at in range(raw, raw + 0x200, 4):
        rva, size = struct.unpack_from("<II", data, at)
        if va < rva < va + 0x1000 and 0 < size < 0x1000 and data[raw + rva - va + 2:raw + rva - va + 4] == b"\x34\x00":
            return at
    raise SystemExit("no data entry")

bad = bytearray(good)
struct.pack_into("<I", bad, data_entry(good), 0x7FFFFFF0)
open(f"{out}/data-outside.exe", "wb").write(bad)

bad = bytearray(good)
struct.pack_into("<I", bad, data_entry(good) + 4, 0xFFFFFF00)
open(f"{out}/size-outside.exe", "wb").write(bad)

# A subdirectory entry of the root pointing back at the root: a loop.
bad = bytearray(good)
struct.pack_into("<I", bad, raw + 16 + 4, 0x80000000)
open(f"{out}/directory-loop.exe", "wb").write(bad)

# The section's raw data said to lie far beyond the end of the file.
bad = bytearray(good)
at, _, _, _ = section(good, b".rsrc")
struct.pack_into("<I", bad, at + 20, 0x7FFFFF00)
open(f"{out}/section-outside.exe", "wb").write(bad)
PY
echo "PE fixtures written to $out"
