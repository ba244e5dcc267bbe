# shellcheck shell=dash
# The WebHID scenarios of the real-kernel test guest (sourced by /init).
# Headless Chromium comes from the host, whose root qemu shares read-only
# over virtio-9p: the guest mounts it at /host, gives it what a browser
# writes to (/tmp, /run, HOME, /dev/shm) and a managed policy that grants
# the test pages the keyboards without a device chooser, and runs the
# browser there with chroot. The keyboards are the same uhid emulators as
# in the other scenarios.
host=/host
site_port=8080
site_url="http://127.0.0.1:$site_port"
webhid_state="" # "", "ready" or why the browser cannot run
kernel_dir="$(cat /data/kernel-dir 2>/dev/null)" # tests/kernel on the host
site="$(cat /data/webhid-site 2>/dev/null)"      # the site folder on the host
driver_timeout="$(cat /data/webhid-timeout 2>/dev/null)" # seconds one browser run may take
driver_timeout="${driver_timeout:-2400}"

# Vendor and product of everything the policy grants: the keyboards and
# the programming device.
granted_devices="04B4:1000 04B4:1001 04B4:100A 04B4:100B 04B4:100C 1593:FF02"

webhid_policy() {
    local entry devices=""
    for entry in $granted_devices; do
        devices="$devices${devices:+, }{\"vendor_id\": $((0x${entry%:*})), \"product_id\": $((0x${entry#*:}))}"
    done
    printf '{"WebHidAllowDevicesForUrls": [{"devices": [%s], "urls": ["%s"]}]}\n' \
        "$devices" "$site_url"
}

# Runs a command inside the host's file tree.
in_host() {
    chroot "$host" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root TMPDIR=/tmp LANG=C.UTF-8 "$@"
}

webhid_mounts() {
    mkdir -p "$host" &&
        mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=262144 hostroot "$host" ||
        return 1
    [ -x "$host/usr/lib/chromium/chromium" ] || { echo "the host has no chromium"; return 1; }
    # The site and the driver are copied before the guest's /tmp covers the
    # host's: a checkout under /tmp or /root is hidden inside the chroot.
    mkdir -p /tmp/quillan-web && cp -r "$host$site" /tmp/quillan-web/site &&
        cp "$host$kernel_dir/webhid_driver.py" /tmp/quillan-web/ ||
        { echo "cannot copy the site $site and the driver"; return 1; }
    mount -t proc proc "$host/proc" && mount -t sysfs sysfs "$host/sys" &&
        mount -t devtmpfs devtmpfs "$host/dev" && mkdir -p "$host/dev/shm" &&
        mount -t tmpfs tmpfs "$host/dev/shm" && mount --bind /tmp "$host/tmp" &&
        mount -t tmpfs tmpfs "$host/run" && mount -t tmpfs tmpfs "$host/root" || return 1
    # The browser's own settings with the policy beside them.
    mkdir -p /tmp/etc-chromium
    cp -a "$host/etc/chromium/." /tmp/etc-chromium/ 2>/dev/null
    mount -t tmpfs tmpfs "$host/etc/chromium" && cp -a /tmp/etc-chromium/. "$host/etc/chromium/" &&
        mkdir -p "$host/etc/chromium/policies/managed" &&
        webhid_policy >"$host/etc/chromium/policies/managed/quillan-kernel-test.json"
}

# Mounts the host's files and starts the site's server, once.
webhid_setup() {
    [ -z "$webhid_state" ] || { [ "$webhid_state" = ready ]; return; }
    webhid_state="setup failed"
    ip link set lo up || { webhid_state="no loopback network"; return 1; }
    local why
    why="$(webhid_mounts 2>&1)" || { webhid_state="mounting the host's files failed: $why"; return 1; }
    site=/tmp/quillan-web/site # the copies webhid_mounts made
    kernel_dir=/tmp/quillan-web
    in_host /usr/bin/python3 "$kernel_dir/webhid_driver.py" serve "$site" "$site_port" \
        >/tmp/site.log 2>&1 &
    local i=0
    while ! grep -q '^serving' /tmp/site.log; do
        i=$((i + 1))
        [ $i -le 300 ] || { webhid_state="the site's server did not start: $(tail -n 1 /tmp/site.log)"; return 1; }
        usleep 100000
    done
    webhid_state=ready
}

