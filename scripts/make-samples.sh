#!/usr/bin/env bash
# Makes the sample collection that the run command and the tests use: pictures of every
# listed kind (some larger than the preview, a portrait, a small one, a damaged JPEG, a
# phone photo tagged to be turned upright), short movies and sounds; then one file of each
# kind of today's collections (PNG, WebP, TIFF, HEIC, AVIF, SVG, MP4, MKV, FLAC, Opus...). Everything is
# generated here; nothing is downloaded.
# Usage: make-samples.sh DEST_DIR
set -euo pipefail
dest=${1:?usage: make-samples.sh DEST_DIR}
stamp="$dest/.complete-v12"
[ -f "$stamp" ] && exit 0
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
stamp="$dest/.complete-v12"
cd "$dest"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# Pictures.
ff -f lavfi -i "testsrc2=size=1600x1200:duration=1" -frames:v 1 -q:v 3 landscape.jpg
ff -f lavfi -i "testsrc2=size=1200x1600:duration=1" -frames:v 1 -q:v 3 portrait.jpg
ff -f lavfi -i "smptebars=size=1024x768:duration=1" -frames:v 1 -q:v 3 bars.JPEG
ff -f lavfi -i "mandelbrot=size=800x600" -frames:v 1 -q:v 2 fractal.jpeg
convert -size 199x300 gradient:orange-navy -quality 90 narrow.jpg # odd width: ffmpeg rounds it
ff -f lavfi -i "testsrc=size=400x400:duration=1" -frames:v 1 -pix_fmt bgr24 square.bmp
ff -f lavfi -i "testsrc=size=120x90:duration=1" -frames:v 1 -pix_fmt bgr24 tiny.bmp
ff -f lavfi -i "testsrc=size=150x120:duration=1" -frames:v 1 small.gif
# A one-component (greyscale) JPEG: ffmpeg's encoder would store three components.
ff -f lavfi -i "testsrc2=size=640x480:duration=1" -frames:v 1 -pix_fmt gray grey.tmp.pgm
cjpeg -grayscale -quality 90 -outfile grey.jpg grey.tmp.pgm
rm -f grey.tmp.pgm
# A phone photo: stored lying on its side (400 x 300) with EXIF Orientation 6, so it is seen
# upright as 300 x 400. The APP1 "Exif" segment (Intel byte order, IFD0 with the one tag)
# goes right after the start marker.
ff -f lavfi -i "testsrc2=size=400x300:duration=1" -frames:v 1 -q:v 3 phone.tmp.jpg
{
    head -c 2 phone.tmp.jpg
    printf '\xff\xe1\x00\x22Exif\x00\x00II\x2a\x00\x08\x00\x00\x00'
    printf '\x01\x00\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00\x00\x00\x00\x00\x00\x00'
    tail -c +3 phone.tmp.jpg
} > phone.jpg
rm -f phone.tmp.jpg
# A JPEG cut off part-way: its size is known, its lower part is missing.
ff -f lavfi -i "testsrc2=size=1280x960:duration=1" -frames:v 1 -q:v 2 whole.tmp.jpg
size=$(stat -c %s whole.tmp.jpg)
head -c $((size * 45 / 100)) whole.tmp.jpg > damaged.jpg
rm -f whole.tmp.jpg

# Movies, two seconds each, with sound.
movie() { # name video-codec audio-codec
    ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=2" \
       -f lavfi -i "sine=frequency=440:duration=2" -c:v "$2" -c:a "$3" -shortest "$1"
}
movie clip.mpg mpeg1video mp2
movie clip.avi mpeg4 libmp3lame
movie clip.wmv wmv2 wmav2
movie clip.asf wmv2 wmav2
movie clip.mov mpeg4 aac
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=2" -c:v mpeg2video -an clip.mpeg

# Sounds.
ff -f lavfi -i "sine=frequency=660:duration=2" beep.wav
ff -f lavfi -i "sine=frequency=550:duration=3" -c:a libmp3lame song.mp3
ff -f lavfi -i "sine=frequency=330:duration=3" -c:a wmav2 song.wma

# A standard MIDI file (format 0, three quarter notes) and the same inside a RIFF RMID wrapper.
midi_track='\x00\xC0\x00\x00\x90\x3C\x64\x60\x80\x3C\x40\x00\x90\x40\x64\x60\x80\x40\x40\x00\x90\x43\x64\x60\x80\x43\x40\x00\xFF\x2F\x00'
printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60MTrk\x00\x00\x00\x1F'"$midi_track" > tune.mid
{ printf 'RIFF\x42\x00\x00\x00RMIDdata\x35\x00\x00\x00'; cat tune.mid; printf '\x00'; } > tune.rmi

