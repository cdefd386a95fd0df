# Shared by scripts/run and scripts/test: installs what is missing, then configures and builds.
set -euo pipefail

QUILLON_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the Debian packages of scripts/packages.txt that are missing.
# $1 = "all" to include the test-only packages.
quillon_install_packages() {
    local want=()
    while IFS= read -r line; do
        line=${line%%#*}
        line=$(echo "$line" | xargs)
        [ -z "$line" ] && continue
        if [[ $line == test:* ]]; then
            [ "$1" = all ] || continue
            line=$(echo "${line#test:}" | xargs)
        fi
        want+=("$line")
    done < "$QUILLON_ROOT/scripts/packages.txt"

    local missing=()
    for pkg in "${want[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds into $1 with build type $2; extra CMake options follow.
quillon_build() {
    local dir=$1 type=$2
    shift 2
    cmake -S "$QUILLON_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
    cmake --build "$dir" --parallel "${QUILLON_JOBS:-$(nproc)}"
}