# driver SECONDS COMMAND URL [ARGS]: runs the browser driver for at most
# SECONDS; its output in driver.txt, shown on the console as it comes (a
# slow run shows where it is).
driver() {
    local limit="$1"
    shift
    {
        in_host timeout "$limit" /usr/bin/python3 "$kernel_dir/webhid_driver.py" "$@" \
            --profile "$dir/profile" --log "$dir/chromium.log"
        echo $? >"$dir/driver.rc"
    } 2>&1 | tee "$dir/driver.txt" | awk '{ print "    driver: " $0; fflush() }'
    local rc
    rc=$(cat "$dir/driver.rc")
    [ "$rc" != 124 ] || echo "error: the driver did not finish within ${limit}s" >>"$dir/driver.txt"
    return "$rc"
}

# After a failed run: the end of Chromium's log and the guest's memory, on
# the console.
show_browser_state() {
    { tail -n 30 "$dir/chromium.log"; free -m; dmesg | tail -n 5; } 2>&1 |
        awk '{ print "    browser-state: " $0 }'
}

# Every keyboard product and the programming device at once: which of their
# collections does the browser show, and which request reports reach them?
# Each product must be reachable on the path the note in tests/kernel says.
scenario_webhid_collections() {
    webhid_setup || { fail "$webhid_state"; return; }
    local kind
    for kind in keyboard-1000 keyboard-1001 keyboard-100A keyboard-100B keyboard-100C \
        programmer-0412; do
        start_device "$kind" || return
    done
    # A page of the site's origin that runs none of the site's scripts.
    driver 600 probe "$site_url/kernel-test-probe" || { fail "probe: $(tail -n 1 driver.txt)"; return; }
    local expect product reaches
    for expect in 1593:FF02:"feature 0" 04B4:1000:"output 3" 04B4:1001:"feature 3,get feature 3" \
        04B4:100A:"feature 3,get feature 3" 04B4:100B:"feature 3,get feature 3" \
        04B4:100C:"feature 3,get feature 3"; do
        product=${expect%:*}
        reaches=${expect##*:}
        grep -q "^device $product .* reaches $reaches\$" driver.txt ||
            { fail "$product: no collection takes $reaches"; return; }
    done
    # The keyboard collections are the browser's own, never the page's.
    grep -q ' 0001:0006(' driver.txt && fail "the page sees a keyboard collection"
}

# The site loads the example definition, programs it into a keyboard with
# verify and reads it back through WebHID: the keyboard's EEPROM must hold
# quillan-cli's image, and the site's "eepraw.txt" must be what quillan-cli
# refill makes of that EEPROM.
scenario_webhid_program() {
    webhid_setup || { fail "$webhid_state"; return; }
    start_device keyboard-100B --dump "$dir/eeprom-1.bin" || return
    mkdir -p downloads
    # The emulated keyboards report version 0001, which the browser does not pass on.
    driver "$driver_timeout" program "$site_url/" --load "$ref/def.dat" --downloads "$dir/downloads" \
        --keyboard-version 1
    local rc=$?
    [ $rc = 0 ] || {
        show_browser_state
        fail "the page did not program and read: $(tail -n 1 driver.txt)"
        return
    }
    stop_devices
    expect_programmed 1 || return
    [ "$(summary 1 stored)" = 5120 ] || { fail "the keyboard stored $(summary 1 stored) bytes"; return; }
    expect_path 1 feature || return
    # Every byte read twice through WebHID: verify and the read-back.
    [ "$(summary 1 answered)" -ge 10240 ] ||
        { fail "the keyboard answered $(summary 1 answered) reads, not 2 x 5120"; return; }
    [ -f downloads/eepraw.txt ] || { fail "the page downloaded no eepraw.txt"; return; }
    cp downloads/eepraw.txt eepraw.txt
    expect_readback_dump "$dir/eeprom-1.bin"
}
