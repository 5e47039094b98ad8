#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the CI recipe of docs/ci.md as far as this machine allows: the build block that both the
# GitHub workflow and the GitLab job run, taken from the recipe itself, on the stand-in tool chain's
# sample. Installing packages, Wine's prefix and the uploads belong to the CI systems and are not run.
# Usage: ci_recipe_test.sh BIN_DIR SOURCE_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
recipe="$src/docs/ci.md"
fail() { echo "ci recipe: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The blocks between the markers, their common indentation removed: the GitHub step's, then the
# GitLab job's. Both systems must run the same commands.
awk -v out="$work/block" '
    /# --- halyard-ci begin/ { n++; on = 1; indent = index($0, "#") - 1 }
    on { print substr($0, indent + 1) > (out n ".sh") }
    /# --- halyard-ci end/ { on = 0 }
' "$recipe"
[ -f "$work/block1.sh" ] && [ -f "$work/block2.sh" ] || fail "the build blocks are not both in $recipe"
cmp -s "$work/block1.sh" "$work/block2.sh" || { diff "$work/block1.sh" "$work/block2.sh" || true; fail "the GitHub and GitLab blocks differ"; }

# Where a YAML reader is at hand, both recipes are read as the CI systems read them, and their build
# commands are the block above.
if python3 -c 'import yaml' 2>/dev/null; then
    python3 - "$recipe" "$work/block1.sh" <<'PY' || fail "the recipes' YAML"
import re, sys, yaml
text = open(sys.argv[1]).read()
block = open(sys.argv[2]).read()
docs = [yaml.safe_load(b) for b in re.findall(r"```yaml\n(.*?)```", text, re.S)]
assert len(docs) == 2, "two YAML recipes"
steps = docs[0]["jobs"]["build"]["steps"]
run = next(s["run"] for s in steps if s.get("id") == "build")
script = docs[1]["firmware"]["script"][0]
for name, body in (("GitHub", run), ("GitLab", script)):
    assert block in body, name + ": the build block is not the one the job runs"
PY
else
    echo "ci recipe: no YAML reader (python3-yaml); the recipes' YAML was not read"
fi

export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export PATH="$bin:$PATH"
mkdir -p "$work/job"
halyard-sample >"$work/sample.log" || { cat "$work/sample.log"; fail "halyard-sample"; }
run_block() { # MEMORY_LIMIT -> exit code of the block, its output in $work/job/out
    (cd "$work/job" && PROJECT='C:\Halyard\demo\demo.prj' MEMORY_LIMIT="$1" bash "$work/block1.sh") \
        >"$work/job/out" 2>&1
}

status=0
run_block 95 || status=$?
[ $status -eq 0 ] || { cat "$work/job/out"; fail "a clean build with a limit of 95 % ended with $status"; }
for f in halyard.sarif halyard-junit.xml halyard-quality.json; do
    [ -s "$work/job/$f" ] || fail "$f was not written"
done

# ROM holds 1.2 % of its length: over a 1 % limit the job fails, and says which range.
status=0
run_block 1 || status=$?
[ $status -eq 1 ] || { cat "$work/job/out"; fail "a range over the limit ended with $status, not 1"; }
grep -q "memory range ROM is 1.2 % used, over the limit of 1 %" "$work/job/out" ||
    { cat "$work/job/out"; fail "the range over the limit is not named"; }
grep -q "memory range VECS" "$work/job/out" && fail "VECS, which holds only the vectors, was counted"

# A fault in the source fails the job, with its reports written all the same.
main="$XDG_DATA_HOME/halyard/drive_c/Halyard/demo/main.c"
sed -i '11s/.*/    last = ;/' "$main"
rm -f "$work/job/halyard.sarif"
status=0
run_block 95 || status=$?
[ $status -eq 1 ] || { cat "$work/job/out"; fail "a build with an error ended with $status, not 1"; }
[ -s "$work/job/halyard.sarif" ] || fail "the failed build's SARIF was not written"
echo "ci recipe: the build block ran on the sample (passing, over the memory limit, failing)"
