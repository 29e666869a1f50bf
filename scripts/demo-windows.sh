#!/usr/bin/env bash
# The windowed gateway on the simulated installation, left open for the
# operator: an SMS reaches the modem every few seconds until the window is
# closed.
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

say "Heraldo opens its window. Choose SMS操作 > 连接 to connect; 13911112222 plays on terminals 3 and 7"
HERALDO_HOME="$home" QUILLON_INFO_PORT="$bc_info_port" "$bin/Heraldo" > "$scratch/heraldo.log" 2>&1 &
heraldo=$!
pids+=($heraldo)

texts=("请注意：三号楼今天下午两点停电检修。" "会议改到四点，请相互转告。" "今天有雨，请关好门窗。")
senders=("8613911112222" "8613911112222" "8613000000000")
i=0
while kill -0 "$heraldo" 2>/dev/null; do
  sleep 8
  kill -0 "$heraldo" 2>/dev/null || break
  n=$((i % ${#texts[@]}))
  sim "{\"cmd\":\"inject\",\"from\":\"${senders[$n]}\",\"coding\":\"ucs2\",\"text\":\"${texts[$n]}\"}"
  echo "an SMS from ${senders[$n]} reached the modem: ${texts[$n]}"
  i=$((i + 1))
done
say "The window was closed; its rows went to $home/log.txt"
