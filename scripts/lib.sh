# Shared steps of the project's scripts: install what is missing, configure, build.
# Source it; it defines QZ_ROOT, QZ_BUILD and the qz_* functions.
set -euo pipefail

QZ_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QZ_BUILD="${QZ_BUILD:-$QZ_ROOT/build}"

# Debian packages the build, the tests and the demo need (man-db: the man
# pages are checked the way lintian checks them; strace: a test sees that a
# port another program holds is never opened).
QZ_PACKAGES=(cmake ninja-build g++ pkg-config
             qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
             fonts-liberation xvfb xauth man-db strace)

qz_missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
    done
}

# qz_install [package...]: installs the given packages (default: QZ_PACKAGES)
# when they are missing; as root with apt-get, otherwise it prints the command.
qz_install() {
    local wanted=("$@")
    [ ${#wanted[@]} -eq 0 ] && wanted=("${QZ_PACKAGES[@]}")
    local missing
    missing=$(qz_missing_packages "${wanted[@]}" | tr '\n' ' ')
    [ -z "${missing// /}" ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: $missing"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        # shellcheck disable=SC2086
        apt-get install -y -qq --no-install-recommends $missing >/dev/null
    else
        echo "Missing packages. Please run:" >&2
        echo "  sudo apt-get install -y $missing" >&2
        exit 1
    fi
}

qz_install_deps() { qz_install "${QZ_PACKAGES[@]}"; }

# qz_install_build_deps folder: installs what folder/debian/control says the
# package build needs, when dpkg-checkbuilddeps finds something missing; as
# root with apt-get build-dep, otherwise it prints the command.
qz_install_build_deps() {
    local dir="$1"
    qz_install dpkg-dev
    (cd "$dir" && dpkg-checkbuilddeps) 2>/dev/null && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing the package's build dependencies"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get build-dep -y -qq --no-install-recommends "$dir" >/dev/null
    else
        echo "Missing build dependencies. Please run:" >&2
        echo "  sudo apt-get build-dep $dir" >&2
        exit 1
    fi
}

# qz_build [extra cmake args...]: configures and builds into QZ_BUILD.
qz_build() {
    cmake -S "$QZ_ROOT" -B "$QZ_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$QZ_BUILD" -j "$(nproc)"
}

# qz_cppcheck: static analysis of the program and its tools; non-zero on any
# finding. Raw loops that an std:: algorithm could replace are a matter of
# taste and not reported; real findings are fixed or silenced in place with a
# cppcheck-suppress comment saying why (docs/static-analysis.md).
qz_cppcheck() {
    qz_install cppcheck
    cppcheck --enable=warning,style,performance,portability --std=c++20 --language=c++ \
        --library=qt --inline-suppr --suppress=missingIncludeSystem --suppress=useStlAlgorithm \
        --error-exitcode=1 --quiet -I "$QZ_ROOT/src" "$QZ_ROOT/src" "$QZ_ROOT/tools"
}