# Short media for the music and the slide show: half-second sounds, a one-second movie,
# and garbage under a movie's and a sound's ending.
ff -f lavfi -i "sine=frequency=880:duration=0.5" half.wav
ff -f lavfi -i "sine=frequency=440:duration=0.5" -c:a libmp3lame half.mp3
ff -f lavfi -i "testsrc2=size=160x120:rate=25:duration=1" \
   -f lavfi -i "sine=frequency=220:duration=1" -c:v mpeg1video -c:a mp2 -shortest second.mpg
head -c 4096 /dev/urandom > garbage.avi
head -c 4096 /dev/urandom > garbage.mp3

# Today's kinds. Pictures: a PNG and a WebP turned by their Exif (copied by ImageMagick from
# the phone photo into PNG's eXIf chunk and WebP's EXIF chunk), a TIFF whose Orientation tag
# says the same, a 16-bit TIFF, a PNG with transparent parts, a HEIC that carries a turn,
# a plain HEIF, a studio-range one, a one-tile grid and an AVIF, an SVG drawing and a PNG
# saved under a JPEG name.
convert phone.jpg turned.png
convert phone.jpg -quality 80 turned.webp
convert phone.jpg -compress lzw turned.tif
convert -size 320x200 gradient:white-teal -depth 16 deep.tiff
convert -size 240x180 xc:none -fill 'rgba(200,0,0,0.5)' -draw 'circle 120,90 120,20' clear.png
ff -f lavfi -i "testsrc2=size=400x300:duration=1" -frames:v 1 plain.tmp.png
heif-enc -q 60 plain.tmp.png -o plain.tmp.heic >/dev/null
# heif-enc writes no turn of its own, nor the colour matrix it is told: an "irot" property
# (a quarter turn clockwise, as the phone photo's Exif 6) and an "nclx" colour property
# (BT.709 at studio range) are added to its files.
add_property() {
perl - "$@" <<'PERL'
# Adds a property box of TYPE with the hex PAYLOAD to the primary picture of a HEIF file
# as heif-enc writes it: the box goes at the end of "ipco", the picture's "ipma" entry
# names it, and the data offsets of "iloc" move past the longer "meta" box.
use strict; use warnings;
my ($in, $out, $type, $payload) = @ARGV;
open(my $fh, '<:raw', $in) or die "$in: $!"; local $/; my $d = <$fh>; close $fh;
my $body = pack('H*', $payload);
my $box = pack('N a4', 8 + length $body, $type) . $body;
my $grow = length($box) + 1; # the box and one more association
sub box_at { my ($p) = @_; return (unpack('N', substr($d, $p, 4)), substr($d, $p + 4, 4)); }
sub find_in { my ($from, $to, $type) = @_;
    for (my $p = $from; $p < $to;) { my ($s, $t) = box_at($p); return $p if $t eq $type; $p += $s; }
    die "no $type box\n"; }
my $meta = find_in(0, length $d, 'meta');
my ($metaSize) = box_at($meta);
my $iloc = find_in($meta + 12, $meta + $metaSize, 'iloc');
my $iprp = find_in($meta + 12, $meta + $metaSize, 'iprp');
my ($iprpSize) = box_at($iprp);
my $ipco = find_in($iprp + 8, $iprp + $iprpSize, 'ipco');
my $ipma = find_in($iprp + 8, $iprp + $iprpSize, 'ipma');
my ($ipcoSize) = box_at($ipco);
my ($ipmaSize) = box_at($ipma);
my $count = 0;
for (my $p = $ipco + 8; $p < $ipco + $ipcoSize;) { my ($s) = box_at($p); $p += $s; $count++; }
my $index = $count + 1;
die "too many properties\n" if $index > 127;
my $v = unpack('C', substr($d, $iloc + 8, 1));
my ($b1, $b2) = unpack('CC', substr($d, $iloc + 12, 2));
my ($offSize, $lenSize, $baseSize, $idxSize) = ($b1 >> 4, $b1 & 15, $b2 >> 4, $v >= 1 ? $b2 & 15 : 0);
my $p = $iloc + 14;
my $items = $v < 2 ? unpack('n', substr($d, $p, 2)) : unpack('N', substr($d, $p, 4));
$p += $v < 2 ? 2 : 4;
sub bump { my ($at, $size) = @_;
    if ($size == 4) { substr($d, $at, 4) = pack('N', unpack('N', substr($d, $at, 4)) + $grow); }
    elsif ($size == 8) { my ($h, $l) = unpack('NN', substr($d, $at, 8)); substr($d, $at, 8) = pack('NN', $h, $l + $grow); } }
for (1 .. $items) {
    $p += $v < 2 ? 2 : 4; # item ID
    my $method = 0;
    if ($v >= 1) { $method = unpack('n', substr($d, $p, 2)) & 15; $p += 2; }
    $p += 2; # data reference index
    bump($p, $baseSize) if $method == 0 && $baseSize; $p += $baseSize;
    my $extents = unpack('n', substr($d, $p, 2)); $p += 2;
    for (1 .. $extents) { bump($p + ($v >= 1 ? $idxSize : 0), $offSize) if $method == 0 && !$baseSize;
                          $p += ($v >= 1 ? $idxSize : 0) + $offSize + $lenSize; }
}
my $ipmaVersion = unpack('C', substr($d, $ipma + 8, 1));
die "wide ipma entries are not handled\n" if unpack('N', substr($d, $ipma + 8, 4)) & 1;
my $e = $ipma + 16 + ($ipmaVersion < 1 ? 2 : 4);
my $assoc = unpack('C', substr($d, $e, 1));
# From the back of the file to its front, so that earlier positions stay valid.
substr($d, $e + 1 + $assoc, 0) = pack('C', 0x80 | $index);
substr($d, $e, 1) = pack('C', $assoc + 1);
substr($d, $ipma, 4) = pack('N', $ipmaSize + 1);
substr($d, $ipco + $ipcoSize, 0) = $box;
substr($d, $ipco, 4) = pack('N', $ipcoSize + length $box);
substr($d, $iprp, 4) = pack('N', $iprpSize + $grow);
substr($d, $meta, 4) = pack('N', $metaSize + $grow);
open(my $o, '>:raw', $out) or die "$out: $!"; print $o $d; close $o;
PERL
}
add_property plain.tmp.heic turned.heic irot 03
add_property plain.tmp.heic studio.heif colr 6e636c7800010001000100
cp plain.tmp.heic still.heif
# Full chroma resolution, and an odd size, which heif-enc wraps in a one-tile grid.
heif-enc -q 60 -p chroma=444 plain.tmp.png -o full.heif >/dev/null
convert plain.tmp.png -crop 399x299+0+0 +repage odd.tmp.png
heif-enc -q 60 odd.tmp.png -o odd.heic >/dev/null
heif-enc -A -q 60 plain.tmp.png -o plain.avif >/dev/null
# A HEIC carrying a small copy of itself, as phones write them, and the same turned by an
# "irot" that the small copy lacks.
heif-enc -q 60 -t 160 plain.tmp.png -o thumbed.heic >/dev/null
add_property thumbed.heic thumbturned.heic irot 03
# A HEIC with a transparent part (a second, one-plane HEVC picture) and a 10-bit one.
convert clear.png PNG32:clear.tmp.png # heif-enc keeps no transparency of a palette PNG
heif-enc -q 60 clear.tmp.png -o clear.heic >/dev/null
ff -i plain.tmp.png -pix_fmt rgb48be deep.tmp.png
heif-enc -q 60 -b 10 deep.tmp.png -o deep.heic >/dev/null
rm -f plain.tmp.png plain.tmp.heic odd.tmp.png deep.tmp.png clear.tmp.png
cat > drawing.svg <<'SVG'
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="300" height="200" viewBox="0 0 300 200">
  <rect width="300" height="200" fill="#1e5aa0"/>
  <circle cx="150" cy="100" r="70" fill="#f0c020"/>
