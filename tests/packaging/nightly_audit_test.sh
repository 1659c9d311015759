#!/usr/bin/env bash
# The nightly audit script's decisions, with a stand-in for Tolvane2Audit that
# records its arguments and ends with the status a row asks for. Argument: the
# script (packaging/systemd/tolvane2-nightly-audit, or the unpacked package's).
set -euo pipefail
script=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane2-nightly.XXXXXX")
trap 'rm -rf "$work"' EXIT

cat > "$work/fake-audit" <<'FAKE'
#!/bin/sh
printf '%s\n' "$@" > "$FAKE_ARGS"
while [ "$#" -gt 1 ]; do
  if [ "$1" = --json ]; then echo tonight > "$2"; fi
  shift
done
exit "$FAKE_STATUS"
FAKE
chmod +x "$work/fake-audit"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The audit's status, whether last.json and accepted.json exist before, and
# what last.json holds after: tonight's JSON, the earlier one, or none.
rows=(
  "0   no  no  tonight"
  "1   yes yes tonight"
  "2   yes no  earlier"
  "3   no  no  none"
  "134 yes yes earlier"
)
storage="$work/my recordings"  # a space: one argument all the same
for row in "${rows[@]}"; do
  read -r status last accepted after <<<"$row"
  name="status $status, last.json $last, accepted.json $accepted"
  state=$work/state-$status
  mkdir "$state"
  expected=(-p "$storage" --json "$state/tonight.json" --html "$state/audit.html")
  if [ "$last" = yes ]; then
    echo earlier > "$state/last.json"
    expected+=(--compare "$state/last.json")
  fi
  if [ "$accepted" = yes ]; then
    echo accepted > "$state/accepted.json"
    expected+=(--baseline "$state/accepted.json")
  fi

  got=0
  STATE_DIRECTORY=$state TOLVANE2_AUDIT=$work/fake-audit FAKE_STATUS=$status FAKE_ARGS=$work/args \
    sh "$script" "$storage" || got=$?
  [ "$got" -eq "$status" ] || fail "$name: the script ended with $got"
  [ "$(cat "$work/args")" = "$(printf '%s\n' "${expected[@]}")" ] ||
    fail "$name: the audit was run with: $(tr '\n' ' ' < "$work/args")"
  [ ! -e "$state/tonight.json" ] || fail "$name: tonight.json is left"
  held=none
  [ ! -f "$state/last.json" ] || held=$(cat "$state/last.json")
  [ "$held" = "$after" ] || fail "$name: last.json holds $held, not $after"
  if [ "$accepted" = yes ] && [ "$(cat "$state/accepted.json")" != accepted ]; then
    fail "$name: accepted.json was changed"
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "nightly audit test: $failures failure(s)" >&2
  exit 1
fi
echo "nightly audit test: passed"
