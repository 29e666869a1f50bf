#!/usr/bin/env bash
# make package-check: for a throwaway machine. Installs the three packages
# with apt, checks the service (started when systemd runs), runs the
# installed programs against the simulated modem and broadcast server, then
# purges the packages and checks that nothing is left behind but what
# Debian keeps (the system user). Run as root from the repository root,
# after make package.
set -euo pipefail

packages=${1:-build/packages}
bin=${QUILLON_SIM_BIN:-build/bin}   # modemsim and bcsim, which no package holds
say() { printf '\n== %s\n' "$*"; }
fail() { printf 'package-check: FAILED: %s\n' "$*" >&2; exit 1; }
[[ $(id -u) -eq 0 ]] || fail "run as root (it installs and purges packages)"
debs=()
for name in quillon heraldo vigimon; do
  deb=$(ls "$packages"/${name}_*.deb 2>/dev/null | tail -n 1)
  [[ -n $deb ]] || fail "no $name package in $packages: run make package first"
  debs+=("$(readlink -f "$deb")")
done
for name in quillon heraldo vigimon; do
  dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "installed" && fail "$name is installed already"
done

scratch=$(mktemp -d /tmp/package-check.XXXXXX)
pids=()
installed=false
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if $installed; then
    echo "package-check: purging after the failure, so that it can run again"
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quillon heraldo vigimon >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
# wait_for LOG TEXT SECONDS
wait_for() { for _ in $(seq $(($3 * 5))); do grep -qs "$2" "$1" && return 0; sleep 0.2; done; fail "no \"$2\" in $1"; }
# What the packages could leave behind, listed before and after.
snapshot() {
  find /etc /lib /usr /opt /srv /var -xdev \
    \( -path /var/cache -o -path /var/log -o -path /var/lib/apt -o -path /var/lib/dpkg -o -path /var/tmp \
       -o -path /var/lib/ucf -o -path /var/backups -o -path /var/mail \) -prune -o -print | sort
}

say "Installing ${debs[*]##*/} with apt"
snapshot > "$scratch/before"
installed=true
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${debs[@]}" >"$scratch/apt.log" 2>&1 \
  || { cat "$scratch/apt.log"; fail "apt-get install"; }
for name in quillon heraldo vigimon; do dpkg-query -W -f='${Package} ${Version} ${Status}\n' "$name"; done

say "The service"
id quillon
grep -q '"LocalService"="Quillon"' /var/lib/quillon/registry || fail "not registered as a service"
echo "registered as a service in /var/lib/quillon/registry"
[[ -L /etc/systemd/system/multi-user.target.wants/quillon.service ]] || fail "quillon.service not enabled"
echo "quillon.service is enabled (multi-user.target.wants)"
if [[ -d /run/systemd/system ]]; then
  for _ in $(seq 50); do systemctl is-active --quiet quillon && break; sleep 0.2; done
  systemctl is-active quillon || fail "quillon.service is not running"
  user=$(ps -o user= -C Quillon | head -n 1)
  echo "Quillon runs as $user"
  [[ $user != root ]] || fail "the service runs as root"
  ss -ltnp | grep Quillon
  ss -ltnp | grep Quillon | grep -q "127.0.0.1:8200" || fail "the service does not listen on 127.0.0.1:8200 only"
  journalctl -u quillon --no-pager | tail -n 5
  systemd-analyze security quillon.service --no-pager | tail -n 1
else
  echo "systemd is not running here (PID 1 is $(ps -o comm= -p 1)): the service is enabled, not started"
fi

