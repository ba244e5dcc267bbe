#!/bin/busybox sh
# shellcheck shell=dash
# /init of the real-kernel HID test guest: loads the HID modules, then runs
# each scenario against keyboards that quillan-uhid-emulator presents through
# /dev/uhid, printing "PASS name" or "FAIL name: why" on the console, and
# powers the guest off.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
echo "quillan-kernel-test: started (clock $(cat /sys/devices/system/clocksource/clocksource0/current_clocksource))"

finish() {
    echo "quillan-kernel-test: done"
    sync
    poweroff -f
    sleep 10
}

while read -r m; do
    if ! insmod "/lib/modules/$m.ko"; then
        echo "FAIL boot: insmod $m failed"
        finish
    fi
done </lib/modules/load-order
if [ ! -c /dev/uhid ]; then
    echo "FAIL boot: no /dev/uhid after loading the modules"
    finish
fi

# --- helpers ------------------------------------------------------------------
# Every scenario runs in its own directory $dir; a failed check sets $why
# (the first one counts) and the scenario returns.
why=""
devices=""
device_count=0
cli_rc=0
cli_seconds=0

fail() {
    [ -n "$why" ] || why="$*"
    return 1
}

# start_device KIND [OPTIONS]: starts an emulator and waits until its hidraw
# nodes exist. Its log is emulator-N.log.
start_device() {
    device_count=$((device_count + 1))
    local n=$device_count i=0
    quillan-uhid-emulator --ready "$dir/ready-$n" "$@" >"$dir/emulator-$n.log" 2>&1 &
    devices="$devices $!"
    while [ ! -e "$dir/ready-$n" ]; do
        i=$((i + 1))
        if [ $i -gt 300 ] || ! kill -0 $! 2>/dev/null; then
            fail "emulator $1 did not come up: $(tail -n 1 "$dir/emulator-$n.log")"
            return 1
        fi
        usleep 100000
    done
}

# stop_devices: ends every emulator of the scenario (each writes its summary
# line and, with --dump, its EEPROM).
stop_devices() {
    local pid
    for pid in $devices; do kill -TERM "$pid" 2>/dev/null; done
    for pid in $devices; do wait "$pid" 2>/dev/null; done
    devices=""
}

# summary N FIELD: a number from emulator N's summary line.
summary() {
    sed -n "s/.* $2 \([0-9a-f]*\).*/\1/p" "$dir/emulator-$1.log" | tail -n 1
}

# cli ARGS: runs quillan-cli; stdout in out.txt, stderr in err.txt.
cli() {
    local t0 t1
    t0=$(date +%s)
    timeout "${cli_timeout:-150}" quillan-cli "$@" >"$dir/out.txt" 2>"$dir/err.txt"
    cli_rc=$?
    t1=$(date +%s)
    cli_seconds=$((t1 - t0))
    cat "$dir/err.txt" >>"$dir/cli.log"
}

expect_ok() {
    [ "$cli_rc" = 0 ] && return 0
    fail "quillan-cli $1 exited $cli_rc: $(head -n 1 "$dir/err.txt")"
}

# expect_within SECONDS: the last quillan-cli run took no longer.
expect_within() {
    [ "$cli_seconds" -le "$1" ] || fail "quillan-cli took ${cli_seconds}s, more than $1s"
}

# expect_failure WHAT TEXT: quillan-cli must have failed (not hung) and said TEXT.
expect_failure() {
    if [ "$cli_rc" = 0 ]; then
        fail "quillan-cli $1 reported success"
    elif [ "$cli_rc" = 143 ] || [ "$cli_rc" = 137 ]; then
        fail "quillan-cli $1 hung (killed after ${cli_timeout:-150}s)"
    elif ! grep -qF "$2" "$dir/err.txt"; then
        fail "quillan-cli $1 did not say \"$2\": $(head -n 1 "$dir/err.txt")"
    fi
}

# --- checks -------------------------------------------------------------------
# The reference image: what `quillan-cli build` makes of the example definition.
ref=/tmp/reference
make_reference() {
    mkdir -p "$ref"
    cd "$ref" || return 1
    if [ -f /data/example.dat ]; then
        cp /data/example.dat example.dat
    else
        quillan-cli new example.dat >/dev/null 2>build.log || return 1
    fi
    # Repeat off and Alt-Gr on the keys, so that the Prefix table shows
    # whether bits 4 and 5 were exchanged for an old programming device.
    quillan-kernel-definition example.dat def.dat 2>>build.log || return 1
    quillan-cli build def.dat >/dev/null 2>>build.log && [ -f EEPkey.bin ] || return 1
    # An EEPROM of random bytes, for read-backs whose every byte differs.
    head -c 8192 /dev/urandom >random.bin
    cd /
}

