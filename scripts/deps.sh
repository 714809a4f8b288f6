# Sourced by the other scripts: installs the Debian packages that building and testing need,
# and only those that are missing. Proven on Debian 12 and Debian 13; Ubuntu 24.04 follows the
# same rule.
brelvo_packages=(cmake ninja-build g++ clang qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
                 fonts-dejavu-core xvfb xauth x11-utils xdotool imagemagick python3-yaml python3 adb)

brelvo_missing() {
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" \
            || echo "$package"
    done
}

brelvo_apt_install() {
    local missing=("$@") package
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    local policy
    for package in "${missing[@]}"; do
        policy=$(apt-cache policy "$package" 2>/dev/null)
        if [[ "$policy" != *"Candidate: "[^\(]* ]]; then
            echo "deps.sh: the package $package cannot be had on this system" \
                 "($(. /etc/os-release && echo "$PRETTY_NAME")); install it by hand or add" \
                 "the archive that has it." >&2
            return 1
        fi
    done
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

brelvo_install_missing() {
    local missing
    mapfile -t missing < <(brelvo_missing "${brelvo_packages[@]}" "$@")
    brelvo_apt_install "${missing[@]}" || exit 1
    # The sanitizers' runtime is packaged by clang's major version, which differs from one system
    # to the next (14 on Debian 12, 19 on Debian 13, 18 on Ubuntu 24.04).
    local major
    major=$(clang -dumpversion | cut -d. -f1)
    mapfile -t missing < <(brelvo_missing "libclang-rt-$major-dev")
    brelvo_apt_install "${missing[@]}" || exit 1
}
