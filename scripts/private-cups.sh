#!/bin/sh
# A private CUPS scheduler for the spooler tests and for trying the report command against
# real queues. It runs its own cupsd from a fresh folder under /tmp (configuration, spool,
# cache, logs, backends and a unix socket of its own) and never touches /etc/cups or the
# system's scheduler.
#
#   private-cups.sh start [--owner PID]  starts it and prints NAME=VALUE lines:
#       CUPS_SERVER        the socket; export it so lp, lpstat and the component talk to this scheduler
#       TELMO_CUPS_ROOT    the folder (give it to stop)
#       TELMO_CUPS_OUT     where the queues drop their jobs
#     With --owner, the scheduler is stopped as soon as process PID has gone, so a test
#     that crashes or is killed leaves nothing running.
#   private-cups.sh stop ROOT            stops it and removes ROOT (kept with TELMO_CUPS_KEEP=1)
#   private-cups.sh wait-idle [SECONDS]  waits until the scheduler at CUPS_SERVER has no
#                                        unfinished job (default 20 s)
#   private-cups.sh run COMMAND [ARG...] starts, runs COMMAND with CUPS_SERVER exported,
#                                        stops, and exits with COMMAND's status
#
# Queues:
#   pdfout     default; raw, so the job's PDF reaches the backend unchanged. Each job becomes
#              $TELMO_CUPS_OUT/job-N.pdf, with job-N.info beside it (copies, options, title,
#              user as the backend received them). The .info file is written first and the
#              PDF renamed into place last, so an existing job-N.pdf is complete.
#   ppdout     the same folder, through a small pass-through PPD (A4 and Letter, duplex), so
#              the print dialog offers paper sizes and duplex and they reach the job options
#   broken     accepts jobs; its backend fails, so CUPS aborts each job
#   rejecting  refuses every submission
#
# Exit status: 0 done, 1 failed, 77 cupsd cannot run here (not installed, or refused to
# start for an unprivileged user); tests skip on 77 and fail on anything else.
set -u
# cupsd and lpadmin live in sbin, which an unprivileged PATH may lack.
PATH="$PATH:/usr/sbin:/sbin"
export PATH
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

die() {
    echo "private-cups: $*" >&2
    exit 1
}

cannot_run() {
    echo "private-cups: cannot run cupsd here: $*" >&2
    exit 77
}

# A folder this script made: refuse to stop or remove anything else.
is_ours() {
    [ -n "$1" ] && [ -d "$1" ] && [ -f "$1/.telmo-private-cups" ]
}

scheduler_running() {
    lpstat -r 2>/dev/null | grep -qx 'scheduler is running'
}

