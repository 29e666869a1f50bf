#!/usr/bin/env bash
# promtool check config on prometheus.yml and on the central configuration
# commented in it, both reading this folder's alerts.yml instead of the
# installed one, so that the check runs from the sources.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
installed=/usr/share/quillon/prometheus/alerts.yml

sed "s|$installed|$here/alerts.yml|" "$here/prometheus.yml" >"$scratch/site.yml"
sed -n '/^# --- central Prometheus/,/^# --- end/{/^# ---/d;s/^# \{0,1\}//;p}' "$here/prometheus.yml" \
  | sed "s|$installed|$here/alerts.yml|" >"$scratch/central.yml"
grep -q /federate "$scratch/central.yml" || { echo "check-config: no central configuration in prometheus.yml" >&2; exit 1; }

promtool check config "$scratch/site.yml"
promtool check config "$scratch/central.yml"
