#!/usr/bin/env bash
# Local servers for the transfer tests, on free ports of 127.0.0.1 only.
#   tools/test-servers.sh start <dir>   starts an FTP server (pyftpdlib) serving <dir>/ftp
#                                       with user "qduser", password "s3cret pass" (and
#                                       anonymous read access), and an HTTP server
#                                       (python3 -m http.server) serving <dir>/http;
#                                       prints "ftp=<port> http=<port>"
#   tools/test-servers.sh stop <dir>    stops both
set -euo pipefail

cmd=${1:-}
dir=${2:-}
if [ -z "$cmd" ] || [ -z "$dir" ]; then
    echo "usage: $0 start|stop <dir>" >&2
    exit 2
fi

# The Debian python has python3-pyftpdlib; a python of another installation may not.
python=python3
if [ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null; then
    python=/usr/bin/python3
fi

wait_for_file() { # wait_for_file <file> <what>
    for _ in $(seq 1 100); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    echo "$0: the $2 server did not start" >&2
    return 1
}

case "$cmd" in
start)
    mkdir -p "$dir/ftp" "$dir/http"
    rm -f "$dir/ftp.port" "$dir/http.log"
    "$python" - "$dir/ftp" "$dir/ftp.port" >"$dir/ftp.log" 2>&1 <<'PY' &
import logging, os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
root, portfile = sys.argv[1], sys.argv[2]
authorizer = DummyAuthorizer()
authorizer.add_user("qduser", "s3cret pass", root, perm="elradfmwMT")
authorizer.add_anonymous(root)
handler = FTPHandler
handler.authorizer = authorizer
logging.basicConfig(level=logging.WARNING)
server = FTPServer(("127.0.0.1", 0), handler)
with open(portfile + ".tmp", "w") as f:
    f.write(str(server.socket.getsockname()[1]))
os.rename(portfile + ".tmp", portfile)
server.serve_forever()
PY
    echo $! >"$dir/ftp.pid"
    "$python" -u -m http.server 0 --bind 127.0.0.1 --directory "$dir/http" >"$dir/http.log" 2>&1 &
    echo $! >"$dir/http.pid"
    wait_for_file "$dir/ftp.port" FTP
    for _ in $(seq 1 100); do
        grep -q "port [0-9]" "$dir/http.log" 2>/dev/null && break
        sleep 0.1
    done
    http_port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$dir/http.log" | head -1)
    if [ -z "$http_port" ]; then
        echo "$0: the HTTP server did not start" >&2
        exit 1
    fi
    echo "$http_port" >"$dir/http.port"
    echo "ftp=$(cat "$dir/ftp.port") http=$http_port"
    ;;
stop)
    for s in ftp http; do
        if [ -f "$dir/$s.pid" ]; then
            kill "$(cat "$dir/$s.pid")" 2>/dev/null || true
            rm -f "$dir/$s.pid"
        fi
    done
    ;;
*)
    echo "usage: $0 start|stop <dir>" >&2
    exit 2
    ;;
esac
