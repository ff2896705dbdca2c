#!/bin/sh
# Runs the three recurrence workloads with their usual arguments.
#   run.sh BUILD_DIR [RUNS]
set -eu
build=${1:?usage: run.sh BUILD_DIR [RUNS]}
runs=${2:-3}
here=$(cd "$(dirname "$0")" && pwd)
bench="$build/bin/recurrence_bench"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 "$here/gen_tasks.py" "$here/rules.tsv" 100000 "$tmp/tasks.tsv"
"$bench" expand "$here/rules.tsv" 2026-01-01 2036-01-01 "$runs"
"$bench" jump "$here/jump.tsv" "$here/rules.tsv" "2036-01-01 00:00" 100000 "$runs"
"$bench" many "$tmp/tasks.tsv" "2026-07-01 12:00" "$runs"
