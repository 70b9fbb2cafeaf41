#!/usr/bin/env bash
# scripts/setup and scripts/run on a machine we pretend is fresh: apt-get, dpkg-query, sudo, id,
# systemctl and update-rc.d are stubs that log what they were asked, so no package is installed
# and no root is needed. Checks the exit status and what is left of the policy-rc.d file.
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

stubs=$work/bin
mkdir -p "$stubs"
for tool in bash cat grep tee chmod rm printf; do ln -s "$(command -v "$tool")" "$stubs/$tool"; done
stub() { printf '#!%s\n%s\n' "$(command -v bash)" "$2" >"$stubs/$1"; chmod +x "$stubs/$1"; }
# STUB_INSTALLED: the packages dpkg-query reports installed ("all" for every one).
stub dpkg-query 'pkg=${@: -1}; [ "$STUB_INSTALLED" = all ] || [[ " $STUB_INSTALLED " == *" $pkg "* ]] && echo "install ok installed"; exit 0'
# The install records whether a policy file stopped services while it ran; STUB_FAIL fails it.
stub apt-get 'echo "apt-get $*" >>"$LOG"; if [ "$1" = install ]; then grep -q "exit 101" "$MOSSVALE_POLICY_RC" && echo policy-during-install >>"$LOG"; [ -z "$STUB_FAIL" ]; fi'
stub sudo 'echo "sudo $1" >>"$LOG"; "$@"'
stub id 'echo "$STUB_UID"'
stub systemctl 'echo "systemctl $*" >>"$LOG"'
stub update-rc.d 'echo "update-rc.d $*" >>"$LOG"'

check() { # description, condition...
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $case_name: $what"; fi
}
run_setup() { # case name, installed, fail, uid, pre-existing policy (yes/no), setup arguments...
  case_name=$1 STUB_INSTALLED=$2 STUB_FAIL=$3 STUB_UID=$4
  local existing=$5; shift 5
  export STUB_INSTALLED STUB_FAIL STUB_UID
  export LOG=$work/$case_name.log MOSSVALE_POLICY_RC=$work/$case_name.policy-rc.d
  : >"$LOG"
  if [ "$existing" = yes ]; then printf '#!/bin/sh\n# the image'"'"'s own\nexit 101\n' >"$MOSSVALE_POLICY_RC"; chmod 755 "$MOSSVALE_POLICY_RC"; fi
  cp -p "$MOSSVALE_POLICY_RC" "$work/before" 2>/dev/null || rm -f "$work/before"
  PATH=$stubs bash "$top/scripts/setup" "$@" >"$work/$case_name.out" 2>&1
  status=$?
}
policy_as_before() { cmp -s "$MOSSVALE_POLICY_RC" "$work/before" && [ -x "$MOSSVALE_POLICY_RC" ]; }
policy_gone() { [ ! -e "$MOSSVALE_POLICY_RC" ]; }
logged() { grep -qx -- "$1" "$LOG"; }
not_logged() { ! grep -q -- "$1" "$LOG"; }

run_setup fresh-without-policy "" "" 0 no --test
check "exits 0" [ "$status" -eq 0 ]
check "services held back during the install" logged policy-during-install
check "its own policy file removed" policy_gone
check "system vsftpd masked" logged "systemctl mask vsftpd.service"
check "system ssh masked" logged "systemctl mask ssh.service ssh.socket"
check "init script disabled" logged "update-rc.d vsftpd disable"
check "no sudo as root" not_logged "^sudo"

run_setup fresh-with-policy "" "" 0 yes --test
check "exits 0" [ "$status" -eq 0 ]
check "services held back during the install" logged policy-during-install
check "the image's policy file left as it was" policy_as_before

run_setup all-installed all "" 0 no --test
check "exits 0" [ "$status" -eq 0 ]
check "installs nothing" not_logged apt-get
check "leaves no policy file" policy_gone

run_setup vsftpd-already-there "vsftpd" "" 0 no --test
check "exits 0" [ "$status" -eq 0 ]
check "a vsftpd someone else installed is not masked" not_logged vsftpd
run_setup sshd-already-there "openssh-server" "" 0 no --test
check "an SSH server someone else installed is not masked" not_logged "ssh\.s"
check "the vsftpd installed here is" logged "systemctl mask vsftpd.service"

run_setup install-fails "" 1 0 no
check "fails" [ "$status" -ne 0 ]
check "its own policy file removed" policy_gone
run_setup install-fails-with-policy "" 1 0 yes
check "fails" [ "$status" -ne 0 ]
check "the image's policy file left as it was" policy_as_before

run_setup not-root "" "" 1000 no
check "exits 0" [ "$status" -eq 0 ]
check "installs through sudo" logged "sudo apt-get"
check "its own policy file removed" policy_gone

case_name=run-without-display
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM bash "$top/scripts/run" 2>&1)
status=$?
check "exits non-zero" [ "$status" -ne 0 ]
check "says so in one line, naming xvfb-run" [ "$(printf '%s\n' "$out" | grep -c .)" -eq 1 ]
check "names xvfb-run" grep -q xvfb-run <<<"$out"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