# expect_version TEXT: detect printed TEXT.
expect_version() {
    expect_ok detect || return
    grep -qx "$1" "$dir/out.txt" || fail "detect printed \"$(head -n 1 "$dir/out.txt")\", not $1"
}

# expect_programmed N [--swap-prefix]: emulator N's EEPROM dump holds the
# reference image in 0000..13FF and nothing else was written.
expect_programmed() {
    local n="$1"
    shift
    quillan-uhid-emulator compare "$ref/EEPkey.bin" "$dir/eeprom-$n.bin" "$@" >compare.txt ||
        fail "$(cat compare.txt)"
}

# expect_readback EEPROM: read.dat and eepraw.txt of the last read are what
# quillan-cli refill makes of the EEPROM the device held (eepraw.txt as far
# as it shows the bytes that travel, 0000..13FF).
expect_readback() {
    expect_readback_dump "$1" || return
    cmp -s read.dat expect/read.dat || fail "read.dat differs from the device's EEPROM"
}

# expect_readback_dump EEPROM: the same for eepraw.txt alone.
expect_readback_dump() {
    mkdir -p expect
    (cd expect && quillan-cli refill "$1" read.dat >/dev/null 2>refill.log) ||
        { fail "quillan-cli refill failed: $(head -n 1 expect/refill.log)"; return; }
    [ -f eepraw.txt ] || { fail "read wrote no eepraw.txt"; return; }
    local rest lines
    rest=$(grep -n '^Rest of eeprom' expect/eepraw.txt | cut -d: -f1)
    [ -n "$rest" ] || { fail "eepraw.txt has no \"Rest of eeprom\" section"; return; }
    lines=$((rest + (0x1400 - 0x800) / 16))
    head -n $lines eepraw.txt >got.txt
    head -n $lines expect/eepraw.txt >want.txt
    cmp -s got.txt want.txt ||
        fail "eepraw.txt differs from the device's EEPROM at line $(cmp got.txt want.txt |
            sed -n 's/.* line \([0-9]*\).*/\1/p')"
}

# expect_path N feature|output: how the keyboard was driven, from emulator N's
# summary, and that it refused nothing.
expect_path() {
    local feature output rejected
    feature=$(summary "$1" feature-requests)
    output=$(summary "$1" output-requests)
    rejected=$(summary "$1" rejected)
    [ "$rejected" = 0 ] || { fail "the device refused $rejected reports"; return; }
    case "$2" in
    feature) [ "${feature:-0}" -ge 5120 ] && [ "$output" = 0 ] ;;
    output) [ "${output:-0}" -ge 5120 ] && [ "$feature" = 0 ] ;;
    esac || fail "expected $2 reports, got $feature feature and $output output requests"
}

# program_and_read KIND [emulator options]: detect, program the example, read
# it back and compare, on the last device started (N).
program_and_read() {
    local n=$device_count kind="$1"
    cli detect
    expect_version V0001 || return
    cli program "$ref/def.dat"
    expect_ok program || return
    grep -q ', verified$' out.txt || { fail "program did not say verified: $(cat out.txt)"; return; }
    cli read read.dat
    expect_ok read || return
    stop_devices
    expect_programmed $n || return
    expect_readback "$dir/eeprom-$n.bin" || return
    [ "$(summary $n stored)" = 5120 ] || { fail "the keyboard stored $(summary $n stored) bytes"; return; }
    case "$kind" in
    keyboard-1000) expect_path $n output ;;
    *) expect_path $n feature ;;
    esac
}

# --- scenarios ----------------------------------------------------------------
scenario_no_device() {
    cli detect
    expect_failure detect "" || return
    grep -q '^V[0-9]' out.txt && { fail "detect printed a version with no device"; return; }
    cli program "$ref/def.dat"
    expect_failure program "No Keyboard Found!"
}

keyboard_scenario() {
    start_device "$1" --dump "$dir/eeprom-1.bin" || return
    program_and_read "$1"
}
scenario_keyboard_1000() { keyboard_scenario keyboard-1000; }
scenario_keyboard_1001() { keyboard_scenario keyboard-1001; }
scenario_keyboard_100A() { keyboard_scenario keyboard-100A; }
scenario_keyboard_100B() { keyboard_scenario keyboard-100B; }
scenario_keyboard_100C() { keyboard_scenario keyboard-100C; }

# A read-back of an EEPROM full of random bytes, on each report path.
read_random_scenario() {
    start_device "$1" --load "$ref/random.bin" || return
    cli read read.dat
    expect_ok read || return
    expect_readback "$ref/random.bin"
}
scenario_read_random_1000() { read_random_scenario keyboard-1000; }
scenario_read_random_100B() { read_random_scenario keyboard-100B; }

