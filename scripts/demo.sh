#!/usr/bin/env bash
# The SMS service on a simulated installation: a modem on a pseudo-terminal,
# Quillon in program mode, and quillonctl as the operator's client.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/demo-lib.sh

say "A GSM modem appears as COM3 (simulated, on a pseudo-terminal)"
start_modem

say "Quillon, the SMS service, starts in program mode on 127.0.0.1:$service_port"
start_quillon

say "A client asks for the modem on COM3 at 19200 baud (start-up dialogue takes a few seconds)"
"$bin/quillonctl" open --com 3 --baud 19200 --wait 30

say "Two SMS reach the modem: a short one, and a Chinese one in three parts stored out of order"
sim '{"cmd":"inject","from":"8613811111111","text":"Meeting at 3 pm in hall B"}'
sim '{"cmd":"inject","from":"8613822222222","coding":"ucs2","parts":3,"order":[2,3,1],"text":"各位注意：今天下午三点在二号楼前举行消防演练，请全体人员按照预案有序撤离，不要乘坐电梯，谢谢配合。"}'
echo "stored in the modem: 1 + 3 PDUs"

say "The service lists them about every 5 s; a polling client fetches them"
"$bin/quillonctl" fetch --com 3 --count 2 --timeout 30

say "A client sends one SMS through the service"
"$bin/quillonctl" send --com 3 --centre 8613800100500 --to 13912345678 --text "演示短信：系统运行正常"
for _ in $(seq 100); do
  sent=$(scripts/simctl "$sim_port" '{"cmd":"sent"}')
  [[ "$sent" == *'"pdu"'* ]] && break
  sleep 0.1
done
/usr/bin/python3 - "$sent" <<'PY'
import binascii, json, sys
import gammu
for entry in json.loads(sys.argv[1])["sent"]:
    sms = gammu.DecodePDU(binascii.unhexlify(entry["pdu"]), True)
    print("the modem was asked: AT+CMGS=%d" % entry["length"])
    print("  PDU     %s" % entry["pdu"])
    print("  decoded to %s via centre %s, %s: %s" % (sms["Number"], sms["SMSC"]["Number"], sms["Coding"], sms["Text"]))
PY

say "A broadcast server appears: bcsim with 12 terminals in 3 areas (command port $bc_cmd_port)"
start_bcsim

say "Heraldo, the SMS broadcast gateway, starts headless; only 13911112222 may broadcast, on terminals 3 and 7"
make_heraldo_home
headless Heraldo "$scratch/heraldo.log" HERALDO_HOME="$home" QUILLON_INFO_PORT="$bc_info_port"
wait_for "$scratch/heraldo.log" "短信猫已连接" 150

say "Two SMS arrive: one from the authorised number, one from a stranger"
message="请注意：3号楼今天14:00停电检修，请提前做好准备。"
sim '{"cmd":"inject","from":"8613911112222","coding":"ucs2","text":"'"$message"'"}'
sim '{"cmd":"inject","from":"8613000000000","coding":"ucs2","text":"我也想广播一条消息"}'
echo "  what the horns will say (Heraldo --speak TEXT --print):"
build/bin/Heraldo --speak "$message" --print | sed 's/^/    /'
wait_for "$scratch/heraldo.log" "短信播放完成" 300
sleep 2

say "What bcsim saw: the session, its terminals, and the audio that reached its data port"
scripts/simctl "$bc_control_port" '{"cmd":"sessions"}' | /usr/bin/python3 -c '
import json, os, sys
for s in json.load(sys.stdin)["sessions"]:
    print("session %d \"%s\" on terminals %s: %s" % (s["number"], s["name"], s["terminals"], s["state"]))
    for f in s["received"]["files"]:
        print("  %-40s %4d frames  %5.2f s" % (os.path.basename(f["path"]), f["frames"], f["duration_us"] / 1e6))
    print("  total %.2f s of audio" % (s["received"]["duration_us"] / 1e6))'

say "Vigimon, the terminal fault monitor, starts headless: polls every 10 s, alerts at a 30 % rise, reports at $(date -d '+25 seconds' +%H:%M:%S)"
make_vigimon_home "$(date -d '+25 seconds' +%H:%M:%S)"
headless Vigimon "$scratch/vigimon.log" VIGIMON_HOME="$mhome" QUILLON_INFO_PORT="$bc_info_port"
wait_for "$scratch/vigimon.log" "离线终端数量：0" 150

say "Area 1's four terminals go offline at bcsim"
for t in 1 2 3 4; do scripts/simctl "$bc_control_port" "{\"cmd\":\"set_terminal\",\"id\":$t,\"online\":false}" >/dev/null; done
wait_for "$scratch/vigimon.log" "sms queued" 100
sleep 4

say "The report time comes"
wait_for "$scratch/vigimon.log" "report due" 150
sleep 4

say "What the modem was asked to send (decoded)"
scripts/simctl "$sim_port" '{"cmd":"sent"}' | /usr/bin/python3 -c '
import binascii, json, sys
import gammu
for entry in json.load(sys.stdin)["sent"]:
    sms = gammu.DecodePDU(binascii.unhexlify(entry["pdu"]), True)
    print("  to %s: %s" % (sms["Number"], sms["Text"]))'

say "Done: stopping Vigimon, Heraldo, bcsim, Quillon and the simulated modem"