say "The installed programs against a simulated modem and broadcast server"
for program in /usr/sbin/Quillon /usr/bin/quillonctl /usr/bin/Heraldo /usr/bin/Vigimon; do "$program" --version; done
sim_port=$(free_port) service_port=$(free_port) bc_cmd=$(free_port) bc_info=$(free_port) bc_control=$(free_port)
export QUILLON_REGISTRY=$scratch/registry QUILLON_UNIT_DIR=$scratch/units QUILLON_DEVICE_DIR=$scratch/dev
export QUILLON_STATE_DIR=$scratch/state
export QUILLON_SERVICE_PORT=$service_port QUILLON_INFO_PORT=$bc_info QUILLON_TIME_SCALE=0.1 QUILLON_PLAYBACK_SPEED=20
export HOME=$scratch/operator
mkfifo "$scratch/sim.out" "$scratch/bcsim.out"
"$bin/modemsim" --device-dir "$scratch/dev" --com 3 --control "$sim_port" > "$scratch/sim.out" &
pids+=($!)
read -r _ < "$scratch/sim.out"
"$bin/bcsim" --cmd-port "$bc_cmd" --data-port 15001 --info-port "$bc_info" --control "$bc_control" \
  > "$scratch/bcsim.out" &
pids+=($!)
read -r _ < "$scratch/bcsim.out"
scripts/simctl "$bc_control" '{"cmd":"load","scenario":{"generate":{"terminals":8,"areas":2}}}' >/dev/null
/usr/sbin/Quillon -RegServer
/usr/sbin/Quillon --port "$service_port" > "$scratch/quillon.log" 2>&1 &
pids+=($!)
wait_for "$scratch/quillon.log" "listening on" 10
quillonctl open --com 3 --wait 30
quillonctl send --com 3 --centre 8613800100500 --to 13912345678 --text "安装检查"
for _ in $(seq 50); do scripts/simctl "$sim_port" '{"cmd":"sent"}' | grep -q '"pdu"' && break; sleep 0.2; done
scripts/simctl "$sim_port" '{"cmd":"sent"}' | grep -q '"pdu"' || fail "the modem was not asked to send"
echo "the modem was asked to send it"

# Heraldo's folder, set up by its launcher, then pointed at the simulators.
Heraldo --version >/dev/null
heraldo_home=$HOME/.local/share/heraldo
ls -l "$heraldo_home"
/usr/bin/python3 - "$heraldo_home" "$bc_cmd" <<'PY'
import sys
home, port = sys.argv[1], sys.argv[2]
def ini(name, text):
    with open(home + "/" + name, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("gbk"))
ini("SMS.ini", "[COM]\nPort=3\nRate=19200\n[Power]\nDelay=1\n[PhoneAndTerm]\nRegular=0\nPhoneCount=1\n"
               "[PAT1]\nNumber=13911112222\nIDs=3,7\n")
ini("SMServer.ini", "[Config]\nZarnSvrAddr=127.0.0.1\nZarnCmdPort=%s\n" % port)
PY
Heraldo --headless > "$scratch/heraldo.log" 2>&1 &
pids+=($!)
wait_for "$scratch/heraldo.log" "短信猫已连接" 60
scripts/simctl "$sim_port" '{"cmd":"inject","from":"8613911112222","coding":"ucs2","text":"安装检查：广播测试"}' >/dev/null
wait_for "$scratch/heraldo.log" "短信播放完成" 120
grep "短信播放完成" "$scratch/heraldo.log" | head -n 1
scripts/simctl "$bc_control" '{"cmd":"sessions"}' | /usr/bin/python3 -c '
import json, sys
for s in json.load(sys.stdin)["sessions"]:
    print("bcsim: session on terminals %s, %s, %.2f s of audio" % (s["terminals"], s["state"],
                                                               s["received"]["duration_us"] / 1e6))'
Vigimon --export "$scratch/terminals.xls"
[[ -s $scratch/terminals.xls ]] || fail "no workbook"
ls "$HOME/.local/share/vigimon"

say "Purging"
for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
wait 2>/dev/null || true
pids=()
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quillon heraldo vigimon >"$scratch/apt.log" 2>&1 \
  || { cat "$scratch/apt.log"; fail "apt-get purge"; }
installed=false
snapshot > "$scratch/after"
left=$(comm -13 "$scratch/before" "$scratch/after")
if [[ -n $left ]]; then
  printf 'left behind:\n%s\n' "$left"
  fail "the purge left files behind"
fi
echo "nothing left in /etc, /lib, /usr, /opt, /srv or /var"
if id quillon >/dev/null 2>&1; then
  echo "kept, as Debian keeps system users: $(id quillon)"
fi
echo "package-check: passed"
