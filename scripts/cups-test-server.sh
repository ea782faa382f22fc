# Sourced by ./test: a private print server with one PDF printer queue, for the
# end-to-end printing tests. Nothing is left running: the caller's trap stops it.
# Exports CUPS_SERVER (its socket) and VIEWER_TEST_PRINTER (the queue's name).

VIEWER_CUPS_PACKAGES="cups cups-client cups-bsd printer-driver-cups-pdf"

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
    $sudo /usr/sbin/cupsd -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" || return 1
    VIEWER_CUPS_DIR="$dir"
    export CUPS_SERVER="$dir/cups.sock"
    local i
    for i in $(seq 50); do
        [ -S "$CUPS_SERVER" ] && lpstat -r >/dev/null 2>&1 && break
        sleep 0.1
    done
    export VIEWER_TEST_PRINTER="KRN740-PDF"
    $sudo env CUPS_SERVER="$CUPS_SERVER" lpadmin -p "$VIEWER_TEST_PRINTER" -E -v cups-pdf:/ \
        -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null || return 1
    $sudo env CUPS_SERVER="$CUPS_SERVER" lpadmin -d "$VIEWER_TEST_PRINTER"
}

viewer_cups_stop() {
    [ -n "${VIEWER_CUPS_DIR:-}" ] || return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo pkill -f "cupsd -C $VIEWER_CUPS_DIR/cupsd.conf" 2>/dev/null || true
    $sudo rm -rf "$VIEWER_CUPS_DIR"
    VIEWER_CUPS_DIR=""
}
