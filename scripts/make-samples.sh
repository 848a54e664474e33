#!/usr/bin/env bash
# Makes the sample collection that the run command and the tests use: pictures of every
# listed kind (some larger than the preview, a portrait, a small one, a damaged JPEG, a
# phone photo tagged to be turned upright), short movies and sounds. Everything is
# generated here; nothing is downloaded.
# Usage: make-samples.sh DEST_DIR
set -euo pipefail
dest=${1:?usage: make-samples.sh DEST_DIR}
stamp="$dest/.complete-v7"
[ -f "$stamp" ] && exit 0
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
stamp="$dest/.complete-v7"
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

# A file the movie pattern lists but nothing recognizes, and one no pattern lists.
printf 'not a movie' > gasf
printf 'notes' > readme.txt
touch "$stamp"