</svg>
SVG
ff -f lavfi -i "testsrc2=size=320x240:duration=1" -frames:v 1 download.tmp.png
mv download.tmp.png download.jpg

# Movies of today's kinds, two seconds each, and the sounds.
today() { # name video-codec audio-codec [muxer options...]
    local name=$1 video=$2 audio=$3
    shift 3
    ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=2" \
       -f lavfi -i "sine=frequency=440:duration=2" -c:v "$video" -c:a "$audio" -shortest "$@" "$name"
}
today clip.mp4 libx264 aac -pix_fmt yuv420p
today clip.m4v libx264 aac -pix_fmt yuv420p
today clip.mkv libx264 libvorbis -pix_fmt yuv420p
today clip.webm libvpx libvorbis
today clip.3gp mpeg4 aac -ar 16000
today clip.mts libx264 ac3 -pix_fmt yuv420p -f mpegts
today clip.m2ts libx264 ac3 -pix_fmt yuv420p -f mpegts -mpegts_m2ts_mode 1
today clip.ogv libtheora libvorbis
sound() { # name codec [options...]
    local name=$1 codec=$2
    shift 2
    ff -f lavfi -i "sine=frequency=500:duration=2" -c:a "$codec" "$@" "$name"
}
sound tune.flac flac
sound tune.ogg libvorbis
sound tune.oga flac -f ogg
sound tune.opus libopus
sound tune.m4a aac
sound tune.aac aac -f adts
cp tune.mid tune.midi

# A file the movie pattern lists but nothing recognizes, and one no pattern lists.
printf 'not a movie' > gasf
printf 'notes' > readme.txt
touch "$stamp"
