#!/usr/bin/env bash
# What each command of the README installs, run on copies of the real
# scripts with apt-get, dpkg-query, sudo and cmake stood in for: every
# package reads as missing, apt-get records what it is asked to install and
# installs nothing, and cmake stops the script right after its setup step.
#   scripts/run.sh       what building and running Mivo needs, no test bench
#   scripts/test.sh      all that, and everything the tests need; which
#                        folder and batches each of its builds configures
#   setup.sh --bench     what the benchmarks add
#   make-corpus.sh       installs nothing: names what is missing and stops
# Usage: install_commands_test.sh SOURCE_DIR
set -uo pipefail

source_dir="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

mkdir -p "$work/bin" "$work/tree/scripts" "$work/tree/bench"
cp "$source_dir"/scripts/setup.sh "$source_dir"/scripts/run.sh "$source_dir"/scripts/test.sh \
  "$work/tree/scripts/"
cp "$source_dir"/bench/make-corpus.sh "$work/tree/bench/"

cat > "$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
exit 1
STUB
cat > "$work/bin/apt-get" <<STUB
#!/bin/sh
echo "\$*" >> "$work/apt.log"
STUB
cat > "$work/bin/sudo" <<'STUB'
#!/bin/sh
exec "$@"
STUB
cat > "$work/bin/cmake" <<STUB
#!/bin/sh
echo "\$*" >> "$work/cmake.log"
exit 3
STUB
chmod +x "$work/bin/"*

# Runs one command of the copied tree; prints what apt-get was asked to
# install, one package a line. Its exit status and standard error are kept.
run() {
  rm -f "$work/apt.log" "$work/cmake.log"
  (cd "$work/tree" && env PATH="$work/bin:$PATH" DISPLAY=:0 "$@" >"$work/out" 2>"$work/err")
  status=$?
  installed=$(grep -E '^install ' "$work/apt.log" 2>/dev/null |
    tr ' ' '\n' | grep -vE '^(install|-.*)?$' | sort -u)
}

has() { grep -qx "$1" <<<"$installed"; }

# Applications and tools only the tests use.
TEST_BENCH=(firefox-esr chromium libreoffice-writer libreoffice-gtk3 thunderbird kwrite
  gnome-text-editor xvfb xauth openbox xdotool libgtest-dev libgmock-dev googletest
  libgtk-3-dev libgtk-4-dev imagemagick gnome-keyring dbus-x11)
# What building and running Mivo needs (run.sh builds mivo and the stand-in
# web API, and asks the stand-in with curl whether it answers).
TO_RUN=(build-essential cmake ninja-build pkg-config libmecab-dev mecab-ipadic-utf8 libicu-dev
  nlohmann-json3-dev qt6-base-dev qt6-svg-dev libatspi2.0-dev at-spi2-core libx11-dev
  libxtst-dev libxi-dev libsecret-1-dev libssl-dev libcpp-httplib-dev fonts-noto-cjk curl
  xdg-utils)

run scripts/run.sh
[ "$status" -eq 3 ] || fail "run.sh: ended with $status before building: $(cat "$work/err")"
for pkg in "${TO_RUN[@]}"; do has "$pkg" || fail "run.sh does not install $pkg"; done
for pkg in "${TEST_BENCH[@]}" manpages-ja libbenchmark-dev; do
  has "$pkg" && fail "run.sh installs $pkg, which only the tests or benchmarks use"
done

run scripts/test.sh
[ "$status" -eq 3 ] || fail "test.sh: ended with $status before building: $(cat "$work/err")"
for pkg in "${TO_RUN[@]}" "${TEST_BENCH[@]}" libbenchmark-dev; do
  has "$pkg" || fail "test.sh does not install $pkg"
done
has manpages-ja && fail "test.sh installs manpages-ja, which only the benchmarks use"
grep -q -- "-DMIVO_BUILD_TESTS=ON" "$work/cmake.log" 2>/dev/null ||
  fail "test.sh does not configure the tests: $(cat "$work/cmake.log" 2>/dev/null)"

# What each build configures: its folder, and whether the libraries are
# compiled in batches as CI compiles them. The developer's build stays out
# of batches, and the batches have a folder of their own beside it.
while IFS='|' read -r command want refuse; do
  read -ra words <<<"$command"
  run "${words[@]}"
  configured=" $(head -n 1 "$work/cmake.log" 2>/dev/null) "
  IFS=',' read -ra wanted <<<"$want"
  IFS=',' read -ra refused <<<"$refuse"
  for arg in "${wanted[@]}"; do
    [[ "$configured" == *" $arg "* ]] || fail "$command: configures without $arg:$configured"
  done
  for arg in "${refused[@]}"; do
    [[ "$configured" == *" $arg "* ]] && fail "$command: configures with $arg:$configured"
  done
done <<'ROWS'
env -u CI scripts/test.sh|-B build,-DMIVO_UNITY_BUILD=OFF|-DMIVO_UNITY_BUILD=ON
env CI=true scripts/test.sh|-B build,-DMIVO_UNITY_BUILD=ON,-DMIVO_LINE_TABLES_ONLY=ON|-DMIVO_UNITY_BUILD=OFF
env -u CI scripts/test.sh --unity|-B build-unity,-DMIVO_UNITY_BUILD=ON,-DMIVO_LINE_TABLES_ONLY=ON|-B build,-DMIVO_UNITY_BUILD=OFF
env -u CI scripts/test.sh --sanitize|-B build-asan,-DMIVO_SANITIZE=ON|-DMIVO_UNITY_BUILD=ON
ROWS

run scripts/setup.sh --bench
[ "$status" -eq 0 ] || fail "setup.sh --bench: ended with $status: $(cat "$work/err")"
for pkg in manpages-ja libbenchmark-dev qt6-base-dev; do
  has "$pkg" || fail "setup.sh --bench does not install $pkg"
done
has firefox-esr && fail "setup.sh --bench installs the test bench"

run scripts/setup.sh --everything
[ "$status" -eq 2 ] || fail "setup.sh with an unknown option ended with $status, not 2"
[ -z "$installed" ] || fail "setup.sh with an unknown option installed: $installed"

run bench/make-corpus.sh "$work/corpus.txt"
[ "$status" -eq 1 ] || fail "make-corpus.sh without manpages-ja ended with $status, not 1"
if [ -s "$work/apt.log" ]; then fail "make-corpus.sh ran apt-get: $(cat "$work/apt.log")"; fi
grep -q "manpages-ja" "$work/err" || fail "make-corpus.sh does not name manpages-ja: $(cat "$work/err")"
grep -q "scripts/setup.sh --bench" "$work/err" ||
  fail "make-corpus.sh does not say how to install it: $(cat "$work/err")"
[ -e "$work/corpus.txt" ] && fail "make-corpus.sh wrote a corpus without its sources"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "every command installs what it should"
