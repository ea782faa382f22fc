# Sourced by ./test: a private print server with one PDF printer queue, for the
# end-to-end printing tests. Nothing is left running: the caller's trap stops it.
# Exports CUPS_SERVER (its socket) and VIEWER_TEST_PRINTER (the queue's name).
# The PDF printer writes each job into the job owner's home folder (~/PDF), the
# home taken from the password database.

VIEWER_CUPS_PACKAGES="cups cups-client printer-driver-cups-pdf poppler-utils"

viewer_cups_start() {
    local dir
    dir="$(mktemp -d /tmp/krn740-cups-XXXXXX)"
    chmod 755 "$dir"
    mkdir -p "$dir/spool" "$dir/cache" "$dir/state" "$dir/log" "$dir/ppd"
    cat >"$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
WebInterface No
Browsing No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root lpadmin
CONF
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    VIEWER_CUPS_DIR="$dir"
    # In the foreground of a background job, so that its own process id stops it.
    $sudo /usr/sbin/cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null &
    VIEWER_CUPS_PID=$!
    export CUPS_SERVER="$dir/cups.sock"
    local i
    for i in $(seq 50); do
        [ -S "$CUPS_SERVER" ] && lpstat -r >/dev/null 2>&1 && break
        kill -0 "$VIEWER_CUPS_PID" 2>/dev/null || { echo "The test print server did not start." >&2; return 1; }
        sleep 0.1
    done
    export VIEWER_TEST_PRINTER="KRN740-PDF"
    # The job reaches the PDF printer as PostScript. Made by pdftocairo, its text
    # stays readable in the PDF that arrives; Ghostscript's PostScript would drop
    # the fonts' character maps, and the tests read that text back.
    $sudo env CUPS_SERVER="$CUPS_SERVER" lpadmin -p "$VIEWER_TEST_PRINTER" -E -v cups-pdf:/ \
        -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd -o pdftops-renderer-default=pdftocairo 2>/dev/null || return 1
    $sudo env CUPS_SERVER="$CUPS_SERVER" lpadmin -d "$VIEWER_TEST_PRINTER"
}

viewer_cups_stop() {
    [ -n "${VIEWER_CUPS_DIR:-}" ] || return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    if [ -n "${VIEWER_CUPS_PID:-}" ]; then
        $sudo kill "$VIEWER_CUPS_PID" 2>/dev/null || true
        local i
        for i in $(seq 50); do
            kill -0 "$VIEWER_CUPS_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$VIEWER_CUPS_PID" 2>/dev/null && $sudo kill -9 "$VIEWER_CUPS_PID" 2>/dev/null
        wait "$VIEWER_CUPS_PID" 2>/dev/null || true
        VIEWER_CUPS_PID=""
    fi
    $sudo rm -rf "$VIEWER_CUPS_DIR"
    VIEWER_CUPS_DIR=""
    unset CUPS_SERVER VIEWER_TEST_PRINTER
}
