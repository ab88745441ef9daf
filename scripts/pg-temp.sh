#!/usr/bin/env bash
# Sourced by the test script: starts a throwaway PostgreSQL cluster on 127.0.0.1 and a
# free port, exports MOLVAR_TEST_PG, and stops and removes the cluster when the shell exits.
# Returns non-zero when the server cannot be started.

pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$pg_bin" ] || [ ! -x "$pg_bin/pg_ctl" ]; then
  echo "PostgreSQL não está instalado (falta pg_ctl)." >&2
  return 1
fi

pg_dir=$(mktemp -d /tmp/molvar-pg.XXXXXX)
chmod 755 "$pg_dir"
as_pg=()
if [ "$(id -u)" -eq 0 ]; then
  chown postgres:postgres "$pg_dir"
  as_pg=(runuser -u postgres --)
fi

pg_port=""
for _ in $(seq 1 50); do
  candidate=$((20000 + RANDOM % 30000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
    pg_port=$candidate
    break
  fi
done
if [ -z "$pg_port" ]; then
  echo "Nenhuma porta livre para o PostgreSQL de teste." >&2
  return 1
fi

stop_test_pg() {
  "${as_pg[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$pg_dir"
}
trap stop_test_pg EXIT

# Connections over TCP need the password, so that tests can also try a wrong one.
pg_senha="molvar$RANDOM$RANDOM"
echo "$pg_senha" >"$pg_dir/senha"
chmod 644 "$pg_dir/senha"
"${as_pg[@]}" "$pg_bin/initdb" -D "$pg_dir/data" -U postgres --auth-local=trust --auth-host=scram-sha-256 \
  --pwfile="$pg_dir/senha" -E UTF8 --locale=C.UTF-8 >"$pg_dir/initdb.log" 2>&1 || {
  cat "$pg_dir/initdb.log" >&2
  return 1
}
"${as_pg[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/server.log" -w -t 60 \
  -o "-p $pg_port -k $pg_dir -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off -c synchronous_commit=off -c max_connections=300" \
  start >/dev/null || {
  cat "$pg_dir/server.log" >&2
  return 1
}
export MOLVAR_TEST_PG="Driver=PostgreSQL;Server=127.0.0.1;Port=$pg_port;Uid=postgres;Pwd=$pg_senha;"
echo "PostgreSQL de teste em 127.0.0.1:$pg_port"
