#!/usr/bin/env bash
# Starts the desktop program on a virtual X display with an empty HOME and
# checks that it shows its main window and makes its folders.
# usage: xvfb_start_test.sh PATH/TO/FolvaneFree [SCREENSHOT.png]
set -euo pipefail
program=$1
shot=${2:-}

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home
unset XDG_DATA_HOME XDG_CONFIG_HOME LC_ALL LC_MESSAGES
export LANG=C.UTF-8

cat >"$home/session.sh" <<SESSION
#!/usr/bin/env bash
"$program" &
app=\$!
# The window appears within a few seconds, or the test fails.
if ! timeout 30 xdotool search --sync --onlyvisible --name '^Folvane RAD Ozizedori$' >"$home/window"; then
  kill \$app; exit 1
fi
sleep 1
if [ -n "$shot" ]; then import -window root "$shot"; fi
kill \$app
wait \$app || true
SESSION
chmod +x "$home/session.sh"
# A display number of its own, so that tests running at once do not meet.
xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24" "$home/session.sh"

test -s "$home/window" || { echo "no main window"; exit 1; }
for d in "Documents/Brontix/RAD Ozizedori/output" "Documents/Brontix/RAD Ozizedori/tmp" \
         ".local/share/BrontixPdfTools/tmp"; do
  test -d "$home/$d" || { echo "missing folder $d"; exit 1; }
done
echo "main window shown"
