# Shared by the robustness scripts: earlier results to keep, and the checks
# that a failed or killed run kept them. Sourced; uses and sets `fail`.

# keep_earlier <result files...>: writes an earlier result under each name.
keep_earlier() {
  local r
  for r in "$@"; do printf 'earlier result %s\n' "$r" > "$r"; cp "$r" "$r.before"; done
}

# check_kept <case name> <how the run ended> <result files...>
check_kept() {
  local name=$1 how=$2 r; shift 2
  for r in "$@"; do
    if ! cmp -s "$r" "$r.before"; then echo "--- $name: $r was changed by the $how run"; fail=1; fi
    rm -f "$r.before"
  done
}
