#!/usr/bin/env bash
# What deploy/ ships works: the alerting rules pass their promtool unit
# tests, and the hardened service unit verifies with systemd (pointed at the
# patmon just built, where the unit expects the installed one).
# usage: deploy_test.sh SOURCE_DIR PATMON
set -uo pipefail
source_dir=$1
patmon=$2
passed=0
failed=0
check() {
    if "$@" >/tmp/patmon-deploy-$$.log 2>&1; then
        echo "ok   $*"
        passed=$((passed + 1))
    else
        echo "FAIL $*"
        cat /tmp/patmon-deploy-$$.log
        failed=$((failed + 1))
    fi
}
check promtool check rules "$source_dir/deploy/prometheus/patmon-rules.yml"
pushd "$source_dir/deploy/prometheus" >/dev/null
check promtool test rules patmon-rules.test.yml
popd >/dev/null
if command -v systemd-analyze >/dev/null; then
    unit_dir=$(mktemp -d)
    sed "s|/usr/local/bin/patmon|$patmon|" "$source_dir/deploy/systemd/patmon-serve.service" \
        >"$unit_dir/patmon-serve.service"
    check systemd-analyze verify --man=no "$unit_dir/patmon-serve.service"
    rm -rf "$unit_dir"
else
    echo "systemd-analyze not found: the unit is not verified"
fi
rm -f /tmp/patmon-deploy-$$.log
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