# Writes a backend; 0700 and owned by root makes cupsd run it as root, which can write to
# the output folder whoever owns it.
write_backends() {
    cat >"$1/tofolder" <<'EOF'
#!/bin/sh
# tofolder:/DIR - drops each job in DIR as job-ID.pdf, with job-ID.info describing it.
if [ $# -eq 0 ]; then
    echo 'direct tofolder "Unknown" "Drop jobs in a folder"'
    exit 0
fi
dir=${DEVICE_URI#tofolder:}
out="$dir/job-$1"
{
    echo "copies=$4"
    echo "options=$5"
    echo "title=$3"
    echo "user=$2"
} >"$out.info.part" && mv "$out.info.part" "$out.info" || exit 1
if [ -n "${6:-}" ]; then cp "$6" "$out.pdf.part"; else cat >"$out.pdf.part"; fi || exit 1
chmod 644 "$out.pdf.part" "$out.info"
mv "$out.pdf.part" "$out.pdf" || exit 1
echo "INFO: wrote $out.pdf" >&2
exit 0
EOF
    cat >"$1/failjob" <<'EOF'
#!/bin/sh
# failjob: - reads the job and fails, so the scheduler aborts it.
if [ $# -eq 0 ]; then
    echo 'direct failjob "Unknown" "Always fails"'
    exit 0
fi
cat "${6:-/dev/stdin}" >/dev/null
echo "ERROR: simulated backend failure" >&2
exit 1
EOF
    chmod 700 "$1/tofolder" "$1/failjob"
}

# Only what the pass-through queue needs: two paper sizes with their printable areas, and
# duplex. The filter line takes PDF as it comes, with no conversion (no filters installed).
write_ppd() {
    cat >"$1" <<'EOF'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TELMOPDF.PPD"
*Manufacturer: "TELMO"
*Product: "(PDF pass-through)"
*ModelName: "TELMO PDF pass-through"
*ShortNickName: "TELMO PDF pass-through"
*NickName: "TELMO PDF pass-through"
*PSVersion: "(3010.000) 0"
*ColorDevice: True
*cupsFilter2: "application/pdf application/pdf 0 -"
*OpenUI *PageSize/Page Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageSize Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageRegion Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "18 18 577 824"
*ImageableArea Letter/US Letter: "18 18 594 774"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/US Letter: "612 792"
*OpenUI *Duplex/2-Sided: PickOne
*DefaultDuplex: None
*Duplex None/Off: "<</Duplex false>>setpagedevice"
*Duplex DuplexNoTumble/Long Edge: "<</Duplex true/Tumble false>>setpagedevice"
*Duplex DuplexTumble/Short Edge: "<</Duplex true/Tumble true>>setpagedevice"
*CloseUI: *Duplex
EOF
}

start() {
    owner=""
    if [ "${1:-}" = "--owner" ]; then
        owner=${2:?--owner needs a process id}
    fi
    for tool in cupsd lpadmin lpstat cupsreject; do
        command -v "$tool" >/dev/null 2>&1 || cannot_run "$tool is not installed (packages cups-daemon, cups-client)"
    done
    [ -d /usr/lib/cups/backend ] || cannot_run "/usr/lib/cups is missing (package cups-daemon)"

    # Under /tmp, not $TMPDIR: a unix socket path must stay under 108 bytes.
    root=$(mktemp -d /tmp/telmo-cups.XXXXXX) || die "cannot make a folder under /tmp"
    touch "$root/.telmo-private-cups"
    # Filters and backends that run as lp must be able to traverse it.
    chmod 755 "$root"
    mkdir -p "$root/etc/ppd" "$root/etc/ssl" "$root/spool/tmp" "$root/cache" "$root/run" "$root/log" \
        "$root/out" "$root/bin/backend" || die "cannot populate $root"
    chmod 1777 "$root/spool/tmp"
    # A private ServerBin: the system's helpers, plus backends of our own.
    for d in daemon filter cgi-bin driver monitor notifier; do
        [ -e "/usr/lib/cups/$d" ] && ln -s "/usr/lib/cups/$d" "$root/bin/$d"
    done
    write_backends "$root/bin/backend"
    write_ppd "$root/etc/telmo-pdf.ppd"

    cat >"$root/etc/cups-files.conf" <<EOF
ServerRoot $root/etc
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/run
ServerBin $root/bin
DataDir /usr/share/cups
DocumentRoot /usr/share/cups/doc-root
ErrorLog $root/log/error_log
AccessLog $root/log/access_log
PageLog $root/log/page_log
ServerKeychain $root/etc/ssl
FileDevice Yes
User lp
Group lp
SystemGroup root
EOF
    # Only the socket; no network, no browsing, no web interface. A failed job is not
    # retried, so it ends aborted at once and a test can see it.
    cat >"$root/etc/cupsd.conf" <<EOF
LogLevel ${TELMO_CUPS_LOGLEVEL:-warn}
Listen $root/cups.sock
Browsing No
WebInterface No
DefaultAuthType None
JobRetryLimit 0
PreserveJobFiles No
MaxJobs 0
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF

    CUPS_SERVER="$root/cups.sock"
    export CUPS_SERVER
    cupsd -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" </dev/null >"$root/log/cupsd.out" 2>&1 &
    pid=$!
    echo "$pid" >"$root/cupsd.pid"
    i=0
    while ! scheduler_running; do
        if ! kill -0 "$pid" 2>/dev/null; then
            why=$(cat "$root/log/cupsd.out" "$root/log/error_log" 2>/dev/null | tail -n 5)
            rm -rf "$root"
            [ "$(id -u)" -eq 0 ] || cannot_run "cupsd refused to start for an unprivileged user: $why"
            die "cupsd did not start: $why"
        fi
        i=$((i + 1))
        if [ $i -gt 200 ]; then
            stop "$root"
            die "cupsd did not answer on $CUPS_SERVER within 10 s"
        fi
        sleep 0.05
    done

    # lpadmin says raw queues are deprecated; CUPS 2.4 still runs them, and they are what
    # keeps the job byte for byte as it was sent.
    lpadmin -p pdfout -E -v "tofolder:$root/out" -D "TELMO test PDF folder" 2>/dev/null ||
        { stop "$root"; die "cannot add queue pdfout"; }
    lpadmin -p ppdout -E -v "tofolder:$root/out" -P "$root/etc/telmo-pdf.ppd" -D "TELMO test PPD queue" \
        2>/dev/null || { stop "$root"; die "cannot add queue ppdout"; }
    lpadmin -p broken -E -v "failjob:/" -o printer-error-policy=abort-job -D "TELMO test failing queue" \
        2>/dev/null || { stop "$root"; die "cannot add queue broken"; }
    { lpadmin -p rejecting -E -v "tofolder:$root/out" -D "TELMO test rejecting queue" 2>/dev/null &&
        cupsreject -r "not accepting jobs for the test" rejecting; } ||
        { stop "$root"; die "cannot add queue rejecting"; }
    lpadmin -d pdfout || { stop "$root"; die "cannot make pdfout the default"; }

    if [ -n "$owner" ]; then
        # Detached from every descriptor of the caller, so that a caller reading our output
        # sees its end when this script exits.
        (
            while kill -0 "$owner" 2>/dev/null && kill -0 "$pid" 2>/dev/null; do sleep 1; done
            kill -0 "$pid" 2>/dev/null && sh "$self" stop "$root"
        ) </dev/null >/dev/null 2>&1 &
    fi

    echo "CUPS_SERVER=$CUPS_SERVER"
    echo "TELMO_CUPS_ROOT=$root"
    echo "TELMO_CUPS_OUT=$root/out"
}

stop() {
    root=${1:-}
    is_ours "$root" || die "stop: $root is not a folder of this script"
    if [ -f "$root/cupsd.pid" ]; then
        pid=$(cat "$root/cupsd.pid")
        # Only the scheduler started for this folder, never a recycled process id.
        if [ -n "$pid" ] && grep -q "$root" "/proc/$pid/cmdline" 2>/dev/null; then
            kill "$pid" 2>/dev/null
            i=0
            while kill -0 "$pid" 2>/dev/null && [ $i -lt 100 ]; do
                i=$((i + 1))
                sleep 0.05
            done
            kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
        fi
    fi
    if [ "${TELMO_CUPS_KEEP:-0}" = 0 ]; then
        rm -rf "$root"
    else
        echo "private-cups: kept $root" >&2
    fi
}

wait_idle() {
    [ -n "${CUPS_SERVER:-}" ] || die "wait-idle: CUPS_SERVER is not set"
    limit=$((${1:-20} * 20))
    i=0
    # lpstat -o lists unfinished jobs only.
    while [ -n "$(lpstat -o 2>/dev/null)" ]; do
        i=$((i + 1))
        [ $i -le $limit ] || die "wait-idle: jobs still pending after ${1:-20} s"
        sleep 0.05
    done
}

run() {
    [ $# -gt 0 ] || die "run: give a command"
    vars=$(start) || exit $?
    eval "$vars"
    export CUPS_SERVER TELMO_CUPS_ROOT TELMO_CUPS_OUT
    "$@"
    status=$?
    stop "$TELMO_CUPS_ROOT"
    exit $status
}

command=${1:-}
[ $# -gt 0 ] && shift
case "$command" in
start) start "$@" ;;
stop) stop "$@" ;;
wait-idle) wait_idle "$@" ;;
run) run "$@" ;;
*)
    echo "usage: $0 start [--owner PID] | stop ROOT | wait-idle [SECONDS] | run COMMAND [ARG...]" >&2
    exit 2
    ;;
esac
