#!/usr/bin/env bash
# Builds the photograph corpus of the side-by-side comparison (bench/compare) from Debian's
# wallpaper packages, so that anyone can rebuild exactly the same files.
#
#   bench/corpus.sh [CORPUS_DIR]        default: ${TMPDIR:-/tmp}/corvane-corpus
#
# Selection rule (deterministic):
#   1. every file whose name ends in .jpg, .jpeg or .png (any case) among the files that the
#      pinned packages below install (dpkg -L), symbolic links left out (they point at files of
#      the same packages);
#   2. taken in byte order of their paths; a file whose content (SHA-256) equals an earlier
#      one is dropped (the KDE wallpapers ship one picture under many names);
#   3. kept when it holds at least 3 megapixels (width x height from the PNG or JPEG header);
#   4. copied flat into CORPUS_DIR, named after its path below /usr/share/wallpapers or
#      /usr/share/backgrounds with "contents/" dropped, "/" and " " turned into "_" and the
#      extension written .jpg or .png.
# With the pinned versions this gives 55 files: 33 JPEGs and 22 PNGs, 462 megapixels. The names
# and SHA-256 sums are written to CORPUS_DIR/MANIFEST and compared with bench/corpus.sha256.
#
# The packages are installed by `scripts/setup --bench-tools`, which pins the same versions.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
corpus="${1:-${TMPDIR:-/tmp}/corvane-corpus}"

# Exact versions of Debian 12 (bookworm); a rebuild with other versions is refused below.
packages=(
    plasma-workspace-wallpapers=4:5.27.5-2
    mate-backgrounds=1.26.0-1
    lomiri-wallpapers=20.04.0-2
    ukui-wallpapers=20.04.3-1.1
)

installed_version() {
    dpkg-query -W -f='${Status} ${Version}' "$1" 2>/dev/null |
        awk '$3 == "installed" { print $4 }'
}

for pinned in "${packages[@]}"; do
    if [[ "$(installed_version "${pinned%%=*}")" != "${pinned#*=}" ]]; then
        echo "corpus: ${pinned%%=*} is not at version ${pinned#*=} (scripts/setup --bench-tools" \
            "installs it)" >&2
        exit 1
    fi
done

mkdir -p "$corpus"
listing="$(mktemp)"
trap 'rm -f "$listing"' EXIT
dpkg -L "${packages[@]%%=*}" | LC_ALL=C sort -u >"$listing"
python3 - "$corpus" "$here/corpus.sha256" "$listing" <<'PY'
import hashlib, os, re, shutil, struct, sys

corpus, expected_path, listing = sys.argv[1], sys.argv[2], sys.argv[3]
MIN_PIXELS = 3_000_000


def png_size(head):
    if head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR":
        return struct.unpack(">II", head[16:24])
    return None


def jpeg_size(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xd8":
        return None
    i = 2
    while i + 4 <= len(data):
        if data[i] != 0xFF:
            return None
        marker = data[i + 1]
        if marker == 0xFF:  # fill byte
            i += 1
            continue
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        # Start-of-frame markers C0-CF, except DHT (C4), JPG (C8) and DAC (CC).
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            height, width = struct.unpack(">HH", data[i + 5:i + 9])
            return width, height
        i += 2 + length
    return None


def size_of(path):
    with open(path, "rb") as f:
        head = f.read(32)
    return png_size(head) if head[:4] == b"\x89PNG" else jpeg_size(path)


def corpus_name(path):
    rel = re.sub(r"^/usr/share/(wallpapers|backgrounds)/", "", path)
    rel = rel.replace("contents/", "")
    stem, ext = os.path.splitext(rel)
    ext = ".png" if ext.lower() == ".png" else ".jpg"
    return re.sub(r"[/ ]", "_", stem) + ext


seen, chosen = set(), []
for line in open(listing):
    path = line.rstrip("\n")
    if not re.search(r"\.(jpe?g|png)$", path, re.I):
        continue
    if os.path.islink(path) or not os.path.isfile(path):
        continue
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    if digest in seen:
        continue
    seen.add(digest)
    size = size_of(path)
    if size is None or size[0] * size[1] < MIN_PIXELS:
        continue
    chosen.append((corpus_name(path), path, digest, size))

names = [c[0] for c in chosen]
if len(set(names)) != len(names) or len({os.path.splitext(n)[0] for n in names}) != len(names):
    sys.exit("corpus: two selected files would share a name")

# Only a folder made by this recipe is refreshed; anything else is never touched.
manifest_path = os.path.join(corpus, "MANIFEST")
if os.path.exists(manifest_path):
    with open(manifest_path) as f:
        previous = [line.split("  ", 1)[1] for line in f.read().splitlines() if "  " in line]
    for name in previous:
        if name not in names and os.path.exists(os.path.join(corpus, name)):
            os.remove(os.path.join(corpus, name))
elif os.listdir(corpus):
    sys.exit(f"corpus: {corpus} is not empty and was not made by this recipe")
manifest = []
for name, path, digest, (w, h) in chosen:
    target = os.path.join(corpus, name)
    if not os.path.exists(target) or os.path.getsize(target) != os.path.getsize(path):
        shutil.copyfile(path, target)
    manifest.append(f"{digest}  {name}")
with open(manifest_path, "w") as f:
    f.write("\n".join(manifest) + "\n")

jpegs = sum(n.endswith(".jpg") for n in names)
pixels = sum(w * h for _, _, _, (w, h) in chosen)
print(f"corpus: {len(names)} files ({jpegs} JPEG, {len(names) - jpegs} PNG), "
      f"{pixels / 1e6:.0f} megapixels in {corpus}", file=sys.stderr)
if os.path.exists(expected_path):
    with open(expected_path) as f:
        if f.read().split("\n") != ("\n".join(manifest) + "\n").split("\n"):
            sys.exit(f"corpus: the selection differs from {expected_path}")
PY
