# Sourced: the environment of the project's Wine prefix. One prefix per test run (KV_WINEPREFIX),
# created on first use, with the menu builder off and Desktop/Documents as real folders inside it,
# so nothing a test does is written outside the prefix.
source "$(dirname "${BASH_SOURCE[0]}")/wine-loader.sh"
export WINEPREFIX=${KV_WINEPREFIX:-/tmp/kv-wineprefix-$(id -u)}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"winemenubuilder.exe=d;mscoree=d;mshtml=d"}
export WINEARCH=${WINEARCH:-win64}
# The marker names the set-up generation, so a prefix made by an older set-up is brought up to date.
kv_wine_prefix_ready() { [[ -f "$WINEPREFIX/.kv-ready-2" ]]; }
if ! kv_wine_prefix_ready; then
  mkdir -p "$WINEPREFIX"
  (
    exec 9>"$WINEPREFIX/.kv-lock"
    flock 9
    if ! kv_wine_prefix_ready; then
      wineboot -i >/dev/null 2>&1 || true
      # A crashing program must end, not wait for someone to close Wine's crash dialog.
      wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
      # Xvfb runs no window manager. Told that windows are managed, Wine waits two seconds for a
      # window manager to withdraw every window a program hides, so each dialog that closed would
      # add two seconds to a test or a benchmark that no desktop would show.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
      wineserver -w
      # Replace the links to the home directory by real folders inside the prefix.
      for user_dir in "$WINEPREFIX"/drive_c/users/*/; do
        for name in Desktop Documents "My Documents" Downloads Music Pictures Videos Templates; do
          if [[ -L "$user_dir$name" ]]; then rm -f "$user_dir$name"; mkdir -p "$user_dir$name"; fi
        done
      done
      touch "$WINEPREFIX/.kv-ready-2"
    fi
  )
fi
# Wine's own fonts (the dialogs' "MS Sans Serif", Tahoma, the captions' Marlett) from the fonts-wine
# package: Debian's Wine 8 looks for them in the prefix's Fonts folder, not where the package puts
# them, and otherwise draws every dialog in a wider substitute that cuts off texts fitting on Windows.
if [[ -d /usr/share/wine/fonts && ! -f "$WINEPREFIX/drive_c/windows/Fonts/sserife.fon" ]]; then
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/*.fon /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
