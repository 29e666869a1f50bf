#!/usr/bin/env bash
# The windowed gateway and monitor on the simulated installation, left open
# for the operator: every few seconds an SMS reaches the modem and a terminal
# changes state, until the gateway's window is closed.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "demo-windows: no display (DISPLAY is not set); run it in a desktop session, or use make demo" >&2
  exit 2
fi
source scripts/demo-lib.sh

say "The simulated installation: a modem as COM3, Quillon, and bcsim with 12 terminals"
start_modem
start_quillon
start_bcsim
make_heraldo_home
make_vigimon_home "$(date -d '+2 minutes' +%H:%M:%S)"

say "Heraldo opens its window. Choose SMS操作 > 连接 to connect; 13911112222 plays on terminals 3 and 7"
HERALDO_HOME="$home" QUILLON_INFO_PORT="$bc_info_port" "$bin/Heraldo" > "$scratch/heraldo.log" 2>&1 &
heraldo=$!
pids+=($heraldo)

say "Vigimon starts in the notification area (or in a window when there is none). 短信猫 > 连接 connects it"
VIGIMON_HOME="$mhome" QUILLON_INFO_PORT="$bc_info_port" "$bin/Vigimon" > "$scratch/vigimon.log" 2>&1 &
pids+=($!)

texts=("请注意：三号楼今天下午两点停电检修。" "会议改到四点，请相互转告。" "今天有雨，请关好门窗。")
senders=("8613911112222" "8613911112222" "8613000000000")
i=0
while kill -0 "$heraldo" 2>/dev/null; do
  sleep 8
  kill -0 "$heraldo" 2>/dev/null || break
  n=$((i % ${#texts[@]}))
  sim "{\"cmd\":\"inject\",\"from\":\"${senders[$n]}\",\"coding\":\"ucs2\",\"text\":\"${texts[$n]}\"}"
  echo "an SMS from ${senders[$n]} reached the modem: ${texts[$n]}"
  terminal=$((i % 12 + 1))
  online=$([[ $((i / 12 % 2)) -eq 0 ]] && echo false || echo true)
  scripts/simctl "$bc_control_port" "{\"cmd\":\"set_terminal\",\"id\":$terminal,\"online\":$online}" >/dev/null
  echo "terminal $terminal is now $([[ $online == true ]] && echo online || echo offline)"
  i=$((i + 1))
done
say "The gateway's window was closed; its rows went to $home/log.txt. Vigimon stops with it"
