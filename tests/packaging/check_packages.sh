#!/usr/bin/env bash
# check_packages.sh SOURCE_DIR BUILD_DIR: builds the two packages once,
# checks them with lintian and dpkg, unpacks them into a throwaway root, runs
# the installed server with the installed configuration (the command line
# moves the database and the CFOP table into the root), calls it, backs it up
# while it serves and stops it as the service does.
set -euo pipefail
work=$(mktemp -d /tmp/kvr-packages.XXXXXX)
server=
trap '[ -n "$server" ] && kill -9 "$server" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FALHOU: $*" >&2; exit 1; }

lint=()
command -v lintian >/dev/null && lint=(--lintian)
KVR_BUILD_DIR=$2 KVR_PACKAGE_DIR=$work/debs "$1/scripts/package.sh" --no-build "${lint[@]}" \
    >/dev/null 2>&1 || fail "pacotes ou lintian"
appserver=$(ls "$work"/debs/kvr-appserver_*.deb)
client=$(ls "$work"/debs/kvr-client_*.deb)
dpkg-deb -f "$client" Depends | grep "qt6-translations-l10n" | grep -q "libqt6widgets6" ||
    fail "dependências do cliente"
dpkg-deb -f "$appserver" Depends | grep -q "adduser, libqt6sql6-sqlite" || fail "dependências"
dpkg-deb -e "$appserver" "$work/control"
grep -qx "/etc/kvr/kvr-appserver.conf" "$work/control/conffiles" || fail "conffiles"
sh -n "$work/control/postinst" && sh -n "$work/control/prerm" && sh -n "$work/control/postrm" ||
    fail "scripts do mantenedor"
grep -q "adduser --system" "$work/control/postinst" || fail "usuário do serviço"

root=$work/root
dpkg-deb -x "$appserver" "$root"
dpkg-deb -x "$client" "$root"
grep -qx "ExecStart=/usr/bin/kvr-appserver --config /etc/kvr/kvr-appserver.conf" \
    "$root/lib/systemd/system/kvr-appserver.service" || fail "ExecStart"
[ -e "$root/usr/share/applications/kvr-client.desktop" ] &&
    [ -e "$root/usr/share/icons/hicolor/scalable/apps/kvr-client.svg" ] || fail "entrada no menu"
ldd "$root/usr/bin/kvr-client" "$root/usr/lib/kvr/modules/libkvr51400.so" | grep -q "not found" &&
    fail "bibliotecas do cliente"

run=("$root/usr/bin/kvr-appserver" --config "$root/etc/kvr/kvr-appserver.conf"
    --db "sqlite:$work/kvr.sqlite")
"${run[@]}" --cfop-table "$root/usr/share/kvr/cfop.csv" --listen 127.0.0.1:0 >"$work/out" 2>&1 &
server=$!
for _ in $(seq 100); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/out" 2>/dev/null || true)
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || fail "o servidor não subiu: $(cat "$work/out")"
exec 3<>"/dev/tcp/127.0.0.1/$port"
echo '{"jsonrpc":"2.0","id":1,"method":"kvr51400.rdmConsisteFiscal.getVdCFOP","params":["5102"]}' >&3
IFS= read -r -t 20 reply <&3 || fail "sem resposta"
[[ $reply == *'"id":1'*'"5102"'* ]] || fail "resposta inesperada: $reply"
"${run[@]}" --backup "$work/copia.sqlite" >/dev/null || fail "backup"
"${run[@]}" --restore "$work/copia.sqlite" 2>/dev/null && fail "restauração com o servidor no ar"
exec 3>&-
kill -TERM "$server"
wait "$server" || fail "saída $? ao parar: $(cat "$work/out")"
server=
"${run[@]}" --restore "$work/copia.sqlite" >/dev/null || fail "restauração"
