#!/usr/bin/env bash
# Steps through media with the Down key in the real program for a long time, to bring out
# faults that show only now and then: a crash was once seen stepping from a small GIF onto a
# MIDI file. Made for the sanitizer build (cmake -DGLIMMERBY_SANITIZE=ON, see README); any
# AddressSanitizer or UndefinedBehaviorSanitizer report, a crash or a stall fails the run.
#
# Two parts, each on a fresh copy of the program in a private home:
#  1. start-up rounds: pictures, then the first MIDI tune (the synthesizer is made on the
#     spot), stepped away from after a short and varying time, Esc (cover screen) and Esc
#     back, then a second tune and quick steps over tunes;
#  2. the rhythm: a folder where each .wav and .mid is followed by a small GIF, then the rest
#     of the sample collection; Down every 0.9 s on a picture and 1.7 s on anything that
#     plays, with now and then a burst of quick steps and the cover screen, for MINUTES.
# With the pulseaudio program installed (bash scripts/setup.sh --soak) a private sound server
# with a null sink runs for the program, so FluidSynth and libmpv play through a real device
# thread, as on a desktop; without it FluidSynth renders from a timer on the UI thread.
# Runs under xvfb-run by itself. One process of the program at a time.
#
# Usage: scripts/soak-stepping.sh [MINUTES [EXECUTABLE]]   (defaults: 20, build-asan/glimmerby)
# Exits 0 when nothing was found; the logs stay in the work directory it prints.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-20}
exe=$(realpath "${2:-$here/build-asan/glimmerby}")

if [ -z "${SOAK_INNER:-}" ]; then
    for tool in xvfb-run xdotool ffmpeg convert; do
        command -v "$tool" >/dev/null || { echo "soak: $tool is missing (bash scripts/setup.sh)"; exit 2; }
    done
    [ -x "$exe" ] || { echo "soak: no program at $exe (build it first, see README)"; exit 2; }
    export SOAK_INNER=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$minutes" "$exe"
fi

work=$(mktemp -d /tmp/glimmerby-soak.XXXXXX)
echo "soak: work directory $work"
log="$work/soak.log"
say() { echo "$(date +%T) $*" | tee -a "$log"; }

# --- Media -------------------------------------------------------------------------------
bash "$here/scripts/make-samples.sh" "$work/samples"
S="$work/samples"
# MIDI tunes of NOTES quarter notes at 120 per minute (96 ticks a quarter), on INSTRUMENT.
make_midi() { # file notes instrument
    local body="" i note
    body+="\\x00\\xC0\\x$(printf %02X "$3")"
    for ((i = 0; i < $2; i++)); do
        note=$(printf %02X $((60 + (i * 5) % 24)))
        body+="\\x00\\x90\\x$note\\x64\\x60\\x80\\x$note\\x40"
    done
    body+='\x00\xFF\x2F\x00'
    local length=$(printf "$body" | wc -c)
    printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60MTrk' >"$1"
    printf "\\x$(printf %02X $((length >> 24 & 255)))\\x$(printf %02X $((length >> 16 & 255)))" >>"$1"
    printf "\\x$(printf %02X $((length >> 8 & 255)))\\x$(printf %02X $((length & 255)))" >>"$1"
    printf "$body" >>"$1"
}
gifs=("$S/small.gif")
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "testsrc=size=64x48:duration=1" \
    -frames:v 1 "$work/tiny.gif"
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "testsrc2=size=96x96:rate=5:duration=1" \
    "$work/moving.gif"
gifs+=("$work/tiny.gif" "$work/moving.gif")
tunes=("$S/tune.mid")
for n in 1 6 16 40; do
    make_midi "$work/tune$n.mid" "$n" $((n % 8 * 8))
    tunes+=("$work/tune$n.mid")
done
waves=("$S/beep.wav" "$S/half.wav")
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "sine=frequency=300:duration=6" \
    "$work/long.wav"
waves+=("$work/long.wav")

# The rhythm's folder: wav, GIF, mid, GIF, ... then the playable part of the collection
# (without the damaged JPEG and the file nothing recognizes: both ask the user something).
rhythm="$work/rhythm"
mkdir -p "$rhythm"
cp "$S/landscape.jpg" "$rhythm/0000.jpg"
n=1
for ((i = 0; i < 24; i++)); do
    for f in "${waves[i % ${#waves[@]}]}" "${gifs[i % ${#gifs[@]}]}" \
             "${tunes[i % ${#tunes[@]}]}" "${gifs[(i + 1) % ${#gifs[@]}]}"; do
        cp "$f" "$rhythm/$(printf %04d $n).${f##*.}"
        n=$((n + 1))
    done
