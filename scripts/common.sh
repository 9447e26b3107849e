# Shared by the scripts: where things are, the private Wine prefix, and the packages.
# Sourced, not run.
TARNWALL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TARNWALL_BUILD=${TARNWALL_BUILD:-$TARNWALL_ROOT/build}
# The main job installs into its own prefix; tests and benchmarks make and remove
# the product's keys, so each kind of run keeps a prefix of its own.
export TARNWALL_PREFIX_NAME=${TARNWALL_PREFIX_NAME:-wineprefix}
export WINEPREFIX="$TARNWALL_BUILD/$TARNWALL_PREFIX_NAME"
export WINEDEBUG=-all
# No prompts to fetch add-ons the programs never use.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# fonts-wine: Wine's own faces (the dialogs' "MS Sans Serif" among them), which Wine only
# recommends; without them the programs' look, and their screenshots, depend on the machine.
TARNWALL_PACKAGES="g++-mingw-w64-x86-64 wine64 wine fonts-wine xvfb xauth imagemagick nsis cmake googletest make clang python3"

install_missing() {
  local missing=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
  done
  if [ -n "$missing" ]; then
    echo "== installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    [ -n "${TARNWALL_APT_UPDATED:-}" ] || { apt-get update -qq; TARNWALL_APT_UPDATED=1; }
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
  fi
}

# The fuzzer's runtime for the clang that is installed, whatever version the
# distribution's clang package brings (its dependency "clang-N" names it).
clang_runtime_package() {
  local version
  version=$(dpkg-query -W -f='${Depends}' clang 2>/dev/null | grep -o 'clang-[0-9][0-9]*' | head -1)
  version=${version#clang-}
  [ -n "$version" ] || version=$(clang --version 2>/dev/null | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -1)
  [ -n "$version" ] && echo "libclang-rt-$version-dev"
}

ensure_packages() {
  install_missing $TARNWALL_PACKAGES
  install_missing $(clang_runtime_package)
}

build_all() {
  echo "== building in $TARNWALL_BUILD"
  cmake -S "$TARNWALL_ROOT" -B "$TARNWALL_BUILD" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TARNWALL_ROOT/cmake/mingw-w64-x86_64.cmake" >"$TARNWALL_BUILD.cmake.log" 2>&1 \
    || { cat "$TARNWALL_BUILD.cmake.log"; return 1; }
  # The filter's own status (grep finds no line to keep) is no failure; the build's is,
  # and it is read off the pipeline itself, before any other command can replace it.
  cmake --build "$TARNWALL_BUILD" -j"$(nproc)" 2>&1 | { grep -E -v '^\[ *[0-9]+%\]|^Scanning|^Consolidate|^$' || true; }
  local status=${PIPESTATUS[0]}
  return "$status"
}

# A wineserver started without a display breaks later window programs, so every
# Wine session starts from a killed server inside the display it will use.
wine_session_begin() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== making the Wine prefix"
    wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
  # Wine draws the caption's buttons in Marlett. Debian's Wine does not find the copy that
  # fonts-wine brings, and the buttons showed as the letters "0 1 r"; the prefix gets its own.
  local marlett=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f "$marlett" ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp "$marlett" "$fonts/"
  fi
  wineserver -p
  # Xvfb has no window manager, and Wine waits up to 2 s for one to withdraw every
  # managed window it hides or destroys: each closed dialog cost 2 s. Unmanaged windows
  # are placed, activated and painted by Wine alone, caption included.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
  # The session's first program starts Wine's background services, which inherit
  # its output; started here, they never hold a test's pipe open after it exits.
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
  # Without a program holding the desktop, every window program restarts it and the
  # desktop process keeps the caller's output open a second after the program ended.
  local anchor="$TARNWALL_BUILD/bin/desktop_anchor.exe"
  if [ -f "$anchor" ]; then
    wine "$anchor" >/dev/null 2>&1 </dev/null &
  fi
}

wine_session_end() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# Runs a script of ours inside a fresh virtual display.
in_display() {
  xvfb-run -a -s "-screen 0 1024x768x24" "$@"
}
