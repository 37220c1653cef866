#!/usr/bin/env bash
# Renders the SVG sources in resources/svg to the PNGs that the program
# compiles into its resources, each at its exact pixel size and at twice that
# size ("@2x").
# Needs rsvg-convert (Debian package librsvg2-bin). The PNGs are committed, so
# the build itself never runs this script.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
svg="$root/resources/svg"
img="$root/resources/images"

command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing (apt-get install librsvg2-bin)" >&2; exit 1; }

# source            target (under resources/images)             width height
while read -r src dst w h; do
  [ -z "$src" ] && continue
  case "$src" in \#*) continue ;; esac
  mkdir -p "$(dirname "$img/$dst")"
  rsvg-convert --width "$w" --height "$h" --format png --output "$img/$dst" "$svg/$src.svg"
  # Twice the size beside it, for screens scaled by 2: Qt picks "name@2x.png"
  # by itself for icons and style sheet images.
  rsvg-convert --width $((w * 2)) --height $((h * 2)) --format png --output "$img/${dst%.png}@2x.png" "$svg/$src.svg"
done <<'EOF'
logo16                   logo/16.png                          16 16
logo24                   logo/24.png                          24 24
logo                     logo/32.png                          32 32
logo                     logo/48.png                          48 48
logo                     logo/64.png                          64 64
logo                     logo/96.png                          96 96
logo                     logo/128.png                         128 128
logo                     logo/256.png                         256 256

# icon view, 48 x 48
box48_own                image/person_48.png                  48 48
box48_own_shared         image/person_share_48.png            48 48
box48_own_lock           image/person_lock_48.png             48 48
box48_own_unlock         image/person_unlock_48.png           48 48
box48_own_shared_lock    image/person_sahre_lock48.png        48 48
box48_own_shared_unlock  image/person_sahre_unlock_48.png     48 48
box48_other              image/share_48.png                   48 48
box48_other_lock         image/sahre_lock48.png               48 48
box48_other_unlock       image/sahre_unlock48.png             48 48

# table view, 18 x 16
box16_own                image/person_16.png                  18 16
box16_own_shared         image/person_shre16.png              18 16
box16_own_lock           image/person_lock16.png              18 16
box16_own_unlock         image/person_unlock16.png            18 16
box16_own_shared_lock    image/person_sahre_lock_16.png       18 16
box16_own_shared_unlock  image/person_sahre_unlock_16.png     18 16
box16_other              image/share_16.png                   18 16
box16_other_lock         image/share_lock16.png               18 16
box16_other_unlock       image/share_unlock16.png             18 16

# message box, 56 x 56
msg_question             image/question_icon.png              56 56
msg_remind               image/remind.png                     56 56
msg_warning              image/waring.png                     56 56
msg_finish               image/finish.png                     56 56

# tool bar, 12 x 12, with their blue hover twins
tool_new                 image/icon_new.png                   12 12
tool_new_blue            image/icon_new_.png                  12 12
tool_delete              image/icon_delete.png                12 12
tool_delete_blue         image/icon_delete_blue.png           12 12
tool_code                image/icon_code.png                  12 12
tool_code_blue           image/icon_code_blue.png             12 12
tool_share               image/icon_share.png                 12 12
tool_share_blue          image/icon_share_blue.png            12 12

# title bar
title_close              image/close_icon.png                 12 12
title_minimise           image/minimun_icon.png               12 12
title_menu               image/menu_icon.png                  12 12
title_return             image/return_icon1818px.png          18 18

# password edit, table header, radio buttons
eye_visible              image/visible.png                    18 16
eye_invisible            image/invisible.png                  18 16
arrow_down               image/icon_down.png                  12 12
radio_checked            image/icon_radio_checked.png         16 16
radio_unchecked          image/icon_radio_unchecked.png       16 16

# bottom bar: view modes and state indicators, 14 x 14
view_icons               image/icon_view.png                  14 14
view_icons_selected      image/icon_view_selected.png         14 14
view_list                image/list_.png                      14 14
view_list_selected       image/list_selected.png              14 14
state_locked             image/lock_icon.png                  14 14
state_mounted            image/blue_unlock_icon.png           14 14
state_shared             image/sahre_icon.png                 14 14

# share dialog
share_user               image/icon_scul.png                  16 16

# style sheet (header sort arrows)
style_arrow16            style/Arrow_16px.png                 16 16
EOF
echo "rendered into $img"