programmer_scenario() { # version [--swap-prefix]
    start_device "programmer-$1" --dump "$dir/eeprom-1.bin" || return
    cli detect
    expect_version "V$1" || return
    cli program "$ref/def.dat"
    expect_ok program || return
    grep -q 'not verified (programming device)$' out.txt ||
        { fail "program did not say it could not verify: $(cat out.txt)"; return; }
    cli read read.dat
    expect_failure read "No keyboard detected or Upload not supported!" || return
    stop_devices
    shift
    expect_programmed 1 "$@" || return
    [ "$(summary 1 stored)" = 5120 ] || fail "the programmer stored $(summary 1 stored) bytes"
}
scenario_programmer_0412() { programmer_scenario 0412; }
scenario_programmer_0411() { programmer_scenario 0411 --swap-prefix; }

# A mouse is there first: the keyboard's member indices must not move.
mouse_first_scenario() {
    start_device mouse || return
    start_device "$1" --dump "$dir/eeprom-2.bin" || return
    program_and_read "$1"
}
scenario_mouse_first_1000() { mouse_first_scenario keyboard-1000; }
scenario_mouse_first_100B() { mouse_first_scenario keyboard-100B; }

# The keyboard goes away in the middle of the download.
scenario_unplug_during_download() {
    start_device keyboard-100B --destroy-after 2000 || return
    cli program "$ref/def.dat"
    expect_failure program "Programming failed" || return
    expect_within 30 || return
    grep -q 'destroying the device' emulator-1.log || fail "the emulator never destroyed the device"
}

scenario_unplug_during_download_1000() {
    start_device keyboard-1000 --destroy-after 3000 || return
    cli program "$ref/def.dat"
    expect_failure program "Programming failed"
}

# The firmware stops answering feature requests: each times out in the
# kernel (5 s), and the tool must give up instead of sending thousands more.
scenario_stalled_download() {
    start_device keyboard-100B --stall-set 100 || return
    cli program "$ref/def.dat"
    expect_failure program "Programming failed" || return
    expect_within 90
}

scenario_stalled_read() {
    start_device keyboard-100B --stall-get 100 || return
    cli read read.dat
    expect_failure read "Error : " || return
    expect_within 90 || return
    [ -f read.dat ] && fail "a failed read wrote read.dat"
}

# Answers to read requests come two bytes short. (The kernel drops input
# reports shorter than the descriptor says, so on the input path the tool
# sees no answer at all.)
scenario_short_answer_feature() {
    start_device keyboard-100B --short-answers --load "$ref/random.bin" || return
    cli read read.dat
    expect_failure read "Error : " || return
    [ -f read.dat ] && fail "a failed read wrote read.dat"
}

scenario_short_answer_input() {
    start_device keyboard-1000 --short-answers --load "$ref/random.bin" || return
    cli read read.dat
    expect_failure read "Error : " || return
    [ -f read.dat ] && fail "a failed read wrote read.dat"
}

# A device with the keyboard's product ID but another vendor is no keyboard.
scenario_wrong_vendor() {
    start_device keyboard-100B --wrong-vendor --dump "$dir/eeprom-1.bin" || return
    cli detect
    expect_failure detect "" || return
    cli program "$ref/def.dat"
    expect_failure program "No Keyboard Found!" || return
    stop_devices
    [ "$(summary 1 feature-requests)" = 0 ] || fail "the device was sent reports"
}

# The keyboard stores one byte wrongly: the read-back after the download
# finds it, and quillan-cli exits 3.
scenario_verify_failure() {
    start_device keyboard-100B --corrupt 0123 || return
    cli program "$ref/def.dat"
    [ "$cli_rc" = 3 ] || { fail "program exited $cli_rc, not 3: $(head -n 1 err.txt)"; return; }
    grep -q '^Verify failed at 0123: wrote ' err.txt ||
        fail "no \"Verify failed at 0123\" line: $(head -n 3 err.txt | tr '\n' ' ')"
}

# wait_for_output PATTERN N PID WHAT: produce (PID) has printed N lines
# matching PATTERN.
wait_for_output() {
    local i=0
    while [ "$(cat produce.txt 2>/dev/null | grep -c "$1")" -lt "$2" ]; do
        i=$((i + 1))
        if [ $i -gt 900 ] || ! kill -0 "$3" 2>/dev/null; then
            fail "$4: $(tail -n 1 produce-err.txt)"
            return 1
        fi
        usleep 100000
    done
}

