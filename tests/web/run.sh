#!/bin/sh
# The playground's tests in a real browser (playground.test.mjs):
#   sh tests/web/run.sh KESTROM_SIM SCREENSHOT_FOLDER
# They need Chromium (apt-get install chromium), Node.js (apt-get install
# nodejs npm) and their node modules (npm ci --prefix tests/web, which
# installs puppeteer-core and no browser).  Without them the tests are
# skipped (exit status 77), saying what to install, or fail when
# KESTROM_REQUIRE_BROWSER is set (as in .ci/run).
here=$(cd "$(dirname "$0")" && pwd)
skip() {
    if [ -n "${KESTROM_REQUIRE_BROWSER:-}" ]; then echo "browser tests cannot run: $*"; exit 1; fi
    echo "browser tests skipped: $*"
    exit 77
}

chromium=${CHROMIUM:-$(command -v chromium || command -v chromium-browser)}
[ -n "$chromium" ] && [ -x "$chromium" ] || skip "no Chromium (apt-get install chromium)"
command -v node >/dev/null 2>&1 || skip "no Node.js (apt-get install nodejs npm)"
[ -d "$here/node_modules/puppeteer-core" ] || skip "their node modules are missing (npm ci --prefix tests/web)"

KESTROM_SIM=$1 SCREENSHOTS=$2 CHROMIUM=$chromium exec node --test "$here/playground.test.mjs"