done
for f in "$S"/*; do
    case "$(basename "$f")" in damaged.jpg | gasf | readme.txt) continue ;; esac
    cp "$f" "$rhythm/$(printf %04d $n)-$(basename "$f")"
    n=$((n + 1))
done
# The start-up folder: pictures, then tunes and a sound.
early="$work/early"
mkdir -p "$early"
cp "$S/landscape.jpg" "$early/1.jpg"
cp "$S/small.gif" "$early/2.gif"
cp "$work/tune16.mid" "$early/3.mid"
cp "$work/tiny.gif" "$early/4.gif"
cp "$S/tune.mid" "$early/5.mid"
cp "$work/tune6.mid" "$early/6.mid"
cp "$S/beep.wav" "$early/7.wav"
cp "$S/small.gif" "$early/8.gif"

# --- Sound server --------------------------------------------------------------------------
pulse_pid=
if command -v pulseaudio >/dev/null; then
    # A private server: nothing else on this machine finds it.
    mkdir -p "$work/pulse"
    PULSE_RUNTIME_PATH="$work/pulse" PULSE_STATE_PATH="$work/pulse" HOME="$work/pulse" \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        --disable-shm=yes --log-target=file:"$work/pulse.log" \
        -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
        -L "module-null-sink sink_name=soak" >/dev/null 2>&1 &
    pulse_pid=$!
    for _ in $(seq 50); do [ -S "$work/pulse/native" ] && break; sleep 0.1; done
    if [ -S "$work/pulse/native" ]; then
        export PULSE_SERVER="unix:$work/pulse/native"
        say "sound: private pulseaudio server with a null sink"
    else
        say "sound: pulseaudio did not start, see $work/pulse.log; no sound device"
    fi
else
    say "sound: no pulseaudio (bash scripts/setup.sh --soak); no sound device"
fi

# --- The program -----------------------------------------------------------------------------
export ASAN_OPTIONS="log_path=$work/asan:detect_leaks=1"
# Leaks found at exit end the program with 23, told apart from a failure; the reports decide.
export LSAN_OPTIONS="suppressions=$here/scripts/lsan-suppressions.txt:print_suppressions=0:exitcode=23"
export UBSAN_OPTIONS="log_path=$work/ubsan:print_stacktrace=1:halt_on_error=0"
failures=0
app_pid=
window=

start_program() { # first-file
    local dir="$work/app"
    rm -rf "$dir" "$work/home"
    mkdir -p "$dir" "$work/home/run"
    cp "$exe" "$dir/glimmerby"
    printf '[UserProfile]\nShowSplash=False\n' >"$dir/Glimmerby.ini"
    HOME="$work/home" XDG_RUNTIME_DIR="$work/home/run" XDG_CONFIG_HOME="$work/home/.config" \
        "$dir/glimmerby" "$1" >>"$work/program.log" 2>&1 &
    app_pid=$!
    window=
    for _ in $(seq 120); do
        window=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -1 || true)
        [ -n "$window" ] && break
        sleep 0.5
    done
    if [ -z "$window" ]; then
        say "FAIL: the program showed no window"
        failures=$((failures + 1))
        return 1
    fi
    sleep 2
    xdotool windowfocus --sync "$window" 2>/dev/null || true
}

alive() { kill -0 "$app_pid" 2>/dev/null; }

# The main window's id: Qt makes the window anew when the movie picture first shows in it.
main_window() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
        [[ "$(xdotool getwindowname "$id" 2>/dev/null)" == "Glimmerby "[0-9]* ]] && { echo "$id"; return; }
    done
}

# Gives the main window the keyboard again when something else took it, and closes a window
# that stayed up with Esc (a cover screen left over; nothing in these folders asks anything).
refocus() {
    local shown id
    id=$(main_window)
    [ -n "$id" ] && window=$id
    shown=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -vx "$window" || true)
    if [ -n "$shown" ]; then
        say "note: another window stayed up ($(xdotool getwindowname "$(head -1 <<<"$shown")" 2>/dev/null || true)); Esc"
        xdotool windowfocus --sync "$(head -1 <<<"$shown")" key Escape 2>/dev/null || true
        sleep 0.5
    fi
    [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$window" ] ||
        xdotool windowfocus --sync "$window" 2>/dev/null || true
}

key() { xdotool key "$1" 2>/dev/null || true; }

stop_program() {
    if ! alive; then
        wait "$app_pid" && rc=0 || rc=$?
        say "FAIL: the program ended by itself (status $rc)"
        failures=$((failures + 1))
        return
    fi
    kill -TERM "$app_pid"
    for _ in $(seq 60); do alive || break; sleep 0.5; done
    if alive; then
        say "FAIL: the program did not end within 30 s of SIGTERM"
        kill -KILL "$app_pid"
        failures=$((failures + 1))
    fi
    wait "$app_pid" && rc=0 || rc=$?
    [ "$rc" = 0 ] || [ "$rc" = 23 ] || { say "FAIL: exit status $rc"; failures=$((failures + 1)); }
}

# The cover screen takes the keyboard; Esc there brings the window back.
cover_and_back() {
    key Escape
    sleep 0.6
    local cover
    cover=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | grep -vx "$window" | head -1 || true)
    [ -n "$cover" ] && xdotool windowfocus --sync "$cover" 2>/dev/null || true
    key Escape
    sleep 0.6
    refocus
}

# --- Part 1: start-up rounds ---------------------------------------------------------------
say "part 1: start-up rounds"
for delay in 0.05 0.2 0.5 0.9 1.7 0.1; do
    alive_before=$failures
    start_program "$early/1.jpg" || continue
    key Down; sleep 0.9 # 2.gif
    key Down            # 3.mid: the synthesizer is made now
    sleep "$delay"
    key Down; sleep 0.3 # 4.gif
    cover_and_back
    key Down; sleep "$delay" # 5.mid
    for _ in 1 2 3 4 5 6; do key Down; sleep 0.15; done
    key Up; sleep "$delay"
    key Escape; key Escape; sleep 0.8; refocus
    key Down; sleep 1.7
    stop_program
    [ "$failures" = "$alive_before" ] && say "round with $delay s on the first tune: ok"
done

# --- Part 2: the rhythm -----------------------------------------------------------------------
files=()
declare -A place
while IFS= read -r f; do place[$f]=${#files[@]}; files+=("$f"); done < <(cd "$rhythm" && ls | sort)
count=${#files[@]}
say "part 2: $minutes minutes over $count files"
start_program "$rhythm/0000.jpg" || true
steps=0
at=0
end=$(($(date +%s) + minutes * 60))
while alive && [ "$(date +%s)" -lt "$end" ]; do
    key Down
    at=$(((at + 1) % count))
    steps=$((steps + 1))
    case "${files[at],,}" in
        *.jpg | *.jpeg | *.gif | *.bmp) sleep 0.9 ;;
        *) sleep 1.7 ;;
    esac
    if ((steps % 97 == 0)); then # a burst: quick steps, the cover screen, back to the rhythm
        for _ in 1 2 3 4 5; do key Down; at=$(((at + 1) % count)); sleep 0.12; done
        cover_and_back
    fi
    # Qt makes the main window anew when the first movie shows: keys sent meanwhile are lost
    # until the new window has the keyboard.
    ((steps % 5 == 0)) && refocus
    if ((steps % 25 == 0)); then
        # The caption names a picture on screen: the count of steps still matches the list.
        # A step lost (a key taken while a movie opened) is noted, and the count follows the
        # caption again so that the pauses stay right.
        case "${files[at],,}" in
            *.jpg | *.jpeg | *.gif | *.bmp)
                title=$(xdotool getwindowname "$window" 2>/dev/null || true)
                if [[ "$title" != *"/${files[at]}" ]]; then
                    say "note: after $steps steps the caption reads '$title', expected ${files[at]}"
                    shown=${title##*/}
                    [ -n "$shown" ] && [ -n "${place[$shown]+set}" ] && at=${place[$shown]}
                fi ;;
        esac
    fi
    ((steps % 200 == 0)) && say "$steps steps"
done
say "part 2: $steps steps"
stop_program

# --- Findings ----------------------------------------------------------------------------------
[ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null || true
for r in $(ls "$work"/asan.* "$work"/ubsan.* 2>/dev/null || true); do
    # Blocks allocated by a library that was unloaded before the check cannot be traced to
    # anyone (the allocating frame has no module): noted, not counted.
    if ! grep -q -E 'ERROR: AddressSanitizer|runtime error' "$r" &&
        ! grep -A2 -E '(Direct|Indirect) leak of' "$r" | grep -E '^ +#1 ' | grep -qv 'unknown module'; then
        say "note: $r: $(grep -m1 SUMMARY "$r"), all from unloaded libraries"
        continue
    fi
    say "FAIL: $r: $(grep -m1 -E 'ERROR|runtime error|SUMMARY' "$r" || head -1 "$r")"
    failures=$((failures + 1))
done
grep -q "runtime error" "$work/program.log" 2>/dev/null && {
    say "FAIL: runtime errors in $work/program.log"
    failures=$((failures + 1))
}
if [ "$failures" = 0 ]; then
    say "soak: nothing found"
else
    say "soak: $failures finding(s), logs in $work"
fi
[ "$failures" = 0 ]
