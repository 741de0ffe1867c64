# Sourced by ./run-demo and ./run-tests: installs the Debian packages the launcher
# and its tests need, but only when one of them is missing.
KV_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-qpa-plugins libgl-dev fonts-liberation
             nsis 7zip xvfb xauth xdotool dbus-daemon desktop-file-utils appstream man-db)
kv_missing=()
for p in "${KV_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || kv_missing+=("$p")
done
if [ ${#kv_missing[@]} -gt 0 ]; then
    echo "Installing: ${kv_missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${kv_missing[@]}"
fi
