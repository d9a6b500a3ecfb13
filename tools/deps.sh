# Sourced by ./run, ./test and bench/run: installs what a fresh Debian machine
# lacks (as root), or says what to install.
tav_need_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq || return 1
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" || return 1
  else
    echo "Please install these Debian packages first: ${missing[*]}" >&2
    echo "  sudo apt-get install ${missing[*]}" >&2
    return 1
  fi
}
# The number tests format and parse under a German LC_NUMERIC (',' as the
# decimal mark), so ./test makes sure de_DE.UTF-8 exists.
tav_need_german_locale() {
  locale -a 2>/dev/null | grep -qixE 'de_DE\.utf-?8' && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Generating the de_DE.UTF-8 locale for the number tests"
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true  # warnings alone end it with 1
  fi
  locale -a 2>/dev/null | grep -qixE 'de_DE\.utf-?8' && return 0
  echo "No de_DE.UTF-8 locale: the number test under a German locale is skipped" >&2
  echo "  (as root: localedef -i de_DE -f UTF-8 de_DE.UTF-8)" >&2
}
# qt6-translations-l10n: Qt's own texts (file dialogs, standard buttons) in
# German and Spanish; openbox: the window manager ./run starts with its Xvfb.
TAV_BUILD_PACKAGES=(cmake g++ make qt6-base-dev qt6-translations-l10n libgtest-dev libbenchmark-dev fonts-dejavu-core xvfb xauth x11-utils openbox)
# Peers for the mail tests: a SOCKS 5 server, a SOCKS 4 server and an SMTP
# server; locales for the German locale of the number tests.
TAV_TEST_PACKAGES=(microsocks dante-server python3 python3-aiosmtpd locales)
# The fuzz targets: clang with its sanitizer and libFuzzer run-time libraries.
TAV_FUZZ_PACKAGES=(clang libclang-rt-dev)
TAV_JOBS=$(nproc 2>/dev/null || echo 2)
