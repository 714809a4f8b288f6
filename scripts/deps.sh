# Sourced by the other scripts: installs the Debian packages that building and testing need,
# and only those that are missing.
brelvo_packages=(cmake ninja-build g++ clang libclang-rt-14-dev qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
                 fonts-dejavu-core xvfb xauth x11-utils xdotool imagemagick python3-yaml)

brelvo_install_missing() {
    local missing=()
    local package
    for package in "${brelvo_packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
