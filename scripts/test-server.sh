#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests and benchmarks: initdb into a folder of its own,
# listening only on a private socket folder and a local port; never the system's cluster.
# Usage: scripts/test-server.sh start FOLDER PORT | stop FOLDER
set -euo pipefail
bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
[ -n "$bin" ] || { echo "PostgreSQL non è installato" >&2; exit 1; }
folder="$2"

# initdb refuses to run as root: the cluster then belongs to the postgres system user.
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

case "$1" in
start)
    port="$3"
    rm -rf "$folder"
    mkdir -p "$folder/socket"
    [ "$(id -u)" -ne 0 ] || chown -R postgres:postgres "$folder"
    as_owner "$bin/initdb" -D "$folder/data" -U tovrin --auth=trust -E UTF8 --locale=C.UTF-8 \
        --no-sync >"$folder/initdb.log"
    # One role logs in over TCP with a password, for the tests of the program's login.
    as_owner sed -i '1i host all tovrin_password all scram-sha-256' "$folder/data/pg_hba.conf"
    as_owner "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
        -o "-c listen_addresses=localhost -p $port -k $folder/socket -c fsync=off" start \
        >/dev/null
    ;;
stop)
    if [ -d "$folder/data" ]; then
        as_owner "$bin/pg_ctl" -D "$folder/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$folder"
    ;;
*)
    echo "uso: $0 start CARTELLA PORTA | stop CARTELLA" >&2
    exit 2
    ;;
esac
