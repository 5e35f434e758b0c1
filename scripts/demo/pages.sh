# The settings pages: the stand-in host writes the pages that sentrova.exe
# carries to a folder, with a page object that is not connected to a host,
# and headless Chromium shows them at the settings window's 450 x 470.
# Sourced by ./scripts/run (./scripts/run pages).
step "qbhost pages: the settings pages for any browser"
pages=$shots/pages
rm -rf "$pages"; mkdir -p "$pages"
run "$bin/qbhost.exe" pages "Z:$(tr / '\\' <<<"$pages")" || true
for f in opt_general.html opt_cleanup.html opt_security.html scriptjs.js screencss.css vrxcss.css \
         tree_loop.gif tree_lastdots.gif dots_of_tree.gif index.html; do
  [ -s "$pages/$f" ] || missed "qbhost pages wrote $f"
done
if [ -s "$pages/index.html" ]; then
  observed "qbhost pages wrote the three pages and their companions to $pages (open index.html)"
fi
if /usr/bin/python3 "$top/tests/web/settings_pages_test.py" "$bin/sentrova.exe" --shots "$shots" >/dev/null 2>&1; then
  observed "the settings pages in Chromium: $shots/settings-general.png, settings-cleanup.png, settings-security.png"
else
  missed "the settings pages in Chromium (scripts/setup installs chromium, chromium-driver, python3-selenium)"
fi
