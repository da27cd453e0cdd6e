# Sourced by scripts/run and scripts/test: installs the Debian packages the build needs, and
# only when one is missing, so a second run goes straight to the build.
QUELLOT_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-webengine-dev
  libqt6webenginecore6-bin libcurl4-openssl-dev libxml2-dev libssl-dev libzip-dev
  libcpp-httplib-dev zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth fonts-noto-cjk fonts-noto-color-emoji qt6-translations-l10n zip
  imagemagick curl libsqlite3-dev libpng-dev nlohmann-json3-dev libxapian-dev)

quellot_install_deps() { quellot_install_packages "${QUELLOT_PACKAGES[@]}"; }

# Installs the named packages that are missing.
quellot_install_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

quellot_build() {
  local dir="$1"
  cmake -S "$QUELLOT_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
