#!/usr/bin/env bash
# Regenerates every picture of the program into resources/pictures/ and
# writes resources/pictures.qrc. Needs Qt 6 (Gui) and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build-picturegen"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A missing tool must not cost the pictures that are there: check first, and
# replace resources/pictures only once every picture has been written.
if ! convert -version 2>/dev/null | grep -q "^Version: ImageMagick"; then
  echo "make-pictures: ImageMagick's convert is needed (apt-get install imagemagick)" >&2
  exit 1
fi

cmake -S tools/picturegen -B "$build" -G Ninja >/dev/null
cmake --build "$build" >/dev/null
QT_QPA_PLATFORM=offscreen "$build/picturegen" "$work"

out="$work/pictures"
mkdir -p "$out/jpg" "$out/gif" "$out/imagelist" "$out/icon"

# Named pictures: JPEG, full chroma so small text stays crisp. Metadata and
# time stamps are left out so that unchanged pictures give unchanged files.
for png in "$work"/jpg/*.png; do
  name=$(basename "$png" .png)
  convert "$png" -strip -quality 94 -sampling-factor 1x1 "$out/jpg/$name.jpg"
done

# Animated pictures: one folder of frames each, 40 ms a frame, looping.
for frames in "$work"/gif/*/; do
  name=$(basename "$frames")
  convert -delay 4 -loop 0 "$frames"*.png +dither -layers Optimize -strip "$out/gif/$name.gif"
done

for png in "$work"/png/*.png; do
  convert "$png" -strip -define png:exclude-chunks=date,time "$out/imagelist/$(basename "$png")"
done
for png in "$work"/icon/*.png; do
  convert "$png" -strip -define png:exclude-chunks=date,time "$out/icon/$(basename "$png")"
done

qrc="$work/pictures.qrc"
{
  echo '<!DOCTYPE RCC><RCC version="1.0">'
  emit() {  # prefix folder extension
    echo "  <qresource prefix=\"/$1\">"
    for f in "$out/$2"/*."$3"; do
      n=$(basename "$f" ."$3")
      echo "    <file alias=\"$n\">pictures/$2/$n.$3</file>"
    done
    echo "  </qresource>"
  }
  emit JPG jpg jpg
  emit GIF gif gif
  emit ImageList imagelist png
  emit ICON icon png
  echo '</RCC>'
} >"$qrc"
staged="$root/resources/pictures.new"
rm -rf "$staged"
cp -r "$out" "$staged"
rm -rf "$root/resources/pictures"
mv "$staged" "$root/resources/pictures"
cp "$qrc" "$root/resources/pictures.qrc"
echo "pictures written to $root/resources/pictures"