# Three keyboards plugged in one after the other (uhid create and destroy)
# while quillan-cli produce runs: three PASS lines with consecutive serials,
# each keyboard holding its serial and the logged CRC.
scenario_production_run() {
    local pid n serial rc unit
    timeout 400 quillan-cli produce "$ref/def.dat" --serial QX-0009 --count 3 --log run.csv \
        >produce.txt 2>produce-err.txt &
    pid=$!
    # Each keyboard is plugged in once produce asks for it and taken away
    # once it shows the result.
    for n in 1 2 3; do
        wait_for_output '^Waiting for keyboard' $n $pid "produce did not ask for keyboard $n" &&
            start_device keyboard-100B --dump "$dir/eeprom-$n.bin" &&
            wait_for_output '^passed ' $n $pid "keyboard $n was not served" ||
            { kill $pid 2>/dev/null; return; }
        stop_devices
    done
    wait $pid
    rc=$?
    cat produce-err.txt >>cli.log
    [ "$rc" = 0 ] || { fail "produce exited $rc: $(tail -n 1 produce-err.txt)"; return; }
    [ "$(grep -c ',PASS,' run.csv)" = 3 ] || { fail "run.csv: $(tr '\n' ' ' <run.csv)"; return; }
    for unit in 1:QX-0009 2:QX-0010 3:QX-0011; do
        n=${unit%%:*}
        serial=${unit#*:}
        grep -q ",$serial,04B4:100B,V0001,PASS,.*,0,$(quillan-uhid-emulator crc "eeprom-$n.bin"),yes\$" \
            run.csv || { fail "no PASS line for $serial with keyboard $n's CRC"; return; }
        [ "$(dd if="eeprom-$n.bin" bs=1 skip=$((0x630)) count=7 2>/dev/null)" = "$serial" ] ||
            { fail "keyboard $n does not hold serial $serial"; return; }
    done
}

# Four keyboards of one product plugged in at once (four emulators, four
# devices) and produce with four stations through hidapi: four PASS lines,
# each keyboard holding its own serial.
scenario_four_stations() {
    local n serial held=""
    for n in 1 2 3 4; do
        start_device keyboard-100B --dump "$dir/eeprom-$n.bin" || return
    done
    timeout 400 quillan-cli produce "$ref/def.dat" --serial QX-0001 --count 4 --stations 4 \
        --log run.csv >produce.txt 2>produce-err.txt
    n=$?
    stop_devices
    cat produce-err.txt >>cli.log
    [ "$n" = 0 ] || { fail "produce exited $n: $(tail -n 1 produce-err.txt)"; return; }
    [ "$(grep -c ',PASS,' run.csv)" = 4 ] || { fail "run.csv: $(tr '\n' ' ' <run.csv)"; return; }
    for n in 1 2 3 4; do
        serial="$(dd if="eeprom-$n.bin" bs=1 skip=$((0x630)) count=7 2>/dev/null)"
        grep -q ",$serial,04B4:100B,V0001,PASS," run.csv ||
            { fail "keyboard $n holds \"$serial\", which has no PASS line"; return; }
        held="$held $serial"
    done
    [ "$(echo $held | tr ' ' '\n' | sort -u | wc -l)" = 4 ] || fail "serials held:$held"
}

# The scenarios that drive a web page in Chromium.
[ -f /lib/webhid.sh ] && . /lib/webhid.sh

# --- runner -------------------------------------------------------------------
only="$(cat /data/only 2>/dev/null)"
verbose="$(cat /data/verbose 2>/dev/null)"
run() {
    local name="$1" run_start
    if [ -n "$only" ] && ! echo " $only " | grep -qF " $name "; then
        return
    fi
    case "$name" in webhid-*) [ -f /lib/webhid.sh ] || return ;; esac
    dir="/tmp/scenario/$name"
    mkdir -p "$dir"
    cd "$dir" || return
    why=""
    device_count=0
    run_start=$(date +%s)
    "scenario_$(echo "$name" | tr - _)"
    stop_devices
    if [ -z "$why" ]; then
        echo "PASS $name ($(($(date +%s) - run_start))s)"
    else
        echo "FAIL $name: $why"
    fi
    if [ -n "$why" ] || [ -n "$verbose" ]; then
        for f in "$dir"/cli.log "$dir"/emulator-*.log "$dir"/driver.txt "$dir"/chromium.log; do
            [ -f "$f" ] && sed "s|^|    $(basename "$f"): |" "$f" | tail -n 12
        done
    fi
    cd /
}

if ! make_reference; then
    echo "FAIL reference: quillan-cli could not build the example: $(tail -n 1 "$ref/build.log")"
    finish
fi
for name in no-device keyboard-1000 keyboard-1001 keyboard-100A keyboard-100B keyboard-100C \
    read-random-1000 read-random-100B programmer-0412 programmer-0411 mouse-first-1000 \
    mouse-first-100B unplug-during-download unplug-during-download-1000 stalled-download \
    stalled-read short-answer-feature short-answer-input wrong-vendor verify-failure \
    production-run four-stations webhid-collections webhid-program; do
    run "$name"
done

finish
