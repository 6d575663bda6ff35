#!/usr/bin/env bash
# A scripted session on a virtual X display: the user adds a PDF through the
# add-files dialog, picks EPUB, presses Convert, and the file list shows
# "Success" (read back from the screen by character recognition) while the
# EPUB lands in the output folder.
# usage: xvfb_convert_test.sh PATH/TO/FolvaneFree PDFGEN.py [SCREENSHOT.png]
set -euo pipefail
program=$1
pdfgen=$2
shot=${3:-}

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home
unset XDG_DATA_HOME XDG_CONFIG_HOME LC_ALL LC_MESSAGES QT_QPA_PLATFORMTHEME
export LANG=C.UTF-8 QT_QPA_PLATFORM=xcb
mkdir -p "$home/in"
/usr/bin/python3 "$pdfgen" "$home/in" pages3:report >/dev/null
[ -n "$shot" ] || shot=$home/screen.png

cat >"$home/session.sh" <<SESSION
#!/usr/bin/env bash
set -u
"$program" &
app=\$!
fail() { echo "\$1"; import -window root "$shot" || true; kill \$app; exit 1; }
win=\$(timeout 30 xdotool search --sync --onlyvisible --name '^Folvane RAD Ozizedori\$' | head -1) || fail "no main window"
sleep 1
eval \$(xdotool getwindowgeometry --shell \$win)
# Add PDF: the first tool bar at the top left.
xdotool mousemove \$((X + 40)) \$((Y + 57)) click 1
dlg=\$(timeout 20 xdotool search --sync --onlyvisible --name '^Open\$' | head -1) || fail "no file dialog"
sleep 1
xdotool windowfocus --sync \$dlg || true
xdotool type --delay 15 "$home/in/report.pdf"
xdotool key Return
sleep 3
# EPUB, the first output format under the list, then Convert at the bottom right.
xdotool mousemove \$((X + 70)) \$((Y + 474)) click 1
sleep 1
xdotool mousemove \$((X + WIDTH - 45)) \$((Y + HEIGHT - 67)) click 1
for i in \$(seq 1 120); do
  [ -n "\$(find "$home" -name '*.epub')" ] && break
  sleep 1
done
sleep 2
import -window root "$shot"
kill \$app
wait \$app || true
SESSION
chmod +x "$home/session.sh"
xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24" "$home/session.sh"

epub=$(find "$home" -name '*.epub' | head -1)
[ -n "$epub" ] || { echo "no EPUB written"; exit 1; }
java -XX:TieredStopAtLevel=1 -XX:+UseSerialGC -jar /usr/share/java/epubcheck.jar "$epub" >"$home/epubcheck.txt" 2>&1 ||
  { echo "epubcheck refused $epub"; cat "$home/epubcheck.txt"; exit 1; }
# One thread: OpenMP's waiting threads slow recognition down on a busy machine.
text=$(OMP_THREAD_LIMIT=1 tesseract "$shot" - 2>/dev/null || true)
grep -q "Success" <<<"$text" || { echo "the list shows no Success:"; echo "$text"; exit 1; }
echo "converted, list shows Success"
