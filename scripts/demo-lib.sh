# What the demos share, sourced by them: scratch space cleaned up on exit,
# free ports, and the simulated installation's parts started one by one.
# Expects to run from the repository root with `set -euo pipefail`.

bin=build/bin
scratch=$(mktemp -d /tmp/quillon-demo.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
say() { printf '\n\033[1m== %s\033[0m\n' "$*"; }
sim() { scripts/simctl "$sim_port" "$1" >/dev/null; }
# wait_for LOG TEXT STEPS: until LOG has a line with TEXT, looking every 0.2 s, STEPS times at most.
wait_for() { for _ in $(seq "$3"); do grep -q "$2" "$1" && break; sleep 0.2; done; }
# headless NAME LOG ENV...: runs NAME --headless with the environment given,
# its lines shown prefixed with its name as they come.
headless() {
  local name=$1 log=$2
  shift 2
  env "$@" "$bin/$name" --headless > "$log" 2>&1 &
  local pid=$!
  pids+=($pid)
  tail -n +1 -f "$log" --pid "$pid" 2>/dev/null | sed -u "s/^/  $name: /" &
  pids+=($!)
}

sim_port=$(free_port)
service_port=$(free_port)
bc_cmd_port=$(free_port)
bc_info_port=$(free_port)
bc_control_port=$(free_port)
export QUILLON_REGISTRY=$scratch/registry QUILLON_USER_REGISTRY=$scratch/user-registry
export QUILLON_UNIT_DIR=$scratch/units QUILLON_DEVICE_DIR=$scratch/dev QUILLON_SERVICE_PORT=$service_port
export QUILLON_STATE_DIR=$scratch/state

# A simulated modem linked as COM3.
start_modem() {
  mkfifo "$scratch/sim.out"
  "$bin/modemsim" --device-dir "$scratch/dev" --com 3 --control "$sim_port" > "$scratch/sim.out" &
  pids+=($!)
  read -r line < "$scratch/sim.out"
  echo "modemsim: $line, $(readlink "$scratch/dev/COM3") linked as $scratch/dev/COM3"
}

# Quillon in program mode, registered in the scratch registry.
start_quillon() {
  "$bin/Quillon" -RegServer
  "$bin/Quillon" --port "$service_port" > "$scratch/quillon.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do
    /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $service_port), 1)" 2>/dev/null && break
    sleep 0.1
  done
  echo "Quillon is listening (registered as a plain program in $QUILLON_REGISTRY)"
}

# bcsim with 12 terminals in 3 areas, streaming on the data port 15001.
start_bcsim() {
  mkfifo "$scratch/bcsim.out"
  "$bin/bcsim" --cmd-port "$bc_cmd_port" --data-port 15001 --info-port "$bc_info_port" --control "$bc_control_port" \
    > "$scratch/bcsim.out" &
  pids+=($!)
  read -r line < "$scratch/bcsim.out"
  scripts/simctl "$bc_control_port" '{"cmd":"load","scenario":{"generate":{"terminals":12,"areas":3}}}' >/dev/null
  echo "bcsim: $line"
}

# A program directory for Heraldo in $home: 13911112222 may broadcast, on
# terminals 3 and 7, after one lead-in second.
make_heraldo_home() {
  home=$scratch/heraldo
  mkdir -p "$home"
  ln -s "$PWD/$bin/OneSecond.mp3" "$PWD/$bin/liblame_enc.so" "$home/"
  /usr/bin/python3 - "$home" "$bc_cmd_port" <<'PY'
import sys
home, port = sys.argv[1], sys.argv[2]
def ini(name, text):
    with open(home + "/" + name, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("gbk"))
ini("SMS.ini", "[COM]\nPort=3\nRate=19200\n[Power]\nDelay=1\n[PhoneAndTerm]\nRegular=0\nPhoneCount=1\n"
               "[PAT1]\nNumber=13911112222\nIDs=3,7\n")
ini("SMServer.ini", "[Config]\nZarnSvrAddr=127.0.0.1\nZarnCmdPort=%s\n" % port)
PY
}

# A program directory for Vigimon in $mhome: poll every 10 s, alert at a 30 %
# rise, one report at $1 (HH:MM:SS); area 1 has its own contact.
make_vigimon_home() {
  mhome=$scratch/vigimon
  mkdir -p "$mhome"
  /usr/bin/python3 - "$mhome" "$1" <<'PY'
import sys
home, due = sys.argv[1], sys.argv[2]
text = ("[SMS]\nCOM=3\nBaudrate=19200\nSMCenter=8613800100500\n[UI]\nInterval=10\n"
        "[SendSMTime]\nCount=1\nName1=定时报告\nTime1=%s\n[OfflineThreshold]\nTrmPercent=30\n"
        "[TotalArea]\nName=大面积离线\nCount=1\nContacts1=值班长\nPhoneNum1=13900000001\nAreaCount=1\n"
        "[Area1]\nID=1\nName=区域1\nCount=1\nContacts1=区长\nPhoneNum1=13800000001\n") % due
with open(home + "/Vigimon.ini", "wb") as f:
    f.write(text.replace("\n", "\r\n").encode("gbk"))
PY
}
